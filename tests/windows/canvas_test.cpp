#include "windows/canvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string_view>
#include <vector>

#include "platform/module.h"
#include "support/gdi_objects.h"
#include "windows/window_host.h"

namespace kp = kestra::platform;
using kp::CanvasOp;

namespace {

void put16(std::vector<std::byte>& out, unsigned v) {
    out.push_back(std::byte(v & 0xFF));
    out.push_back(std::byte((v >> 8) & 0xFF));
}
void put32(std::vector<std::byte>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void bytes(std::vector<std::byte>& out, std::initializer_list<int> values) {
    for (int v : values) out.push_back(std::byte(v));
}

// An information header of the given size, bit count and colours used.
std::vector<std::byte> infoHeader(std::int32_t width, std::int32_t height, unsigned bits,
                                  std::uint32_t colours = 0, std::uint32_t compression = 0) {
    std::vector<std::byte> dib;
    put32(dib, 40);
    put32(dib, static_cast<std::uint32_t>(width));
    put32(dib, static_cast<std::uint32_t>(height));
    put16(dib, 1);
    put16(dib, bits);
    put32(dib, compression);
    for (int i = 0; i < 3; ++i) put32(dib, 0);
    put32(dib, colours);
    put32(dib, 0);
    return dib;
}

COLORREF pixel(HBITMAP bitmap, int x, int y) {
    return kp::BitmapPixels(bitmap)[static_cast<std::size_t>(y * kp::BitmapSize(bitmap).cx + x)];
}

// A 3 by 2 four-bit bitmap, bottom row first, with a palette of three colours.
std::vector<std::byte> fourBitSample() {
    auto dib = infoHeader(3, 2, 4, 3);
    bytes(dib, {0, 0, 255, 0, /**/ 0, 255, 0, 0, /**/ 255, 0, 0, 0});  // red, green, blue (BGR0)
    bytes(dib, {0x01, 0x20, 0, 0});  // bottom row: red, green, blue
    bytes(dib, {0x22, 0x10, 0, 0});  // top row: blue, blue, green
    return dib;
}

class PackedBitmaps : public kestra::testing::DrawingTest {};

TEST_F(PackedBitmaps, FourBitPalettedRowsReadBottomUp) {
    auto dib = fourBitSample();
    HBITMAP bitmap = kp::BitmapFromPackedDib(dib);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(kp::BitmapSize(bitmap).cx, 3);
    EXPECT_EQ(pixel(bitmap, 0, 1), RGB(255, 0, 0));
    EXPECT_EQ(pixel(bitmap, 1, 1), RGB(0, 255, 0));
    EXPECT_EQ(pixel(bitmap, 2, 1), RGB(0, 0, 255));
    EXPECT_EQ(pixel(bitmap, 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(pixel(bitmap, 2, 0), RGB(0, 255, 0));
    BITMAP info;
    EXPECT_EQ(GetObject(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmHeight, 2);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap)) << "a deleted handle is refused";
}

TEST_F(PackedBitmaps, TopDownTrueColourAndCoreHeadersRead) {
    auto dib = infoHeader(2, -1, 24);
    bytes(dib, {1, 2, 3, 4, 5, 6, 0, 0});
    HBITMAP top = kp::BitmapFromPackedDib(dib);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(pixel(top, 0, 0), RGB(3, 2, 1));
    EXPECT_EQ(pixel(top, 1, 0), RGB(6, 5, 4));
    DeleteObject(top);

    std::vector<std::byte> core;
    put32(core, 12);
    put16(core, 8);
    put16(core, 1);
    put16(core, 1);
    put16(core, 1);
    bytes(core, {0, 0, 0, 255, 255, 255, 0xA0, 0, 0, 0});
    HBITMAP mono = kp::BitmapFromPackedDib(core);
    ASSERT_NE(mono, nullptr);
    EXPECT_EQ(pixel(mono, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(pixel(mono, 1, 0), RGB(0, 0, 0));
    EXPECT_EQ(pixel(mono, 2, 0), RGB(255, 255, 255));
    DeleteObject(mono);
}

TEST_F(PackedBitmaps, TruncatedLyingOrUnsupportedBitmapsAreRefused) {
    auto whole = fourBitSample();
    for (std::size_t cut : {0u, 4u, 39u, 40u, 51u, 55u, 59u})
        EXPECT_EQ(kp::BitmapFromPackedDib(std::span(whole).first(cut)), nullptr) << cut;
    auto rle = infoHeader(3, 2, 4, 0, 2);
    rle.resize(200);
    EXPECT_EQ(kp::BitmapFromPackedDib(rle), nullptr);
    auto huge = infoHeader(100000, 100000, 24);
    EXPECT_EQ(kp::BitmapFromPackedDib(huge), nullptr);
    auto odd = infoHeader(3, 2, 16);
    odd.resize(200);
    EXPECT_EQ(kp::BitmapFromPackedDib(odd), nullptr);
    auto lying = infoHeader(1, 1, 1, 0xFFFFFFF);
    bytes(lying, {0, 0, 0, 0, 255, 255, 255, 0, 0x80, 0, 0, 0});
    HBITMAP clamped = kp::BitmapFromPackedDib(lying);
    ASSERT_NE(clamped, nullptr) << "more colours than the bits can name: as many as they can";
    EXPECT_EQ(pixel(clamped, 0, 0), RGB(255, 255, 255));
    DeleteObject(clamped);

    auto shortPalette = fourBitSample();
    shortPalette[52] = std::byte{0x7F};  // bottom row: colours 7 and 15 of a palette of 3
    HBITMAP beyond = kp::BitmapFromPackedDib(shortPalette);
    ASSERT_NE(beyond, nullptr);
    EXPECT_EQ(pixel(beyond, 0, 1), RGB(0, 0, 0)) << "an index past the palette is black";
    EXPECT_EQ(pixel(beyond, 1, 1), RGB(0, 0, 0));
    DeleteObject(beyond);
}

constexpr std::byte kResourceDib[] = {std::byte{12},
                                      {},
                                      {},
                                      {},
                                      std::byte{1},
                                      {},
                                      std::byte{1},
                                      {},
                                      std::byte{1},
                                      {},
                                      std::byte{1},
                                      {},
                                      {},
                                      {},
                                      {},
                                      std::byte{255},
                                      std::byte{255},
                                      std::byte{255},
                                      std::byte{0x80},
                                      {},
                                      {},
                                      {}};
constexpr kp::BitmapResource kBitmaps[] = {{5, kResourceDib, sizeof kResourceDib}};
const kp::ResourceRegistration kBitmapRegistration(&kBitmaps, kp::ResourceKind::Bitmaps, kBitmaps,
                                                   std::size(kBitmaps));

TEST_F(PackedBitmaps, BitmapResourcesLoadThroughTheModule) {
    HBITMAP bitmap = LoadBitmap(GetModuleHandle(nullptr), MAKEINTRESOURCE(5));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(pixel(bitmap, 0, 0), RGB(255, 255, 255));
    DeleteObject(bitmap);
    EXPECT_EQ(LoadBitmap(GetModuleHandle(nullptr), MAKEINTRESOURCE(6)), nullptr);
}

class MemoryContexts : public kestra::testing::DrawingTest {
  protected:
    kp::HeadlessHost host_;
};

TEST_F(MemoryContexts, DrawingGoesIntoTheSelectedBitmapAndBlitsCombine) {
    HBITMAP source = CreateCompatibleBitmap(nullptr, 4, 4);
    HBITMAP target = CreateCompatibleBitmap(nullptr, 8, 8);
    HDC from = CreateCompatibleDC(nullptr);
    HDC to = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFrom = SelectObject(from, source);
    HGDIOBJ oldTo = SelectObject(to, target);
    RECT all{0, 0, 4, 4}, corner{0, 0, 2, 2};
    FillRect(from, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(from, &corner, red);
    EXPECT_FALSE(DeleteObject(source)) << "still selected";

    BitBlt(to, 1, 1, 4, 4, from, 0, 0, SRCCOPY);
    EXPECT_EQ(pixel(target, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(pixel(target, 1, 1), RGB(255, 0, 0));
    EXPECT_EQ(pixel(target, 4, 4), RGB(0, 0, 0));
    StretchBlt(to, 0, 0, 8, 8, from, 0, 0, 4, 4, SRCAND);
    EXPECT_EQ(pixel(target, 7, 7), RGB(0, 0, 0));
    EXPECT_EQ(pixel(target, 1, 0), RGB(255, 0, 0)) << "white AND red";

    RECT strip{0, 7, 8, 8};
    FillRect(to, &strip, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawState(to, red, nullptr, reinterpret_cast<LPARAM>(source), 0, 0, 7, 0, 0,
              DST_BITMAP | DSS_MONO);
    EXPECT_EQ(pixel(target, 0, 7), RGB(255, 0, 0)) << "red is not white: painted";
    BitBlt(to, -2, -2, 100, 100, from, 0, 0, SRCCOPY);  // clipped to the bitmap

    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
    EXPECT_TRUE(DeleteObject(source));
    EXPECT_TRUE(DeleteObject(target));
    EXPECT_TRUE(DeleteObject(red));
    EXPECT_FALSE(DeleteObject(GetStockObject(WHITE_BRUSH))) << "stock objects stay";
}

// Each kind of object a context holds, made anew.
struct ObjectKind {
    const char* name;
    HGDIOBJ (*make)();
};
const LOGFONT kBoldFont{-16, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Sans"};
const ObjectKind kObjectKinds[] = {
    {"brush", [] { return HGDIOBJ(CreateSolidBrush(RGB(1, 2, 3))); }},
    {"pen", [] { return HGDIOBJ(CreatePen(PS_DOT, 2, RGB(4, 5, 6))); }},
    {"font", [] { return HGDIOBJ(CreateFontIndirect(&kBoldFont)); }},
    {"bitmap", [] { return HGDIOBJ(CreateCompatibleBitmap(nullptr, 3, 2)); }},
};

TEST_F(MemoryContexts, SelectingGivesBackThePreviousObjectOfThatKind) {
    for (const ObjectKind& kind : kObjectKinds) {
        SCOPED_TRACE(kind.name);
        HDC dc = CreateCompatibleDC(nullptr);
        for (int cycle = 0; cycle < 3; ++cycle) {  // select, draw, select back, delete
            HGDIOBJ made = kind.make();
            HGDIOBJ initial = SelectObject(dc, made);
            ASSERT_NE(initial, nullptr);
            EXPECT_NE(initial, made) << "the context's own object, not the one just selected";
            RECT r{0, 0, 2, 2};
            FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
            EXPECT_FALSE(DeleteObject(made)) << "still selected";
            EXPECT_EQ(SelectObject(dc, initial), made);
            EXPECT_TRUE(DeleteObject(made)) << "selected back out: it can go";
            EXPECT_FALSE(DeleteObject(initial)) << "the context's own object stays";
        }
        DeleteDC(dc);
    }
}

TEST_F(MemoryContexts, WindowContextsHoldNoBitmapAndABitmapSitsInOneContextAtATime) {
    kp::RecordingSurface surface;
    HDC window = kp::CreateSurfaceDC(surface);
    HBITMAP bitmap = CreateCompatibleBitmap(nullptr, 2, 2);
    EXPECT_EQ(SelectObject(window, bitmap), nullptr);
    for (const ObjectKind& kind : kObjectKinds) {
        if (std::string_view(kind.name) == "bitmap") continue;
        HGDIOBJ made = kind.make();
        HGDIOBJ initial = SelectObject(window, made);
        EXPECT_NE(initial, nullptr) << kind.name;
        EXPECT_EQ(SelectObject(window, initial), made) << kind.name;
        EXPECT_TRUE(DeleteObject(made)) << kind.name;
    }
    HDC first = CreateCompatibleDC(nullptr), second = CreateCompatibleDC(nullptr);
    HGDIOBJ initial = SelectObject(first, bitmap);
    EXPECT_EQ(SelectObject(second, bitmap), nullptr) << "already selected elsewhere";
    SelectObject(first, initial);
    HGDIOBJ secondInitial = SelectObject(second, bitmap);
    EXPECT_NE(secondInitial, nullptr);
    SelectObject(second, secondInitial);
    for (HDC dc : {window, first, second}) DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(bitmap));
}

class RecordedPainting : public kestra::testing::DrawingTest {};

TEST_F(RecordedPainting, OpaqueClippedTextFillsItsRectangleFirst) {
    kp::RecordingSurface surface;
    HDC dc = kp::CreateSurfaceDC(surface);
    SetBkColor(dc, RGB(1, 2, 3));
    SetTextColor(dc, RGB(4, 5, 6));
    RECT box{0, 0, 40, 20};
    ExtTextOut(dc, 5, 3, ETO_OPAQUE | ETO_CLIPPED, &box, "ab", 2, nullptr);
    ASSERT_EQ(surface.ops.size(), 2u);
    EXPECT_EQ(surface.ops[0].kind, CanvasOp::Kind::Fill);
    EXPECT_EQ(surface.ops[0].colour, RGB(1, 2, 3));
    EXPECT_EQ(surface.ops[1].kind, CanvasOp::Kind::Text);
    EXPECT_EQ(surface.ops[1].text, "ab");
    EXPECT_TRUE(surface.ops[1].clipped);
    EXPECT_EQ(surface.ops[1].colour, RGB(4, 5, 6));

    surface.ops.clear();
    SetBkMode(dc, TRANSPARENT);
    RECT area{0, 0, 100, 40};
    DrawText(dc, "abcd", -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    ASSERT_EQ(surface.ops.size(), 1u) << "transparent: no background";
    EXPECT_EQ(surface.ops[0].from.x, (100 - 4 * 6) / 2);
    EXPECT_EQ(surface.ops[0].from.y, (40 - 13) / 2);
    SIZE size;
    GetTextExtentPoint32(dc, "\xC3\xA9t\xC3\xA9", 5, &size);
    EXPECT_EQ(size.cx, 18) << "three characters";
    DeleteDC(dc);
}

}  // namespace
