// Device contexts, GDI objects and the core's own surfaces.
#include "windows/canvas.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <set>

#include "platform/module.h"
#include "windows/packed_dib.h"
#include "windows/window_host.h"
#include "windows/window_object.h"

namespace kp = kestra::platform;

struct HBRUSH__ : kp::GdiObject {
    explicit HBRUSH__(COLORREF c, bool isHollow = false)
        : GdiObject(Kind::Brush), colour(c), hollow(isHollow) {}
    COLORREF colour;
    bool hollow;
};

struct HPEN__ : kp::GdiObject {
    HPEN__(int s, int w, COLORREF c) : GdiObject(Kind::Pen), style(s), width(w), colour(c) {}
    int style, width;
    COLORREF colour;
};

struct HFONT__ : kp::GdiObject {
    explicit HFONT__(const LOGFONT& f) : GdiObject(Kind::Font), font(f) {}
    LOGFONT font;
};

struct HDC__ {
    kp::Surface* surface = nullptr;
    std::unique_ptr<kp::Surface> owned;
    HWND window = nullptr;  // GetDC and paint contexts
    bool memory = false;
    HBITMAP bitmap = nullptr;
    HBRUSH brush = nullptr;
    HPEN pen = nullptr;
    HFONT font = nullptr;
    COLORREF textColour = 0;
    COLORREF backColour = 0xFFFFFF;
    int backMode = OPAQUE;
    int stretchMode = BLACKONWHITE;
    POINT position{};
};

