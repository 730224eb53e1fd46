// The Qt window host: widgets, timers, modal loops, message boxes and the clipboard.
#include "windows/qt/qt_host.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unordered_map>

#include "windows/clipboard.h"
#include "windows/qt/message_box_buttons.h"
#include "windows/qt/qt_surface.h"
#include "windows/qt/qt_widgets.h"
#include "windows/window_object.h"

namespace kestra::platform::qt {
namespace {

QMessageBox::Icon iconOf(UINT type) {
    switch (type & MB_ICONMASK) {
        case MB_ICONERROR:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONWARNING:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// The buttons of each box type, with the answers they give.
struct BoxButton {
    QMessageBox::StandardButton button;
    int answer;
};
std::vector<BoxButton> buttonsOf(UINT type) {
    using B = QMessageBox;
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return {{B::Ok, IDOK}, {B::Cancel, IDCANCEL}};
        case MB_ABORTRETRYIGNORE:
            return {{B::Abort, IDABORT}, {B::Retry, IDRETRY}, {B::Ignore, IDIGNORE}};
        case MB_YESNOCANCEL:
            return {{B::Yes, IDYES}, {B::No, IDNO}, {B::Cancel, IDCANCEL}};
        case MB_YESNO:
            return {{B::Yes, IDYES}, {B::No, IDNO}};
        case MB_RETRYCANCEL:
            return {{B::Retry, IDRETRY}, {B::Cancel, IDCANCEL}};
        default:
            return {{B::Ok, IDOK}};
    }
}

// Keeps a top-level widget above the window of its owner's widget (the transient parent that
// window managers stack it over and that dialogs centre on), without making it a Qt child.
void stayAbove(QWidget* window, QWidget* owner) {
    if (!owner) return;
    QWidget* ownerWindow = owner->window();
    ownerWindow->winId();  // both need their native windows for the link
    window->winId();
    if (window->windowHandle() && ownerWindow->windowHandle())
        window->windowHandle()->setTransientParent(ownerWindow->windowHandle());
}

// The class of the windows that stand for widgets of the program's own.
constexpr const char* kProgramWidgetClass = "KestraProgramWidget";

void registerProgramWidgetClass() {
    static const bool registered = [] {
        WNDCLASS wc{};
        wc.lpfnWndProc = DefWindowProc;
        wc.lpszClassName = kProgramWidgetClass;
        return RegisterClass(&wc) != 0;
    }();
    (void)registered;
}

// A widget's client area on the screen, as the core keeps a top-level window's place.
RECT screenRectOf(const QWidget* widget) {
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    return {origin.x(), origin.y(), origin.x() + widget->width(), origin.y() + widget->height()};
}

}  // namespace

// Moves the windows standing for the program's widgets with them.
class QtHost::ProgramWidgetFilter : public QObject {
  public:
    explicit ProgramWidgetFilter(QtHost& host) : host_(host) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::Show:
                if (auto* widget = qobject_cast<QWidget*>(watched)) host_.followWidget(widget);
                break;
            default:
                break;
        }
        return false;
    }

  private:
    QtHost& host_;
};

struct QtHost::State {
    QObject context;  // what the host's deferred calls belong to; they go with it
    std::unordered_map<HWND, QPointer<QWidget>> widgets;
    std::map<std::pair<HWND, UINT_PTR>, QTimer*> timers;
    std::unordered_map<HWND, QEventLoop*> loops;
    bool dispatchQueued = false;
    MeasuringSurface measuring;
    WindowHost* previousHost = nullptr;
    MessageBoxPresenter previousPresenter;
    QMetaObject::Connection clipboardConnection;
    // Windows standing for widgets of the program's own, which the host shows but never made;
    // a widget that has gone is null here until its window goes too.
    std::unordered_map<HWND, QWidget*> programWindows;
    QWidget* adopting = nullptr;  // the program's widget whose window is being made
    std::unique_ptr<ProgramWidgetFilter> programWidgetFilter;
};

