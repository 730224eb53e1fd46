#include "extension_classes/spin_button.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kRepeatDelayMs = 400;
constexpr int kRepeatIntervalMs = 80;
constexpr int kPageSteps = 5;

QToolButton* makeArrow(Qt::ArrowType arrow, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setAutoRepeatDelay(kRepeatDelayMs);
    button->setAutoRepeatInterval(kRepeatIntervalMs);
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    button->setFixedWidth(18);
    return button;
}

}  // namespace

KXCSpinButton::KXCSpinButton(QWidget* parent)
    : QWidget(parent),
      m_up(makeArrow(Qt::UpArrow, this)),
      m_down(makeArrow(Qt::DownArrow, this)),
      m_held(new QElapsedTimer) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    setFocusPolicy(Qt::NoFocus);
    for (QToolButton* button : {m_up, m_down})
        connect(button, &QToolButton::pressed, this, [this] { m_held->start(); });
    connect(m_up, &QToolButton::clicked, this, [this] { Step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

KXCSpinButton::~KXCSpinButton() {
    delete m_held;
}

void KXCSpinButton::SetBuddy(QLineEdit* buddy) {
    if (m_buddy) m_buddy->removeEventFilter(this);
    m_buddy = buddy;
    if (m_buddy) m_buddy->installEventFilter(this);
}

void KXCSpinButton::SetRange(int lower, int upper) {
    m_lower = lower;
    m_upper = upper;
    SetPos(m_pos);
}

void KXCSpinButton::SetPos(int pos) {
    m_pos = std::clamp(pos, std::min(m_lower, m_upper), std::max(m_lower, m_upper));
}

void KXCSpinButton::SetAccel(std::vector<KXCSpinAccel> table) {
    m_accel = std::move(table);
}

int KXCSpinButton::currentIncrement() const {
    const bool holding = (m_up->isDown() || m_down->isDown()) && m_held->isValid();
    const qint64 seconds = holding ? m_held->elapsed() / 1000 : 0;
    int increment = 1;
    for (const auto& accel : m_accel)
        if (seconds >= accel.seconds && accel.seconds > 0) increment = accel.increment;
    return increment;
}

void KXCSpinButton::Step(int direction) {
    const int delta = direction > 0 ? currentIncrement() : -currentIncrement();
    SetPos(m_pos + delta);
    emit deltaPos(delta);
}

bool KXCSpinButton::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress && isEnabled()) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Up:
                Step(1);
                return true;
            case Qt::Key_Down:
                Step(-1);
                return true;
            case Qt::Key_PageUp:
                for (int i = 0; i < kPageSteps; ++i) Step(1);
                return true;
            case Qt::Key_PageDown:
                for (int i = 0; i < kPageSteps; ++i) Step(-1);
                return true;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
