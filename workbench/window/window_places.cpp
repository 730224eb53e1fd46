#include "workbench/window/window_places.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "workbench/window/user_folders.h"

namespace kestra::workbench {

namespace {

constexpr const char* kGroup = "openWindows";
constexpr int kMoveSettleMs = 500;  // a window being dragged notes where it ends
constexpr const char* kCascadedTo = "kestraCascadedTo";

bool Near(QPoint a, QPoint b, int step) {
    return std::abs(a.x() - b.x()) < step && std::abs(a.y() - b.y()) < step;
}

bool ProgramRuns(qint64 process) {
    return process > 0 && (::kill(static_cast<pid_t>(process), 0) == 0 || errno == EPERM);
}

// The places noted by windows that are open now, dropping the notes of programs that ended.
QList<QPoint> OpenPlaces() {
    const std::unique_ptr<QSettings> settings = Settings();
    settings->beginGroup(kGroup);
    QList<QPoint> places;
    for (const QString& key : settings->childKeys()) {
        if (ProgramRuns(key.section('-', 0, 0).toLongLong()))
            places.append(settings->value(key).toPoint());
        else
            settings->remove(key);
    }
    return places;
}

// Notes the window's place while it is open: when it is shown and after it moved; the note
// goes when the window is hidden or gone.
class PlaceNote : public QObject {
  public:
    explicit PlaceNote(QWidget& window) : QObject(&window), window_(window) {
        static int windows = 0;
        key_ = QStringLiteral("%1/%2-%3")
                   .arg(kGroup)
                   .arg(QCoreApplication::applicationPid())
                   .arg(++windows);
        settle_.setSingleShot(true);
        settle_.setInterval(kMoveSettleMs);
        connect(&settle_, &QTimer::timeout, this, &PlaceNote::note);
        window.installEventFilter(this);
    }
    ~PlaceNote() override { Settings()->remove(key_); }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Show:
                note();
                break;
            case QEvent::Move:
                if (window_.isVisible()) settle_.start();
                break;
            case QEvent::Hide:
                settle_.stop();
                Settings()->remove(key_);
                break;
            default:
                break;
        }
        return false;
    }

  private:
    void note() { KeepSetting(key_, window_.geometry().topLeft()); }

    QWidget& window_;
    QString key_;
    QTimer settle_;
};

}  // namespace

QPoint CascadedPlace(QPoint wanted, QSize size, const QList<QPoint>& taken, const QRect& room,
                     int step) {
    if (step <= 0) return wanted;
    QPoint place = wanted;
    for (int round = 1, tries = 0; tries < 1000; ++tries) {
        bool free = true;
        for (const QPoint& other : taken) free = free && !Near(place, other, step);
        if (free) return place;
        place += QPoint(step, step);
        if (place.x() + size.width() > room.right() + 1 ||
            place.y() + size.height() > room.bottom() + 1) {
            place = room.topLeft() + QPoint(round++ * step, 0);
            if (place.x() + size.width() > room.right() + 1) return wanted;
        }
    }
    return wanted;
}

void PlaceApart(QWidget& window) {
    const QScreen* screen = QGuiApplication::screenAt(window.geometry().center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), window.size());
    // Places are those of the windows' insides: a window not shown yet knows nothing of the
    // frame the window manager will give it.
    const QPoint wanted = window.geometry().topLeft();
    const QPoint place = CascadedPlace(wanted, window.frameGeometry().size(), OpenPlaces(), room);
    if (place != wanted) {
        window.setGeometry(QRect(place, window.size()));
        window.setProperty(kCascadedTo, place);
    }
    new PlaceNote(window);
}

bool PlacedByCascade(const QWidget& window) {
    const QVariant place = window.property(kCascadedTo);
    return place.isValid() && place.toPoint() == window.geometry().topLeft();
}

}  // namespace kestra::workbench