namespace kestra::platform {
namespace {

// The classic system colours.
constexpr std::array<COLORREF, 25> kSystemColours = {
    RGB(192, 192, 192), RGB(0, 128, 128),   RGB(0, 0, 128),     RGB(128, 128, 128),
    RGB(192, 192, 192), RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),
    RGB(0, 0, 0),       RGB(255, 255, 255), RGB(192, 192, 192), RGB(192, 192, 192),
    RGB(128, 128, 128), RGB(0, 0, 128),     RGB(255, 255, 255), RGB(192, 192, 192),
    RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(192, 192, 192),
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(223, 223, 223), RGB(0, 0, 0),
    RGB(255, 255, 225)};

struct Gdi {
    std::set<GdiObject*> live;  // deletable objects
    std::set<HDC> contexts;
    std::array<HBRUSH, kSystemColours.size()> systemBrushes{};
    std::array<HGDIOBJ, 18> stock{};
    HBITMAP defaultBitmap = nullptr;  // what a new memory context holds: one white pixel
};

Gdi& gdi() {
    static Gdi* instance = [] {
        auto* g = new Gdi;
        for (std::size_t i = 0; i < kSystemColours.size(); ++i) {
            g->systemBrushes[i] = new HBRUSH__(kSystemColours[i]);
            g->systemBrushes[i]->stock = true;
        }
        auto stockBrush = [&](int index, COLORREF c, bool hollow = false) {
            auto* brush = new HBRUSH__(c, hollow);
            brush->stock = true;
            g->stock[static_cast<std::size_t>(index)] = brush;
        };
        stockBrush(WHITE_BRUSH, RGB(255, 255, 255));
        stockBrush(LTGRAY_BRUSH, RGB(192, 192, 192));
        stockBrush(GRAY_BRUSH, RGB(128, 128, 128));
        stockBrush(DKGRAY_BRUSH, RGB(64, 64, 64));
        stockBrush(BLACK_BRUSH, RGB(0, 0, 0));
        stockBrush(NULL_BRUSH, 0, true);
        auto stockPen = [&](int index, int style, COLORREF c) {
            auto* pen = new HPEN__(style, 1, c);
            pen->stock = true;
            g->stock[static_cast<std::size_t>(index)] = pen;
        };
        stockPen(WHITE_PEN, PS_SOLID, RGB(255, 255, 255));
        stockPen(BLACK_PEN, PS_SOLID, RGB(0, 0, 0));
        stockPen(NULL_PEN, PS_NULL, 0);
        auto* font = new HFONT__(DefaultFont());
        font->stock = true;
        g->stock[SYSTEM_FONT] = font;
        g->stock[DEFAULT_GUI_FONT] = font;
        g->defaultBitmap = new HBITMAP__(1, 1);
        g->defaultBitmap->stock = true;
        return g;
    }();
    return *instance;
}

template <typename T>
T* object(HGDIOBJ handle, GdiObject::Kind kind) {
    if (!handle) return nullptr;
    auto* o = static_cast<GdiObject*>(handle);
    auto& g = gdi();
    bool known =
        g.live.count(o) != 0 || handle == g.defaultBitmap ||
        std::find(g.stock.begin(), g.stock.end(), handle) != g.stock.end() ||
        std::find(g.systemBrushes.begin(), g.systemBrushes.end(), handle) != g.systemBrushes.end();
    if (!known || o->kind != kind) return nullptr;
    return static_cast<T*>(o);
}

HBRUSH__* brushOf(HBRUSH b) {
    return object<HBRUSH__>(b, GdiObject::Kind::Brush);
}
HPEN__* penOf(HPEN p) {
    return object<HPEN__>(p, GdiObject::Kind::Pen);
}
HFONT__* fontOf(HFONT f) {
    return object<HFONT__>(f, GdiObject::Kind::Font);
}
HBITMAP__* bitmapOf(HBITMAP b) {
    return object<HBITMAP__>(b, GdiObject::Kind::Bitmap);
}

bool liveDC(HDC dc) {
    return dc && gdi().contexts.count(dc) != 0;
}

template <typename T>
T* track(T* o) {
    gdi().live.insert(o);
    return o;
}

// A new context holds the stock white brush, black pen and system font, as a new context
// does on the system the drawing code was written for, so that the first SelectObject of each
// kind hands back an object the caller can select again to let go of its own.
HDC makeDC(Surface* surface) {
    auto* dc = new HDC__;
    dc->surface = surface;
    dc->brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    dc->pen = static_cast<HPEN>(GetStockObject(BLACK_PEN));
    dc->font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    gdi().contexts.insert(dc);
    return dc;
}

// Whether a memory context other than `dc` holds the bitmap.
bool selectedElsewhere(HDC dc, HBITMAP bitmap) {
    const auto& contexts = gdi().contexts;
    return std::any_of(contexts.begin(), contexts.end(),
                       [&](HDC other) { return other != dc && other->bitmap == bitmap; });
}

const LOGFONT& dcFont(HDC dc) {
    return FontRecord(dc->font);
}

std::size_t codePoints(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// Focus rectangles on a window from outside its painting become the window's focus marks;
// everything else goes to the host's surface for the window, if it has one.
class WindowSurface : public Surface {
  public:
    explicit WindowSurface(HWND window)
        : window_(window), inner_(CurrentWindowHost().windowSurface(window)) {}
    void fillRect(const RECT& r, COLORREF c) override {
        if (inner_) inner_->fillRect(r, c);
    }
    void line(POINT a, POINT b, COLORREF c, int w) override {
        if (inner_) inner_->line(a, b, c, w);
    }
    void polygon(std::span<const POINT> p, COLORREF f, COLORREF o) override {
        if (inner_) inner_->polygon(p, f, o);
    }
    void text(POINT at, std::string_view t, const LOGFONT& f, COLORREF c,
              const RECT* clip) override {
        if (inner_) inner_->text(at, t, f, c, clip);
    }
    void blit(const HBITMAP__& s, const RECT& from, const RECT& to, BlitOp op) override {
        if (inner_) inner_->blit(s, from, to, op);
    }
    void maskFill(const HBITMAP__& s, const RECT& from, const RECT& to, COLORREF bg,
                  COLORREF c) override {
        if (inner_) inner_->maskFill(s, from, to, bg, c);
    }
    void focusRect(const RECT& rect) override {
        if (!detail::Live(window_)) return;
        auto& marks = window_->focusMarks;
        auto same = std::find_if(marks.begin(), marks.end(),
                                 [&](const RECT& m) { return EqualRect(&m, &rect); });
        if (same != marks.end())
            marks.erase(same);
        else
            marks.push_back(rect);
        detail::Changed(window_, Aspect::FocusMarks);
    }
    SIZE textSize(std::string_view t, const LOGFONT& f) override {
        return measure().textSize(t, f);
    }
    TEXTMETRIC textMetrics(const LOGFONT& f) override { return measure().textMetrics(f); }

  private:
    Surface& measure() { return inner_ ? *inner_ : CurrentWindowHost().measuringSurface(); }
    HWND window_;
    Surface* inner_;
};

// Draws into a bitmap's pixels. Text is not drawn: the core has no fonts.
class BitmapSurface : public Surface {
  public:
    explicit BitmapSurface(HBITMAP__& bitmap) : bitmap_(bitmap) {}
    void fillRect(const RECT& r, COLORREF c) override {
        RECT clipped = clip(r);
        for (LONG y = clipped.top; y < clipped.bottom; ++y)
            for (LONG x = clipped.left; x < clipped.right; ++x) at(x, y) = c;
    }
    void line(POINT a, POINT b, COLORREF c, int) override {
        long dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
        long sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1, err = dx + dy;
        POINT p = a;
        while (p.x != b.x || p.y != b.y) {
            plot(p.x, p.y, c);
            long e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                p.x += sx;
            }
            if (e2 <= dx) {
                err += dx;
                p.y += sy;
            }
        }
    }
    void polygon(std::span<const POINT> points, COLORREF fill, COLORREF outline) override {
        if (points.size() < 3) return;
        LONG top = points[0].y, bottom = points[0].y;
        for (POINT p : points) {
            top = std::min(top, p.y);
            bottom = std::max(bottom, p.y);
        }
        for (LONG y = std::max<LONG>(top, 0); y <= std::min<LONG>(bottom, bitmap_.height - 1);
             ++y) {
            std::vector<double> crossings;
            for (std::size_t i = 0; i < points.size(); ++i) {
                POINT a = points[i], b = points[(i + 1) % points.size()];
                if ((a.y <= y && b.y > y) || (b.y <= y && a.y > y))
                    crossings.push_back(a.x + double(y - a.y) * (b.x - a.x) / double(b.y - a.y));
            }
            std::sort(crossings.begin(), crossings.end());
            for (std::size_t i = 0; i + 1 < crossings.size(); i += 2)
                for (auto x = static_cast<LONG>(crossings[i]);
                     x <= static_cast<LONG>(crossings[i + 1]); ++x)
                    plot(x, y, fill);
        }
        for (std::size_t i = 0; i < points.size(); ++i)
            line(points[i], points[(i + 1) % points.size()], outline, 1);
    }
    void text(POINT, std::string_view, const LOGFONT&, COLORREF, const RECT*) override {}
    void blit(const HBITMAP__& source, const RECT& from, const RECT& to, BlitOp op) override {
        copyScaled(source, from, to, [op](std::uint32_t& d, std::uint32_t s) {
            switch (op) {
                case BlitOp::Copy:
                    d = s;
                    break;
                case BlitOp::And:
                    d &= s;
                    break;
                case BlitOp::Or:
                    d |= s;
                    break;
                case BlitOp::Xor:
                    d ^= s;
                    break;
            }
        });
    }
    void maskFill(const HBITMAP__& source, const RECT& from, const RECT& to, COLORREF background,
                  COLORREF colour) override {
        copyScaled(source, from, to, [&](std::uint32_t& d, std::uint32_t s) {
            if ((s & 0xFFFFFF) != (background & 0xFFFFFF)) d = colour;
        });
    }
    void focusRect(const RECT& r) override {
        for (LONG x = r.left; x < r.right; x += 2) {
            invert(x, r.top);
            invert(x, r.bottom - 1);
        }
        for (LONG y = r.top; y < r.bottom; y += 2) {
            invert(r.left, y);
            invert(r.right - 1, y);
        }
    }
    SIZE textSize(std::string_view t, const LOGFONT& f) override { return FixedTextSize(t, f); }
    TEXTMETRIC textMetrics(const LOGFONT& f) override { return FixedTextMetrics(f); }

  private:
    RECT clip(const RECT& r) const {
        return {std::max<LONG>(r.left, 0), std::max<LONG>(r.top, 0),
                std::min<LONG>(r.right, bitmap_.width), std::min<LONG>(r.bottom, bitmap_.height)};
    }
    std::uint32_t& at(LONG x, LONG y) {
        return bitmap_
            .pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap_.width) +
                    static_cast<std::size_t>(x)];
    }
    bool inside(LONG x, LONG y) const {
        return x >= 0 && y >= 0 && x < bitmap_.width && y < bitmap_.height;
    }
    void plot(LONG x, LONG y, COLORREF c) {
        if (inside(x, y)) at(x, y) = c;
    }
    void invert(LONG x, LONG y) {
        if (inside(x, y)) at(x, y) ^= 0xFFFFFF;
    }
    template <typename Combine>
    void copyScaled(const HBITMAP__& source, const RECT& from, const RECT& to, Combine combine) {
        LONG w = to.right - to.left, h = to.bottom - to.top;
        LONG sw = from.right - from.left, sh = from.bottom - from.top;
        if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return;
        for (LONG y = 0; y < h; ++y)
            for (LONG x = 0; x < w; ++x) {
                LONG sx = from.left + x * sw / w, sy = from.top + y * sh / h;
                LONG dx = to.left + x, dy = to.top + y;
                if (!inside(dx, dy) || sx < 0 || sy < 0 || sx >= source.width ||
                    sy >= source.height)
                    continue;
                combine(at(dx, dy), source.pixels[static_cast<std::size_t>(sy) *
                                                      static_cast<std::size_t>(source.width) +
                                                  static_cast<std::size_t>(sx)]);
            }
    }
    HBITMAP__& bitmap_;
};

