// The clipboard: one text, mirrored by the window host.
#include "windows/clipboard.h"

#include <cstring>

#include "platform/memory.h"
#include "windows/window_host.h"

namespace kestra::platform {
namespace {

struct Clipboard {
    std::optional<std::string> text;
    HGLOBAL handedOut = 0;  // the block GetClipboardData last returned
    HWND openedBy = nullptr;
    bool open = false;
    HWND viewer = nullptr;
};

Clipboard& clipboard() {
    static Clipboard* instance = new Clipboard;
    return *instance;
}

void releaseHandedOut() {
    auto& c = clipboard();
    if (c.handedOut) GlobalFree(c.handedOut);
    c.handedOut = 0;
}

void contentsChanged(bool fromHost) {
    auto& c = clipboard();
    releaseHandedOut();
    if (!fromHost) CurrentWindowHost().clipboardChanged(c.text);
    if (IsWindow(c.viewer)) SendMessage(c.viewer, WM_DRAWCLIPBOARD, 0, 0);
}

}  // namespace

std::optional<std::string> ClipboardText() {
    return clipboard().text;
}

void SetClipboardText(std::string_view text) {
    clipboard().text = std::string(text);
    contentsChanged(false);
}

void ClipboardChangedOutside(std::optional<std::string> text) {
    if (clipboard().text == text) return;
    clipboard().text = std::move(text);
    contentsChanged(true);
}

}  // namespace kestra::platform

namespace kp = kestra::platform;

BOOL OpenClipboard(HWND owner) {
    auto& c = kp::clipboard();
    if (c.open) return FALSE;
    c.open = true;
    c.openedBy = owner;
    return TRUE;
}

BOOL CloseClipboard() {
    auto& c = kp::clipboard();
    if (!c.open) return FALSE;
    c.open = false;
    return TRUE;
}

BOOL EmptyClipboard() {
    auto& c = kp::clipboard();
    if (!c.open) return FALSE;
    c.text.reset();
    kp::contentsChanged(false);
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
    auto& c = kp::clipboard();
    if (!c.open || format != CF_TEXT) return nullptr;
    HGLOBAL global = kp::ClipboardGlobal(data);
    {
        GlobalLockGuard lock(global);
        if (!lock) return nullptr;
        auto bytes = lock.bytes();
        const auto* chars = reinterpret_cast<const char*>(bytes.data());
        c.text = std::string(chars, strnlen(chars, bytes.size()));
    }
    GlobalFree(global);  // the clipboard owns the data now and keeps the text
    kp::contentsChanged(false);
    return data;
}

HANDLE GetClipboardData(UINT format) {
    auto& c = kp::clipboard();
    if (!c.open || format != CF_TEXT || !c.text) return nullptr;
    kp::releaseHandedOut();
    HGLOBAL global = GlobalAlloc(GHND, c.text->size() + 1);
    if (!global) return nullptr;
    {
        GlobalLockGuard lock(global);
        std::memcpy(lock.data(), c.text->data(), c.text->size());
    }
    c.handedOut = global;
    return kp::ClipboardHandle(global);
}

BOOL IsClipboardFormatAvailable(UINT format) {
    return format == CF_TEXT && kp::clipboard().text ? TRUE : FALSE;
}

HWND SetClipboardViewer(HWND viewer) {
    auto& c = kp::clipboard();
    HWND previous = IsWindow(c.viewer) ? c.viewer : nullptr;
    c.viewer = viewer;
    if (IsWindow(viewer)) SendMessage(viewer, WM_DRAWCLIPBOARD, 0, 0);
    return previous;
}

BOOL ChangeClipboardChain(HWND remove, HWND next) {
    auto& c = kp::clipboard();
    if (c.viewer != remove) return FALSE;
    c.viewer = next;
    return TRUE;
}
