// Painting: device contexts, brushes, pens, fonts and bitmaps with their Windows names, drawn
// through a Surface that the window host supplies.
//
// A device context keeps the drawing state (colours, background mode, the selected pen,
// brush, font and bitmap, the current position) and hands plain drawing requests to its
// surface: the Qt host paints them with a QPainter, the headless host records them
// (RecordingSurface) so that tests can read what a window painted, and a memory device
// context draws into its selected bitmap's pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "windows/window.h"

using COLORREF = DWORD;
using HDC = struct HDC__*;
using HGDIOBJ = void*;
using HBITMAP = struct HBITMAP__*;
using HPEN = struct HPEN__*;
using HFONT = struct HFONT__*;

constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr BYTE GetRValue(COLORREF c) {
    return static_cast<BYTE>(c & 0xFF);
}
constexpr BYTE GetGValue(COLORREF c) {
    return static_cast<BYTE>((c >> 8) & 0xFF);
}
constexpr BYTE GetBValue(COLORREF c) {
    return static_cast<BYTE>((c >> 16) & 0xFF);
}

// System colours.
constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_3DFACE = COLOR_BTNFACE;
constexpr int COLOR_3DSHADOW = COLOR_BTNSHADOW;
constexpr int COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;

constexpr int PS_SOLID = 0;
constexpr int PS_DOT = 2;
constexpr int PS_NULL = 5;

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Raster operations of BitBlt and StretchBlt.
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;

// ExtTextOut options.
constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;

// DrawText formats.
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;

// DrawEdge.
constexpr UINT BDR_RAISEDOUTER = 0x0001;
constexpr UINT BDR_SUNKENOUTER = 0x0002;
constexpr UINT BDR_RAISEDINNER = 0x0004;
constexpr UINT BDR_SUNKENINNER = 0x0008;
constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr UINT BF_LEFT = 0x0001;
constexpr UINT BF_TOP = 0x0002;
constexpr UINT BF_RIGHT = 0x0004;
constexpr UINT BF_BOTTOM = 0x0008;
constexpr UINT BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr UINT BF_MIDDLE = 0x0800;
constexpr UINT BF_ADJUST = 0x2000;

// DrawState.
constexpr UINT DST_BITMAP = 0x0004;
constexpr UINT DSS_MONO = 0x0080;

constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;

constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;

struct LOGFONT {
    LONG lfHeight, lfWidth, lfEscapement, lfOrientation, lfWeight;
    BYTE lfItalic, lfUnderline, lfStrikeOut, lfCharSet, lfOutPrecision, lfClipPrecision, lfQuality,
        lfPitchAndFamily;
    char lfFaceName[32];
};
static_assert(sizeof(LOGFONT) == 60);  // the 32-bit logical font record

struct TEXTMETRIC {
    LONG tmHeight, tmAscent, tmDescent, tmInternalLeading, tmExternalLeading, tmAveCharWidth,
        tmMaxCharWidth, tmWeight;
};

struct BITMAP {
    LONG bmType, bmWidth, bmHeight, bmWidthBytes;
    WORD bmPlanes, bmBitsPixel;
    void* bmBits;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore, fIncUpdate;
    BYTE rgbReserved[32];
};

namespace kestra::platform {

// Every GDI object is one of these; handles point at them.
struct GdiObject {
    enum class Kind : std::uint8_t { Brush, Pen, Font, Bitmap };
    explicit GdiObject(Kind k) : kind(k) {}
    virtual ~GdiObject() = default;
    Kind kind;
    bool stock = false;  // stock objects and system colour brushes are never deleted
};

enum class BlitOp : std::uint8_t { Copy, And, Or, Xor };

// Where a device context's drawing goes. Coordinates are the window's client coordinates
// (a memory context: the bitmap's). Lines leave out their end point, as GDI lines do.
class Surface {
  public:
    virtual ~Surface() = default;
    virtual void fillRect(const RECT& rect, COLORREF colour) = 0;
    virtual void line(POINT from, POINT to, COLORREF colour, int width) = 0;
    virtual void polygon(std::span<const POINT> points, COLORREF fill, COLORREF outline) = 0;
    // The text's top left corner at `at`; nothing outside `clip` when one is given.
    virtual void text(POINT at, std::string_view text, const LOGFONT& font, COLORREF colour,
                      const RECT* clip) = 0;
    virtual void blit(const HBITMAP__& source, const RECT& from, const RECT& to, BlitOp op) = 0;
    // Paints `colour` wherever the source differs from `background` (a monochrome mask).
    virtual void maskFill(const HBITMAP__& source, const RECT& from, const RECT& to,
                          COLORREF background, COLORREF colour) = 0;
    // A dotted rectangle that a second call at the same place takes away again.
    virtual void focusRect(const RECT& rect) = 0;
    virtual SIZE textSize(std::string_view text, const LOGFONT& font) = 0;
    virtual TEXTMETRIC textMetrics(const LOGFONT& font) = 0;
};

// The fixed text metrics of the headless host: a cell of 6 by 13 pixels at the default font
// height, scaled with the font's height.
SIZE FixedTextSize(std::string_view text, const LOGFONT& font);
TEXTMETRIC FixedTextMetrics(const LOGFONT& font);

// One drawing request as a RecordingSurface keeps it.
struct CanvasOp {
    enum class Kind : std::uint8_t { Fill, Line, Polygon, Text, Blit, Mask, FocusRect };
    Kind kind;
    RECT rect{};                // Fill, FocusRect; Blit and Mask: the destination
    RECT source{};              // Blit and Mask
    POINT from{}, to{};         // Line; Text: `from` is the position
    std::vector<POINT> points;  // Polygon
    COLORREF colour = 0;        // Fill, Line, Text, Mask; Polygon: the fill
    COLORREF outline = 0;       // Polygon
    std::string text;           // Text
    bool clipped = false;       // Text: whether `rect` clips it
    BlitOp op = BlitOp::Copy;
    const HBITMAP__* bitmap = nullptr;
};

// Records every request; measures with the fixed metrics.
class RecordingSurface : public Surface {
  public:
    void fillRect(const RECT& rect, COLORREF colour) override;
    void line(POINT from, POINT to, COLORREF colour, int width) override;
    void polygon(std::span<const POINT> points, COLORREF fill, COLORREF outline) override;
    void text(POINT at, std::string_view text, const LOGFONT& font, COLORREF colour,
              const RECT* clip) override;
    void blit(const HBITMAP__& source, const RECT& from, const RECT& to, BlitOp op) override;
    void maskFill(const HBITMAP__& source, const RECT& from, const RECT& to, COLORREF background,
                  COLORREF colour) override;
    void focusRect(const RECT& rect) override;
    SIZE textSize(std::string_view text, const LOGFONT& font) override;
    TEXTMETRIC textMetrics(const LOGFONT& font) override;