QtHost::QtHost() : state_(std::make_unique<State>()) {
    state_->programWidgetFilter = std::make_unique<ProgramWidgetFilter>(*this);
    state_->previousHost = SetWindowHost(this);
    state_->previousPresenter = SetMessageBoxPresenter([this](HWND owner, std::string_view text,
                                                              std::string_view caption, UINT type) {
        QMessageBox box(iconOf(type),
                        QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())),
                        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        stayAbove(&box, widgetOf(owner));
        auto buttons = buttonsOf(type);
        for (const BoxButton& b : buttons) box.addButton(b.button);
        std::size_t preferred = (type & MB_DEFMASK) >> 8;
        if (preferred < buttons.size()) box.setDefaultButton(buttons[preferred].button);
        GiveButtonsLetters(box);
        auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
        for (const BoxButton& b : buttons)
            if (b.button == pressed) return b.answer;
        return DefaultButton(type);
    });
    state_->clipboardConnection =
        QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, [] {
            QString text = QGuiApplication::clipboard()->text();
            ClipboardChangedOutside(text.isNull() ? std::nullopt
                                                  : std::optional<std::string>(text.toStdString()));
        });
}

QtHost::~QtHost() {
    std::vector<HWND> programWindows;
    for (const auto& [window, widget] : state_->programWindows) programWindows.push_back(window);
    for (HWND window : programWindows) DestroyWindow(window);
    QObject::disconnect(state_->clipboardConnection);
    for (auto& [key, timer] : state_->timers) delete timer;
    SetMessageBoxPresenter(state_->previousPresenter);
    SetWindowHost(state_->previousHost);
}

QWidget* QtHost::widgetOf(HWND window) const {
    auto found = state_->widgets.find(window);
    return found == state_->widgets.end() ? nullptr : found->second.data();
}

HWND QtHost::windowFor(QWidget* widget) {
    if (!widget) return nullptr;
    for (const auto& [window, known] : state_->programWindows)
        if (known == widget) return window;
    registerProgramWidgetClass();
    const RECT place = screenRectOf(widget);
    state_->adopting = widget;
    HWND window = CreateWindowEx(0, kProgramWidgetClass, widget->windowTitle().toUtf8().constData(),
                                 WS_POPUP | (widget->isVisible() ? WS_VISIBLE : 0), place.left,
                                 place.top, place.right - place.left, place.bottom - place.top,
                                 nullptr, nullptr, nullptr, nullptr);
    state_->adopting = nullptr;
    if (!window) return nullptr;
    widget->installEventFilter(state_->programWidgetFilter.get());
    QObject::connect(widget, &QObject::destroyed, &state_->context, [this, window] {
        if (auto entry = state_->programWindows.find(window); entry != state_->programWindows.end())
            entry->second = nullptr;  // gone: nothing of it is touched again
        if (IsWindow(window)) DestroyWindow(window);
    });
    return window;
}

void QtHost::followWidget(QWidget* widget) {
    for (const auto& [window, known] : state_->programWindows)
        if (known == widget) {
            const RECT place = screenRectOf(widget);
            MoveWindow(window, place.left, place.top, place.right - place.left,
                       place.bottom - place.top, FALSE);
        }
}

bool QtHost::isProgramWidget(HWND window) const {
    return state_->programWindows.count(window) != 0;
}

void QtHost::created(HWND window) {
    if (QWidget* adopted = std::exchange(state_->adopting, nullptr)) {
        state_->widgets[window] = adopted;
        state_->programWindows[window] = adopted;
        return;
    }
    if (window->isChild()) {
        state_->widgets[window] = CreateWidget(window, widgetOf(window->parent));
        return;
    }
    QWidget* widget = CreateWidget(window, nullptr);
    state_->widgets[window] = widget;
    stayAbove(widget, window->parent ? widgetOf(window->parent) : nullptr);
}

void QtHost::destroyed(HWND window) {
    for (auto it = state_->timers.begin(); it != state_->timers.end();)
        if (it->first.first == window) {
            it->second->deleteLater();  // it may be the timer whose tick is running
            it = state_->timers.erase(it);
        } else {
            ++it;
        }
    if (auto loop = state_->loops.find(window); loop != state_->loops.end()) loop->second->quit();
    if (auto program = state_->programWindows.find(window);
        program != state_->programWindows.end()) {  // the program's own widget stays as it is
        if (program->second) program->second->removeEventFilter(state_->programWidgetFilter.get());
        state_->programWindows.erase(program);
        state_->widgets.erase(window);
        return;
    }
    QWidget* widget = widgetOf(window);
    state_->widgets.erase(window);
    if (!widget) return;
    if (HostedWindow* hosted = HostedOf(widget)) hosted->hwnd = nullptr;
    widget->hide();
    widget->deleteLater();
}

