#include "workbench/hosted_window.h"

#include <QApplication>
#include <QEvent>
#include <QWindow>

#include "kestra/host.h"
#include "platform/message_box.h"
#include "windows/window_host.h"

namespace kestra::workbench {

platform::qt::QtHost& WindowCoreHost() {
    auto* host = dynamic_cast<platform::qt::QtHost*>(&platform::CurrentWindowHost());
    if (!host)
        host::Fail(host::kExitInternal,
                   "the window core does not show its windows through Qt here (is "
                   "KESTRA_WINDOW_HOST set to headless?)");
    return *host;
}

OverParent::OverParent(QWidget* parent) : window_(parent ? parent->window() : nullptr) {
    if (window_) qApp->installEventFilter(this);
}

OverParent::~OverParent() {
    qApp->removeEventFilter(this);
}

bool OverParent::eventFilter(QObject* watched, QEvent* event) {
    // The window handle exists when a window is shown and is mapped only after its show event,
    // so the window manager learns whose it is before it appears.
    if (event->type() != QEvent::Show || !window_) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !widget->isWindow() || widget->parentWidget() || widget == window_) return false;
    QWindow* handle = widget->windowHandle();
    if (handle && !handle->transientParent() && window_->windowHandle())
        handle->setTransientParent(window_->windowHandle());
    return false;
}

int Tell(QWidget* parent, const std::string& caption, const std::string& text, unsigned type) {
    const OverParent over(parent);
    return MessageBox(nullptr, text.c_str(), caption.c_str(), type);
}

bool TellingFailures(QWidget* parent, const std::string& caption,
                     const std::function<bool()>& work) {
    try {
        return work();
    } catch (const host::Failure& failure) {
        Tell(parent, caption, failure.message, MB_OK | MB_ICONERROR);
        return false;
    }
}

}  // namespace kestra::workbench
