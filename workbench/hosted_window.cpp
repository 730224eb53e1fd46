#include "workbench/hosted_window.h"

#include <QWidget>

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

HWND OwnerFor(QWidget* parent) {
    return parent ? WindowCoreHost().windowFor(parent->window()) : nullptr;
}

int Tell(QWidget* parent, const std::string& caption, const std::string& text, unsigned type) {
    return MessageBox(OwnerFor(parent), text.c_str(), caption.c_str(), type);
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