void recordLine(std::vector<CanvasOp>& ops, POINT a, POINT b, COLORREF c) {
    CanvasOp op{CanvasOp::Kind::Line};
    op.from = a;
    op.to = b;
    op.colour = c;
    ops.push_back(std::move(op));
}

}  // namespace

SIZE FixedTextSize(std::string_view text, const LOGFONT& font) {
    TEXTMETRIC m = FixedTextMetrics(font);
    return {static_cast<LONG>(codePoints(text)) * m.tmAveCharWidth, m.tmHeight};
}

TEXTMETRIC FixedTextMetrics(const LOGFONT& font) {
    LONG height = font.lfHeight == 0 ? 13 : std::abs(font.lfHeight);
    height = std::clamp<LONG>(height, 1, 1000);
    LONG width = std::max<LONG>(1, (height * 6 + 6) / 13);
    LONG ascent = height * 10 / 13;
    return {height, ascent, height - ascent, 0,
            0,      width,  width,           font.lfWeight ? font.lfWeight : FW_NORMAL};
}

void RecordingSurface::fillRect(const RECT& rect, COLORREF colour) {
    CanvasOp op{CanvasOp::Kind::Fill};
    op.rect = rect;
    op.colour = colour;
    ops.push_back(std::move(op));
}

void RecordingSurface::line(POINT from, POINT to, COLORREF colour, int) {
    recordLine(ops, from, to, colour);
}