void QtHost::changed(HWND window, Aspect aspect) {
    if (QWidget* widget = widgetOf(window)) SyncWidget(window, widget, aspect);
}

void QtHost::invalidated(HWND window) {
    QWidget* widget = widgetOf(window);
    if (!widget) return;
    ApplyControlColours(window, widget);
    widget->update();
}

void QtHost::focusChanged(HWND window) {
    QWidget* widget = widgetOf(window);
    if (!widget) return;
    if (isProgramWidget(window))  // its window's own focus widget takes the focus back
        widget->window()->activateWindow();
    else if (!widget->hasFocus())
        widget->setFocus(Qt::OtherFocusReason);
}

void QtHost::posted() {
    if (state_->dispatchQueued) return;
    state_->dispatchQueued = true;
    QTimer::singleShot(0, &state_->context, [state = state_.get()] {
        state->dispatchQueued = false;
        DispatchPostedMessages();
    });
}

void QtHost::timerSet(HWND window, UINT_PTR id, UINT elapse) {
    QTimer*& timer = state_->timers[{window, id}];
    if (!timer) {
        timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [window, id] {
            FireTimer(window, id);
            DispatchPostedMessages();
        });
    }
    timer->start(static_cast<int>(elapse));
}

void QtHost::timerKilled(HWND window, UINT_PTR id) {
    auto found = state_->timers.find({window, id});
    if (found == state_->timers.end()) return;
    found->second->deleteLater();
    state_->timers.erase(found);
}

void QtHost::runModal(HWND dialog) {
    if (dialog->ended) return;
    QEventLoop loop;
    state_->loops[dialog] = &loop;
    if (QWidget* widget = widgetOf(dialog)) {
        // A modal dialog blocks every other window of the application, as on the system the
        // dialog procedures were written for; the core disables the owner as well.
        if (widget->windowModality() != Qt::ApplicationModal) {
            widget->hide();  // modality takes effect when a window is shown
            widget->setWindowModality(Qt::ApplicationModal);
        }
        widget->show();
        widget->raise();
        widget->activateWindow();
    }
    DispatchPostedMessages();
    if (IsWindow(dialog) && !dialog->ended) loop.exec();
    state_->loops.erase(dialog);
}

void QtHost::dialogEnded(HWND dialog) {
    if (auto loop = state_->loops.find(dialog); loop != state_->loops.end()) loop->second->quit();
}

void QtHost::clipboardChanged(const std::optional<std::string>& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (text)
        clipboard->setText(QString::fromStdString(*text));
    else
        clipboard->clear();
}

Surface& QtHost::measuringSurface() {
    return state_->measuring;
}

std::unique_ptr<Surface> QtHost::bitmapSurface(HBITMAP bitmap) {
    if (BitmapPixels(bitmap).empty()) return std::make_unique<NullSurface>();
    return std::make_unique<BitmapPainterSurface>(*bitmap);
}

SIZE QtHost::dialogBaseUnits(const char*, int pointSize) {
    QFontMetrics metrics(DialogFontOf(pointSize));
    static const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return {(metrics.horizontalAdvance(alphabet) + 26) / 52, metrics.height()};
}

int QtHost::systemMetric(int index) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen && index == SM_CXSCREEN) return screen->geometry().width();
    if (screen && index == SM_CYSCREEN) return screen->geometry().height();
    return WindowHost::systemMetric(index);
}

HWND WindowForWidget(QWidget* widget) {
    auto* host = dynamic_cast<QtHost*>(&CurrentWindowHost());
    return host ? host->windowFor(widget) : nullptr;
}

bool StartHost(int& argc, char** argv) {
    const char* forced = std::getenv("KESTRA_WINDOW_HOST");
    if (forced && std::strcmp(forced, "headless") == 0) return false;
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM"))
        return false;
    if (!QApplication::instance()) {
        static QApplication* application = new QApplication(argc, argv);
        (void)application;
    }
    static QtHost* host = new QtHost;  // lives as long as the process
    (void)host;
    return true;
}

}  // namespace kestra::platform::qt
