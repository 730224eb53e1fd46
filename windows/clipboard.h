// The clipboard, for text (CF_TEXT). Data handed to SetClipboardData is a global memory handle
// that the clipboard then owns; GetClipboardData hands out the clipboard's own handle. The
// window host mirrors the text to and from the system clipboard where there is one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "windows/window.h"

constexpr UINT CF_TEXT = 1;

BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
BOOL EmptyClipboard();
HANDLE SetClipboardData(UINT format, HANDLE data);
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
// Viewers get WM_DRAWCLIPBOARD whenever the contents change; the chain keeps one viewer, the
// previous one is returned so that it can be handed on.
HWND SetClipboardViewer(HWND viewer);
BOOL ChangeClipboardChain(HWND remove, HWND next);

namespace kestra::platform {
std::optional<std::string> ClipboardText();
void SetClipboardText(std::string_view text);
// The system clipboard changed outside this process (called by hosts).
void ClipboardChangedOutside(std::optional<std::string> text);
// Converts a clipboard handle (HANDLE) to the global memory handle it carries and back.
inline HGLOBAL ClipboardGlobal(HANDLE data) {
    return static_cast<HGLOBAL>(reinterpret_cast<std::uintptr_t>(data));
}
inline HANDLE ClipboardHandle(HGLOBAL global) {
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(global));
}
}  // namespace kestra::platform