void RecordingSurface::polygon(std::span<const POINT> points, COLORREF fill, COLORREF outline) {
    CanvasOp op{CanvasOp::Kind::Polygon};
    op.points.assign(points.begin(), points.end());
    op.colour = fill;
    op.outline = outline;
    ops.push_back(std::move(op));
}

void RecordingSurface::text(POINT at, std::string_view text, const LOGFONT&, COLORREF colour,
                            const RECT* clip) {
    CanvasOp op{CanvasOp::Kind::Text};
    op.from = at;
    op.text = text;
    op.colour = colour;
    if (clip) {
        op.rect = *clip;
        op.clipped = true;
    }
    ops.push_back(std::move(op));
}

void RecordingSurface::blit(const HBITMAP__& source, const RECT& from, const RECT& to, BlitOp o) {
    CanvasOp op{CanvasOp::Kind::Blit};
    op.source = from;
    op.rect = to;
    op.op = o;
    op.bitmap = &source;
    ops.push_back(std::move(op));
}

void RecordingSurface::maskFill(const HBITMAP__& source, const RECT& from, const RECT& to, COLORREF,
                                COLORREF colour) {
    CanvasOp op{CanvasOp::Kind::Mask};
    op.source = from;
    op.rect = to;
    op.colour = colour;
    op.bitmap = &source;
    ops.push_back(std::move(op));
}

void RecordingSurface::focusRect(const RECT& rect) {
    CanvasOp op{CanvasOp::Kind::FocusRect};
    op.rect = rect;
    ops.push_back(std::move(op));
}

SIZE RecordingSurface::textSize(std::string_view text, const LOGFONT& font) {
    return FixedTextSize(text, font);
}

TEXTMETRIC RecordingSurface::textMetrics(const LOGFONT& font) {
    return FixedTextMetrics(font);
}

HDC CreateSurfaceDC(Surface& surface) {
    return makeDC(&surface);
}

const LOGFONT& DefaultFont() {
    static const LOGFONT font{0, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, {}};
    return font;
}

const LOGFONT& FontRecord(HFONT font) {
    HFONT__* f = fontOf(font);
    return f ? f->font : DefaultFont();
}

HBITMAP BitmapFromPackedDib(std::span<const std::byte> dib) {
    std::optional<DecodedDib> decoded = DecodePackedDib(dib);
    if (!decoded) return nullptr;
    auto* bitmap = track(new HBITMAP__(decoded->width, decoded->height));
    bitmap->pixels = std::move(decoded->pixels);
    return bitmap;
}