    std::vector<CanvasOp> ops;
};

// Draws nothing; measures with the fixed metrics.
class NullSurface : public Surface {
  public:
    void fillRect(const RECT&, COLORREF) override {}
    void line(POINT, POINT, COLORREF, int) override {}
    void polygon(std::span<const POINT>, COLORREF, COLORREF) override {}
    void text(POINT, std::string_view, const LOGFONT&, COLORREF, const RECT*) override {}
    void blit(const HBITMAP__&, const RECT&, const RECT&, BlitOp) override {}
    void maskFill(const HBITMAP__&, const RECT&, const RECT&, COLORREF, COLORREF) override {}
    void focusRect(const RECT&) override {}
    SIZE textSize(std::string_view text, const LOGFONT& font) override {
        return FixedTextSize(text, font);
    }
    TEXTMETRIC textMetrics(const LOGFONT& font) override { return FixedTextMetrics(font); }
};

// A device context drawing on `surface` (which must outlive it); DeleteDC releases it.
HDC CreateSurfaceDC(Surface& surface);
// The font a device context starts with, as a record.
const LOGFONT& DefaultFont();
// The font record behind a font handle (the default font for null or a stale handle).
const LOGFONT& FontRecord(HFONT font);

// Makes a bitmap from a packed device-independent bitmap (header, palette, pixels) of
// 1, 4, 8, 24 or 32 bits per pixel, uncompressed; null when the bytes do not hold one.
HBITMAP BitmapFromPackedDib(std::span<const std::byte> dib);

// A bitmap resource: a packed device-independent bitmap registered with
// ResourceRegistration(anchor, ResourceKind::Bitmaps, table, count).
struct BitmapResource {
    std::uint32_t id;
    const std::byte* dib;
    std::size_t size;
};
std::span<const std::byte> FindBitmapResource(HMODULE module, std::uint32_t id);

// The pixels of a bitmap, one 0x00BBGGRR value (a COLORREF) per pixel, row by row from the top.
std::span<std::uint32_t> BitmapPixels(HBITMAP bitmap);
SIZE BitmapSize(HBITMAP bitmap);

// Live GDI objects that are not stock objects; tests use it to see that nothing leaked.
std::size_t LiveGdiObjects();

// The colour of a solid brush (a system colour index + 1 counts as that colour's brush).
std::optional<COLORREF> BrushColour(HBRUSH brush);

}  // namespace kestra::platform

struct HBITMAP__ : kestra::platform::GdiObject {
    HBITMAP__(int w, int h)
        : GdiObject(Kind::Bitmap),
          width(w),
          height(h),
          pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0xFFFFFF) {}
    int width, height;
    std::vector<std::uint32_t> pixels;  // COLORREF values, top row first
};

COLORREF GetSysColor(int index);
HBRUSH GetSysColorBrush(int index);
HGDIOBJ GetStockObject(int index);
HBRUSH CreateSolidBrush(COLORREF colour);
HPEN CreatePen(int style, int width, COLORREF colour);
HFONT CreateFontIndirect(const LOGFONT* font);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBITMAP LoadBitmap(HINSTANCE instance, const char* name);
BOOL DeleteObject(HGDIOBJ object);
int GetObject(HGDIOBJ object, int size, void* buffer);

HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
int GetDeviceCaps(HDC dc, int index);

COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF colour);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int SetStretchBltMode(HDC dc, int mode);

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
BOOL LineTo(HDC dc, int x, int y);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL Polygon(HDC dc, const POINT* points, int count);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
BOOL DrawFocusRect(HDC dc, const RECT* rect);
BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags);
BOOL TextOut(HDC dc, int x, int y, const char* text, int length);
BOOL ExtTextOut(HDC dc, int x, int y, UINT options, const RECT* rect, const char* text, UINT length,
                const int* spacing);
int DrawText(HDC dc, const char* text, int length, RECT* rect, UINT format);
BOOL GetTextExtentPoint32(HDC dc, const char* text, int length, SIZE* size);
BOOL GetTextMetrics(HDC dc, TEXTMETRIC* metrics);
BOOL BitBlt(HDC dc, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop);
BOOL StretchBlt(HDC dc, int x, int y, int width, int height, HDC source, int sx, int sy,
                int sourceWidth, int sourceHeight, DWORD rop);
// DST_BITMAP with DSS_MONO: paints the brush through the bitmap's monochrome mask (every pixel
// that is not white), as a colour bitmap turned monochrome against a white background.
BOOL DrawState(HDC dc, HBRUSH brush, void* unused, LPARAM data, WPARAM length, int x, int y,
               int width, int height, UINT flags);
