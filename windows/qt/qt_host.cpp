// The Qt window host: widgets, timers, modal loops, message boxes and the clipboard.
#include "windows/qt/qt_host.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unordered_map>

#include "windows/clipboard.h"
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

}  // namespace

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
};

QtHost::QtHost() : state_(std::make_unique<State>()) {
    state_->previousHost = SetWindowHost(this);
    state_->previousPresenter = SetMessageBoxPresenter([this](HWND owner, std::string_view text,
                                                              std::string_view caption, UINT type) {
        QMessageBox box(iconOf(type),
                        QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())),
                        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                        QMessageBox::NoButton, widgetOf(owner));
        auto buttons = buttonsOf(type);
        for (const BoxButton& b : buttons) box.addButton(b.button);
        std::size_t preferred = (type & MB_DEFMASK) >> 8;
        if (preferred < buttons.size()) box.setDefaultButton(buttons[preferred].button);
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
    QObject::disconnect(state_->clipboardConnection);
    for (auto& [key, timer] : state_->timers) delete timer;
    SetMessageBoxPresenter(state_->previousPresenter);
    SetWindowHost(state_->previousHost);
}

QWidget* QtHost::widgetOf(HWND window) const {
    auto found = state_->widgets.find(window);
    return found == state_->widgets.end() ? nullptr : found->second.data();
}

void QtHost::created(HWND window) {
    QWidget* parent = window->parent ? widgetOf(window->parent) : nullptr;
    state_->widgets[window] = CreateWidget(window, parent);
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
    if (widget && !widget->hasFocus()) widget->setFocus(Qt::OtherFocusReason);
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