std::span<const std::byte> FindBitmapResource(HMODULE module, std::uint32_t id) {
    std::span<const std::byte> found;
    ForEachResourceTable(module, ResourceKind::Bitmaps, [&](const ResourceTable& table) {
        const auto* bitmaps = static_cast<const BitmapResource*>(table.table);
        for (std::size_t i = 0; i < table.count; ++i)
            if (bitmaps[i].id == id) {
                found = {bitmaps[i].dib, bitmaps[i].size};
                return true;
            }
        return false;
    });
    return found;
}

std::span<std::uint32_t> BitmapPixels(HBITMAP bitmap) {
    HBITMAP__* b = bitmapOf(bitmap);
    return b ? std::span<std::uint32_t>(b->pixels) : std::span<std::uint32_t>();
}

SIZE BitmapSize(HBITMAP bitmap) {
    HBITMAP__* b = bitmapOf(bitmap);
    return b ? SIZE{b->width, b->height} : SIZE{0, 0};
}

std::optional<COLORREF> BrushColour(HBRUSH brush) {
    auto value = reinterpret_cast<std::uintptr_t>(brush);
    if (value > 0 && value <= kSystemColours.size())
        return GetSysColor(static_cast<int>(value - 1));
    HBRUSH__* b = brushOf(brush);
    if (!b || b->hollow) return std::nullopt;
    return b->colour;
}

std::size_t LiveGdiObjects() {
    return gdi().live.size();
}

void PaintWindow(HWND window, Surface& surface) {
    if (!detail::Live(window)) return;
    HDC dc = makeDC(&surface);
    dc->window = window;
    HFONT font = window->font;
    if (font) dc->font = font;
    window->paintDC = dc;
    SendMessage(window, WM_PAINT, 0, 0);
    if (detail::Live(window)) {
        window->paintDC = nullptr;
        window->needsPaint = false;
        for (const RECT& mark : window->focusMarks) surface.focusRect(mark);
    }
    DeleteDC(dc);
}

namespace detail {
std::unique_ptr<Surface> MakeBitmapSurface(HBITMAP bitmap) {
    HBITMAP__* b = bitmapOf(bitmap);
    if (!b) return std::make_unique<NullSurface>();
    return std::make_unique<BitmapSurface>(*b);
}
}  // namespace detail

}  // namespace kestra::platform

using kp::liveDC;

COLORREF GetSysColor(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= kp::kSystemColours.size()) return 0;
    return kp::kSystemColours[static_cast<std::size_t>(index)];
}

HBRUSH GetSysColorBrush(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= kp::kSystemColours.size()) return nullptr;
    return kp::gdi().systemBrushes[static_cast<std::size_t>(index)];
}

HGDIOBJ GetStockObject(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= kp::gdi().stock.size()) return nullptr;
    return kp::gdi().stock[static_cast<std::size_t>(index)];
}

HBRUSH CreateSolidBrush(COLORREF colour) {
    return kp::track(new HBRUSH__(colour & 0xFFFFFF));
}

HPEN CreatePen(int style, int width, COLORREF colour) {
    return kp::track(new HPEN__(style, std::max(width, 1), colour & 0xFFFFFF));
}

HFONT CreateFontIndirect(const LOGFONT* font) {
    if (!font) return nullptr;
    return kp::track(new HFONT__(*font));
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    return kp::track(new HBITMAP__(width, height));
}

HBITMAP LoadBitmap(HINSTANCE instance, const char* name) {
    if (!IS_INTRESOURCE(name)) return nullptr;
    auto id = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(name));
    auto dib = kp::FindBitmapResource(instance, id);
    return dib.empty() ? nullptr : kp::BitmapFromPackedDib(dib);
}

BOOL DeleteObject(HGDIOBJ handle) {
    auto& g = kp::gdi();
    auto* o = static_cast<kp::GdiObject*>(handle);
    if (!handle || !g.live.count(o)) return FALSE;
    for (HDC dc : g.contexts)
        if (dc->bitmap == handle || dc->brush == handle || dc->pen == handle || dc->font == handle)
            return FALSE;  // still selected
    g.live.erase(o);
    delete o;
    return TRUE;
}

