// Packed device-independent bitmaps as the window core reads them (bitmap resources), then
// drawn through a memory device context.
#include <cstddef>
#include <cstdint>
#include <span>

#include "windows/canvas.h"
#include "windows/packed_dib.h"

// The reader is compiled into this program as well as into its library (for coverage); the
// program's copies serve every call, so the doubled definitions are harmless.
extern "C" const char* __asan_default_options() {
    return "detect_odr_violation=0";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto bytes = std::as_bytes(std::span<const std::uint8_t>(data, size));
    auto decoded = kestra::platform::DecodePackedDib(bytes);
    if (decoded && decoded->pixels.size() != static_cast<std::size_t>(decoded->width) *
                                                 static_cast<std::size_t>(decoded->height))
        __builtin_trap();
    HBITMAP bitmap = kestra::platform::BitmapFromPackedDib(bytes);
    if (!bitmap) return 0;
    SIZE extent = kestra::platform::BitmapSize(bitmap);
    HBITMAP target = CreateCompatibleBitmap(nullptr, 16, 16);
    HDC source = CreateCompatibleDC(nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldSource = SelectObject(source, bitmap);
    HGDIOBJ oldTarget = SelectObject(dc, target);
    BitBlt(dc, -3, -3, 20, 20, source, extent.cx / 2, extent.cy / 2, SRCCOPY);
    StretchBlt(dc, 0, 0, 16, 16, source, 0, 0, extent.cx, extent.cy, SRCAND);
    DrawState(dc, GetSysColorBrush(COLOR_BTNSHADOW), nullptr, reinterpret_cast<LPARAM>(bitmap), 0,
              1, 1, 0, 0, DST_BITMAP | DSS_MONO);
    SelectObject(source, oldSource);
    SelectObject(dc, oldTarget);
    DeleteDC(source);
    DeleteDC(dc);
    DeleteObject(bitmap);
    DeleteObject(target);
    return 0;
}
