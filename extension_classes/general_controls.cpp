#include "extension_classes/general_controls.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionTab>
#include <QStylePainter>

// ---- CTabCtrlEx ----

CTabCtrlEx::CTabCtrlEx(QWidget* parent) : QTabBar(parent) {
    m_socket.Attach(this);
    setFocusPolicy(Qt::StrongFocus);
}

bool CTabCtrlEx::EnableTab(int index, bool on) {
    if (index < 0 || index >= kMaxTabs) return false;
    if (on)
        m_enabled |= 1u << index;
    else
        m_enabled &= ~(1u << index);
    update(tabRect(index));
    return true;
}

bool CTabCtrlEx::IsTabEnabled(int index) const {
    return index >= 0 && index < kMaxTabs && (m_enabled >> index) & 1u;
}

int CTabCtrlEx::NextEnabledTab(int index, bool wrap) const {
    const int n = count();
    for (int step = 1; step <= n; ++step) {
        int i = index + step;
        if (i >= n) {
            if (!wrap) return -1;
            i -= n;
        }
        if (i == index) break;
        if (IsTabEnabled(i)) return i;
    }
    return -1;
}

int CTabCtrlEx::PrevEnabledTab(int index, bool wrap) const {
    const int n = count();
    for (int step = 1; step <= n; ++step) {
        int i = index - step;
        if (i < 0) {
            if (!wrap) return -1;
            i += n;
        }
        if (i == index) break;
        if (IsTabEnabled(i)) return i;
    }
    return -1;
}

bool CTabCtrlEx::SetActiveTab(int index) {
    if (index < 0 || index >= count()) return false;
    KXCNotifyHeader header;
    header.hwndFrom = this;
    header.code = kSelChanging;
    if (m_socket.Notify(header) < 0) return false;
    setCurrentIndex(index);
    header.code = kSelChange;
    m_socket.Notify(header);
    return true;
}

bool CTabCtrlEx::TranslatePropSheetMsg(QKeyEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) return false;
    int target = -1;
    const int key = event->key();
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if ((key == Qt::Key_Tab && !shift) || key == Qt::Key_PageDown)
        target = NextEnabledTab(currentIndex(), true);
    else if (key == Qt::Key_Backtab || (key == Qt::Key_Tab && shift) || key == Qt::Key_PageUp)
        target = PrevEnabledTab(currentIndex(), true);
    else
        return false;
    if (target >= 0) SetActiveTab(target);
    return true;
}

void CTabCtrlEx::mousePressEvent(QMouseEvent* event) {
    const int index = tabAt(event->position().toPoint());
    if (index < 0 || !IsTabEnabled(index)) return;  // a click on a disabled tab is refused
    if (event->button() == Qt::LeftButton && index != currentIndex()) SetActiveTab(index);
}

void CTabCtrlEx::keyPressEvent(QKeyEvent* event) {
    if (TranslatePropSheetMsg(event)) return;
    int target = -2;
    if (event->key() == Qt::Key_Right) target = NextEnabledTab(currentIndex(), false);
    if (event->key() == Qt::Key_Left) target = PrevEnabledTab(currentIndex(), false);
    if (target == -2) {
        QTabBar::keyPressEvent(event);
        return;
    }
    if (target >= 0) SetActiveTab(target);
    event->accept();
}

void CTabCtrlEx::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    for (int i = 0; i < count(); ++i) {
        QStyleOptionTab option;
        initStyleOption(&option, i);
        const QString text = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_TabBarTabShape, option);
        const QRect textRect = option.rect.adjusted(4, 2, -4, -2);
        if (IsTabEnabled(i)) {
            painter.setPen(palette().color(QPalette::ButtonText));
            painter.drawText(textRect, Qt::AlignCenter | Qt::TextShowMnemonic, text);
        } else {
            // Embossed: the highlight colour, then the grey text one pixel up and left.
            painter.setPen(palette().color(QPalette::Light));
            painter.drawText(textRect, Qt::AlignCenter | Qt::TextShowMnemonic, text);
            painter.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
            painter.drawText(textRect.translated(-1, -1), Qt::AlignCenter | Qt::TextShowMnemonic,
                             text);
        }
    }
}

// ---- KXCBmpTreeCtrl ----

KXCBmpTreeCtrl::KXCBmpTreeCtrl(QWidget* parent) : QTreeWidget(parent) {}

bool KXCBmpTreeCtrl::SetBitmap(UINT resourceId) {
    const QImage image(QStringLiteral(":/kxc/bitmaps/%1.bmp").arg(resourceId));
    if (image.isNull()) return false;
    SetBitmap(image);
    return true;
}

void KXCBmpTreeCtrl::SetBitmap(const QImage& image) {
    m_bitmap = image;
    m_palette =
        image.colorCount() > 0 && image.colorCount() <= 256 ? image.colorTable() : QList<QRgb>();
    // Let the background show wherever the tree would paint its window colour.
    QPalette colours = palette();
    colours.setColor(QPalette::Base, m_bitmap.isNull() ? palette().color(QPalette::Window)
                                                       : QColor(Qt::transparent));
    if (m_bitmap.isNull()) colours = QPalette();
    setPalette(colours);
    viewport()->update();
}

void KXCBmpTreeCtrl::paintEvent(QPaintEvent* event) {
    if (!m_bitmap.isNull()) {
        QPainter painter(viewport());
        const QTreeWidgetItem* first = topLevelItemCount() ? topLevelItem(0) : nullptr;
        const int top = first ? visualItemRect(first).top() : 0;
        const QPoint origin(-horizontalScrollBar()->value(), top);
        painter.drawTiledPixmap(viewport()->rect(), QPixmap::fromImage(m_bitmap),
                                QPoint(-origin.x() % std::max(1, m_bitmap.width()),
                                       -origin.y() % std::max(1, m_bitmap.height())));
    }
    QTreeWidget::paintEvent(event);
}

void KXCBmpTreeCtrl::scrollContentsBy(int dx, int dy) {
    QTreeWidget::scrollContentsBy(dx, dy);
    viewport()->update();  // the background moves with the items
}

// ---- KXCFixedHeaderList ----

KXCFixedHeaderList::KXCFixedHeaderList(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
}

void KXCFixedHeaderList::Init() {
    header()->setSectionResizeMode(QHeaderView::Fixed);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
}

// ---- CFileFilterCombo ----

CFileFilterCombo::CFileFilterCombo(QWidget* parent) : QComboBox(parent) {
    m_socket.Attach(this);
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        KXCNotifyHeader header;
        header.hwndFrom = this;
        header.code = kNotifyFilterChanged;
        header.item = reinterpret_cast<void*>(quintptr(index));
        header.path = itemData(index).toString();
        m_socket.Notify(header);
    });
}

void CFileFilterCombo::SetFilters(const QString& filters) {
    const QStringList parts = filters.split(QLatin1Char('|'));
    const QSignalBlocker block(this);
    clear();
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        if (!parts[i].isEmpty()) addItem(parts[i], parts[i + 1]);
}