int GetObject(HGDIOBJ handle, int size, void* buffer) {
    HBITMAP__* b = kp::bitmapOf(static_cast<HBITMAP>(handle));
    if (!b || !buffer || size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP info{0, b->width, b->height, b->width * 4, 1, 32, nullptr};
    std::memcpy(buffer, &info, sizeof info);
    return sizeof info;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    if (!kp::detail::Live(window)) return nullptr;
    HDC dc = window->paintDC;
    if (!dc) {  // painting outside the host's paint: measured, drawn nowhere
        dc = kp::makeDC(&kp::CurrentWindowHost().measuringSurface());
        dc->window = window;
    }
    if (paint) {
        *paint = {};
        paint->hdc = dc;
        GetClientRect(window, &paint->rcPaint);
    }
    BOOL erased =
        static_cast<BOOL>(SendMessage(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0));
    if (paint) paint->fErase = !erased;
    return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (!kp::detail::Live(window)) return FALSE;
    window->needsPaint = false;
    if (paint && paint->hdc && paint->hdc != window->paintDC) DeleteDC(paint->hdc);
    return TRUE;
}

HDC GetDC(HWND window) {
    if (!kp::detail::Live(window)) return nullptr;
    auto surface = std::make_unique<kp::WindowSurface>(window);
    HDC dc = kp::makeDC(surface.get());
    dc->owned = std::move(surface);
    dc->window = window;
    if (window->font) dc->font = window->font;
    return dc;
}

int ReleaseDC(HWND, HDC dc) {
    return DeleteDC(dc);
}

HDC CreateCompatibleDC(HDC) {
    HDC dc = kp::makeDC(nullptr);
    dc->memory = true;
    dc->bitmap = kp::gdi().defaultBitmap;
    dc->owned = std::make_unique<kp::NullSurface>();
    dc->surface = dc->owned.get();
    return dc;
}

BOOL DeleteDC(HDC dc) {
    if (!liveDC(dc)) return FALSE;
    kp::gdi().contexts.erase(dc);
    delete dc;
    return TRUE;
}

// The object takes its kind's place in the context; the object it displaces comes back. A
// bitmap goes only into a memory context, and only into one at a time.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ handle) {
    if (!liveDC(dc) || !handle) return nullptr;
    if (kp::brushOf(static_cast<HBRUSH>(handle)))
        return std::exchange(dc->brush, static_cast<HBRUSH>(handle));
    if (kp::penOf(static_cast<HPEN>(handle)))
        return std::exchange(dc->pen, static_cast<HPEN>(handle));
    if (kp::fontOf(static_cast<HFONT>(handle)))
        return std::exchange(dc->font, static_cast<HFONT>(handle));
    auto bitmap = static_cast<HBITMAP>(handle);
    if (!kp::bitmapOf(bitmap) || !dc->memory) return nullptr;
    if (bitmap != kp::gdi().defaultBitmap && kp::selectedElsewhere(dc, bitmap)) return nullptr;
    dc->owned = bitmap == kp::gdi().defaultBitmap ? std::make_unique<kp::NullSurface>()
                                                  : kp::CurrentWindowHost().bitmapSurface(bitmap);
    dc->surface = dc->owned.get();
    return std::exchange(dc->bitmap, bitmap);
}

int GetDeviceCaps(HDC, int index) {
    return index == LOGPIXELSX || index == LOGPIXELSY ? 96 : 0;
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
    return liveDC(dc) ? std::exchange(dc->textColour, colour & 0xFFFFFF) : 0;
}
COLORREF GetTextColor(HDC dc) {
    return liveDC(dc) ? dc->textColour : 0;
}
COLORREF SetBkColor(HDC dc, COLORREF colour) {
    return liveDC(dc) ? std::exchange(dc->backColour, colour & 0xFFFFFF) : 0;
}
COLORREF GetBkColor(HDC dc) {
    return liveDC(dc) ? dc->backColour : 0;
}
int SetBkMode(HDC dc, int mode) {
    return liveDC(dc) ? std::exchange(dc->backMode, mode) : 0;
}
int SetStretchBltMode(HDC dc, int mode) {
    return liveDC(dc) ? std::exchange(dc->stretchMode, mode) : 0;
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
    if (!liveDC(dc)) return FALSE;
    if (previous) *previous = dc->position;
    dc->position = {x, y};
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
    if (!liveDC(dc)) return FALSE;
    HPEN__* pen = kp::penOf(dc->pen);
    if (pen && pen->style != PS_NULL)
        dc->surface->line(dc->position, {x, y}, pen->colour, pen->width);
    dc->position = {x, y};
    return TRUE;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
    if (!liveDC(dc)) return FALSE;
    HBRUSH__* brush = kp::brushOf(dc->brush);
    if (brush && !brush->hollow) dc->surface->fillRect({left, top, right, bottom}, brush->colour);
    HPEN__* pen = kp::penOf(dc->pen);
    if (pen && pen->style != PS_NULL) {
        POINT corners[] = {
            {left, top}, {right - 1, top}, {right - 1, bottom - 1}, {left, bottom - 1}};
        for (int i = 0; i < 4; ++i)
            dc->surface->line(corners[i], corners[(i + 1) % 4], pen->colour, 1);
    }
    return TRUE;
}

