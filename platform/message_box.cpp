#include "platform/message_box.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

namespace kestra::platform {
namespace {

std::mutex presenterMutex;
std::atomic<unsigned> beeps{0};
MessageBoxPresenter& presenter() {
    static MessageBoxPresenter instance;
    return instance;
}

}  // namespace

int ShowOnStandardError(HWND, std::string_view text, std::string_view caption, UINT type) {
    std::string line;
    if (!caption.empty()) line.append(caption).append(": ");
    line.append(text);
    std::fprintf(stderr, "%s\n", line.c_str());
    return DefaultButton(type);
}

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter next) {
    std::lock_guard lock(presenterMutex);
    std::swap(presenter(), next);
    return next;
}

unsigned BeepCount() {
    return beeps.load();
}

int DefaultButton(UINT type) {
    static constexpr int kButtons[][3] = {
        {IDOK, IDOK, IDOK},      {IDOK, IDCANCEL, IDCANCEL}, {IDABORT, IDRETRY, IDIGNORE},
        {IDYES, IDNO, IDCANCEL}, {IDYES, IDNO, IDNO},        {IDRETRY, IDCANCEL, IDCANCEL},
    };
    UINT kind = type & MB_TYPEMASK;
    UINT which = (type & MB_DEFMASK) >> 8;
    if (kind >= std::size(kButtons) || which > 2) return IDOK;
    return kButtons[kind][which];
}

}  // namespace kestra::platform

int MessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    kestra::platform::MessageBoxPresenter show;
    {
        std::lock_guard lock(kestra::platform::presenterMutex);
        show = kestra::platform::presenter();
    }
    std::string_view body = text ? text : "";
    std::string_view title = caption ? caption : "";
    return show ? show(owner, body, title, type)
                : kestra::platform::ShowOnStandardError(owner, body, title, type);
}

BOOL MessageBeep(UINT) {
    kestra::platform::beeps.fetch_add(1);
    return TRUE;
}