BOOL Polygon(HDC dc, const POINT* points, int count) {
    if (!liveDC(dc) || !points || count < 2) return FALSE;
    HBRUSH__* brush = kp::brushOf(dc->brush);
    HPEN__* pen = kp::penOf(dc->pen);
    COLORREF fill = brush ? brush->colour : 0;
    COLORREF outline = pen && pen->style != PS_NULL ? pen->colour : fill;
    dc->surface->polygon(std::span<const POINT>(points, static_cast<std::size_t>(count)), fill,
                         outline);
    return TRUE;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    if (!liveDC(dc) || !rect) return 0;
    if (auto colour = kp::BrushColour(brush)) {
        dc->surface->fillRect(*rect, *colour);
        return 1;
    }
    return kp::brushOf(brush) ? 1 : 0;  // a hollow brush paints nothing
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
    if (!liveDC(dc) || !rect) return 0;
    HBRUSH__* b = kp::brushOf(brush);
    if (!b || b->hollow) return 0;
    const RECT& r = *rect;
    dc->surface->fillRect({r.left, r.top, r.right, r.top + 1}, b->colour);
    dc->surface->fillRect({r.left, r.bottom - 1, r.right, r.bottom}, b->colour);
    dc->surface->fillRect({r.left, r.top, r.left + 1, r.bottom}, b->colour);
    dc->surface->fillRect({r.right - 1, r.top, r.right, r.bottom}, b->colour);
    return 1;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    if (!liveDC(dc)) return FALSE;
    RECT r{x, y, x + width, y + height};
    if (rop == BLACKNESS) {
        dc->surface->fillRect(r, 0);
    } else if (rop == WHITENESS) {
        dc->surface->fillRect(r, 0xFFFFFF);
    } else {
        HBRUSH__* b = kp::brushOf(dc->brush);
        if (b && !b->hollow) dc->surface->fillRect(r, b->colour);
    }
    return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
    if (!liveDC(dc) || !rect) return FALSE;
    dc->surface->focusRect(*rect);
    return TRUE;
}

BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags) {
    if (!liveDC(dc) || !rect) return FALSE;
    RECT r = *rect;
    auto ring = [&](COLORREF topLeft, COLORREF bottomRight) {
        if (flags & BF_TOP) dc->surface->fillRect({r.left, r.top, r.right, r.top + 1}, topLeft);
        if (flags & BF_LEFT) dc->surface->fillRect({r.left, r.top, r.left + 1, r.bottom}, topLeft);
        if (flags & BF_BOTTOM)
            dc->surface->fillRect({r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
        if (flags & BF_RIGHT)
            dc->surface->fillRect({r.right - 1, r.top, r.right, r.bottom}, bottomRight);
        InflateRect(&r, -1, -1);
    };
    if (edge & BDR_RAISEDOUTER)
        ring(GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_3DDKSHADOW));
    else if (edge & BDR_SUNKENOUTER)
        ring(GetSysColor(COLOR_3DSHADOW), GetSysColor(COLOR_3DHIGHLIGHT));
    if (edge & BDR_RAISEDINNER)
        ring(GetSysColor(COLOR_3DHIGHLIGHT), GetSysColor(COLOR_3DSHADOW));
    else if (edge & BDR_SUNKENINNER)
        ring(GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT));
    if (flags & BF_MIDDLE) dc->surface->fillRect(r, GetSysColor(COLOR_3DFACE));
    if (flags & BF_ADJUST) *rect = r;
    return TRUE;
}

BOOL TextOut(HDC dc, int x, int y, const char* text, int length) {
    if (!liveDC(dc) || !text || length < 0) return FALSE;
    std::string_view t(text, static_cast<std::size_t>(length));
    if (dc->backMode == OPAQUE) {
        SIZE size = dc->surface->textSize(t, kp::dcFont(dc));
        dc->surface->fillRect({x, y, x + size.cx, y + size.cy}, dc->backColour);
    }
    dc->surface->text({x, y}, t, kp::dcFont(dc), dc->textColour, nullptr);
    return TRUE;
}

BOOL ExtTextOut(HDC dc, int x, int y, UINT options, const RECT* rect, const char* text, UINT length,
                const int*) {
    if (!liveDC(dc)) return FALSE;
    if (rect && (options & ETO_OPAQUE)) dc->surface->fillRect(*rect, dc->backColour);
    if (!text || length == 0) return TRUE;
    std::string_view t(text, length);
    if (!(options & ETO_OPAQUE) && dc->backMode == OPAQUE) {
        SIZE size = dc->surface->textSize(t, kp::dcFont(dc));
        RECT back{x, y, x + size.cx, y + size.cy};
        if (rect && (options & ETO_CLIPPED)) IntersectRect(&back, &back, rect);
        dc->surface->fillRect(back, dc->backColour);
    }
    dc->surface->text({x, y}, t, kp::dcFont(dc), dc->textColour,
                      rect && (options & ETO_CLIPPED) ? rect : nullptr);
    return TRUE;
}

int DrawText(HDC dc, const char* text, int length, RECT* rect, UINT format) {
    if (!liveDC(dc) || !text || !rect) return 0;
    std::string_view t = length < 0 ? std::string_view(text)
                                    : std::string_view(text, static_cast<std::size_t>(length));
    SIZE size = dc->surface->textSize(t, kp::dcFont(dc));
    if (format & DT_CALCRECT) {
        rect->right = rect->left + size.cx;
        rect->bottom = rect->top + size.cy;
        return size.cy;
    }
    LONG x = rect->left, y = rect->top;
    if (format & DT_CENTER) x = (rect->left + rect->right - size.cx) / 2;
    if (format & DT_RIGHT) x = rect->right - size.cx;
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER))
        y = (rect->top + rect->bottom - size.cy) / 2;
    if ((format & DT_SINGLELINE) && (format & DT_BOTTOM)) y = rect->bottom - size.cy;
    if (dc->backMode == OPAQUE)
        dc->surface->fillRect({x, y, x + size.cx, y + size.cy}, dc->backColour);
    dc->surface->text({x, y}, t, kp::dcFont(dc), dc->textColour,
                      (format & DT_NOCLIP) ? nullptr : rect);
    return size.cy;
}

BOOL GetTextExtentPoint32(HDC dc, const char* text, int length, SIZE* size) {
    if (!liveDC(dc) || !text || !size || length < 0) return FALSE;
    *size = dc->surface->textSize(std::string_view(text, static_cast<std::size_t>(length)),
                                  kp::dcFont(dc));
    return TRUE;
}

BOOL GetTextMetrics(HDC dc, TEXTMETRIC* metrics) {
    if (!liveDC(dc) || !metrics) return FALSE;
    *metrics = dc->surface->textMetrics(kp::dcFont(dc));
    return TRUE;
}

namespace {
kp::BlitOp blitOp(DWORD rop) {
    switch (rop) {
        case SRCAND:
            return kp::BlitOp::And;
        case SRCPAINT:
            return kp::BlitOp::Or;
        case SRCINVERT:
            return kp::BlitOp::Xor;
        default:
            return kp::BlitOp::Copy;
    }
}
}  // namespace

BOOL StretchBlt(HDC dc, int x, int y, int width, int height, HDC source, int sx, int sy,
                int sourceWidth, int sourceHeight, DWORD rop) {
    if (!liveDC(dc) || !liveDC(source)) return FALSE;
    HBITMAP__* bitmap = kp::bitmapOf(source->bitmap);
    if (!bitmap) return FALSE;
    dc->surface->blit(*bitmap, {sx, sy, sx + sourceWidth, sy + sourceHeight},
                      {x, y, x + width, y + height}, blitOp(rop));
    return TRUE;
}

BOOL BitBlt(HDC dc, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop) {
    if (rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY)
        return PatBlt(dc, x, y, width, height, rop);
    return StretchBlt(dc, x, y, width, height, source, sx, sy, width, height, rop);
}

BOOL DrawState(HDC dc, HBRUSH brush, void*, LPARAM data, WPARAM, int x, int y, int width,
               int height, UINT flags) {
    if (!liveDC(dc) || !(flags & DST_BITMAP)) return FALSE;
    HBITMAP__* bitmap = kp::bitmapOf(reinterpret_cast<HBITMAP>(data));
    if (!bitmap) return FALSE;
    if (width == 0) width = bitmap->width;
    if (height == 0) height = bitmap->height;
    RECT from{0, 0, bitmap->width, bitmap->height}, to{x, y, x + width, y + height};
    if (flags & DSS_MONO) {
        HBRUSH__* b = kp::brushOf(brush);
        dc->surface->maskFill(*bitmap, from, to, RGB(255, 255, 255), b ? b->colour : 0);
    } else {
        dc->surface->blit(*bitmap, from, to, kp::BlitOp::Copy);
    }
    return TRUE;
}
