// Hierarchical list drawing.
#include "utilities/tree_draw.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/records.h"
#include "utilities/boundary.h"

namespace kp = kestra::platform;
using kestra::utilities::AtBoundary;

namespace {

constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kBitCountOffset = 14;
constexpr std::size_t kUsedColoursOffset = 32;

// A copy of a packed 4-bit bitmap whose background palette entry (the one the first pixel
// byte's high nibble names) shows the window colour; empty when the bytes are not such a
// bitmap.
std::vector<std::byte> withWindowBackground(std::span<const std::byte> dib) {
    if (dib.size() < kInfoHeaderSize) return {};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(dib.data());
    if (kestra::ReadLe32(bytes) != kInfoHeaderSize) return {};
    if (kestra::ReadLe16(bytes + kBitCountOffset) != 4) return {};
    std::uint32_t colours = kestra::ReadLe32(bytes + kUsedColoursOffset);
    if (colours == 0 || colours > 16) colours = 16;
    const std::size_t pixels = kInfoHeaderSize + colours * 4;
    if (dib.size() <= pixels) return {};
    std::vector<std::byte> copy(dib.begin(), dib.end());
    const std::size_t entry = static_cast<std::uint8_t>(copy[pixels]) >> 4;
    if (entry >= colours) return copy;
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    std::byte* quad = copy.data() + kInfoHeaderSize + entry * 4;
    quad[0] = static_cast<std::byte>(GetBValue(window));
    quad[1] = static_cast<std::byte>(GetGValue(window));
    quad[2] = static_cast<std::byte>(GetRValue(window));
    quad[3] = std::byte{0};
    return copy;
}

void releaseBitmap(HierDrawState& state) {
    if (state.memoryDc && state.oldBitmap) SelectObject(state.memoryDc, state.oldBitmap);
    if (state.bitmap) DeleteObject(state.bitmap);
    state.bitmap = nullptr;
    state.oldBitmap = nullptr;
}

void setLineHeight(HierDrawState& state) {
    state.lineHeight = std::max(state.textHeight, state.cellHeight);
}

bool loadImages(HierDrawState& state, HINSTANCE module, int bitmapId, int rows, int columns) {
    if (rows <= 0 || columns <= 0 || bitmapId < 0) return false;
    auto dib =
        withWindowBackground(kp::FindBitmapResource(module, static_cast<std::uint32_t>(bitmapId)));
    if (dib.empty()) return false;
    HBITMAP bitmap = kp::BitmapFromPackedDib(dib);
    if (!bitmap) return false;
    releaseBitmap(state);
    const SIZE size = kp::BitmapSize(bitmap);
    state.bitmap = bitmap;
    state.oldBitmap = SelectObject(state.memoryDc, bitmap);
    state.cellHeight = size.cy / rows;
    state.cellWidth = size.cx / columns;
    setLineHeight(state);
    return true;
}

void drawConnectingLines(HDC dc, const RECT& item, int depth, DWORD lineMask,
                         const HierDrawState& state) {
    const int cell = state.cellWidth;
    const int middle = item.top + (item.bottom - item.top) / 2;
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
    HGDIOBJ old = SelectObject(dc, pen);
    for (int level = 0; level < depth && level < 32; ++level) {
        if (!(lineMask & (DWORD{1} << level))) continue;
        const int x = item.left + cell / 2 + 2 + level * cell;
        MoveToEx(dc, x, item.top, nullptr);
        LineTo(dc, x, item.bottom);
    }
    const int x = item.left + cell * (depth - 1) + cell / 2 + 2;
    const bool sibling = depth < 32 && (lineMask & (DWORD{1} << depth));
    MoveToEx(dc, x, item.top, nullptr);
    LineTo(dc, x, sibling ? item.bottom : middle);
    MoveToEx(dc, x, middle, nullptr);
    LineTo(dc, x + cell / 2, middle);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void drawText(HDC dc, const RECT& item, int textX, const char* text, bool selected,
              const HierDrawState& state) {
    const int height = item.bottom - item.top;
    SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT area{textX, item.top, item.right, item.bottom};
    const char* shown = text ? text : "";
    ExtTextOut(dc, textX + 1, item.top + (height - state.textHeight) / 2, ETO_OPAQUE | ETO_CLIPPED,
               &area, shown, static_cast<UINT>(std::strlen(shown)), nullptr);
}

// The top index that shows `children` children below the item at `index`, given the list's
// top index and client height; `top` itself when nothing needs to scroll.
int topIndexShowingKids(int top, int clientHeight, int lineHeight, int index, int children) {
    if (lineHeight <= 0 || index < 0) return top;
    const int visible = (clientHeight + 1) / lineHeight;
    const int room = visible + top - index;
    if (children < room) return top;
    return std::min(index, top + children - room + 1);
}

}  // namespace

extern "C" {

BOOL HierDraw_DrawInit(HINSTANCE resourceModule, HINSTANCE, int bitmapId, int rows, int columns,
                       BOOL lines, HierDrawState* state, BOOL reset) {
    return AtBoundary<BOOL>(FALSE, [&]() -> BOOL {
        if (!state) return FALSE;
        if (reset) {
            HierDraw_DrawCloseAll(state);
            state->lines = lines;
        }
        if (!state->memoryDc) state->memoryDc = CreateCompatibleDC(nullptr);
        if (!state->memoryDc) return FALSE;
        return loadImages(*state, resourceModule, bitmapId, rows, columns) ? TRUE : FALSE;
    });
}

void HierDraw_DrawTerm(HierDrawState* state) {
    if (!state) return;
    releaseBitmap(*state);
    if (state->memoryDc) DeleteDC(state->memoryDc);
    state->memoryDc = nullptr;
}

void HierDraw_DrawSetTextHeight(HWND listBox, HFONT font, HierDrawState* state) {
    if (!state) return;
    HDC dc = GetDC(listBox);
    if (!dc) return;
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    TEXTMETRIC metrics{};
    GetTextMetrics(dc, &metrics);
    if (old) SelectObject(dc, old);
    ReleaseDC(listBox, dc);
    state->textHeight = metrics.tmHeight;
    setLineHeight(*state);
    SendMessage(listBox, LB_SETITEMHEIGHT, 0, MAKELPARAM(state->lineHeight, 0));
}

void HierDraw_OnMeasureItem(HWND, MEASUREITEMSTRUCT* measure, HierDrawState* state) {
    if (!measure || !state) return;
    measure->itemHeight = static_cast<UINT>(std::max(state->textHeight, state->cellHeight));
}

void HierDraw_OnDrawItem(HWND, const DRAWITEMSTRUCT* draw, int depth, DWORD lineMask,
                         const char* text, int imageRow, int imageColumn,
                         const HierDrawState* state) {
    if (!draw || !state || draw->itemID == static_cast<UINT>(-1) || depth < 0) return;
    HDC dc = draw->hDC;
    const RECT& item = draw->rcItem;
    const bool focused = draw->itemState & ODS_FOCUS;
    if (draw->itemAction == ODA_FOCUS) {
        DrawFocusRect(dc, &item);
        return;
    }
    const int height = item.bottom - item.top;
    const int imageX = depth * state->cellWidth + item.left + 2;
    const int textX = imageX + state->cellWidth;
    if (draw->itemAction & ODA_DRAWENTIRE) {
        if (state->lines && depth > 0) drawConnectingLines(dc, item, depth, lineMask, *state);
        if (state->memoryDc && state->bitmap)
            BitBlt(dc, imageX, item.top + (height - state->cellHeight) / 2, state->cellWidth,
                   state->cellHeight, state->memoryDc, imageColumn * state->cellWidth,
                   imageRow * state->cellHeight, SRCCOPY);
    }
    drawText(dc, item, textX, text, draw->itemState & ODS_SELECTED, *state);
    if (focused) DrawFocusRect(dc, &item);
}

BOOL HierDraw_IsOpened(const HierDrawState* state, DWORD value) {
    if (!state || !state->opened) return FALSE;
    const DWORD* begin = state->opened;
    const DWORD* end = begin + std::max(state->openedCount, 0);
    return std::find(begin, end, value) != end ? TRUE : FALSE;
}

void HierDraw_OpenItem(HierDrawState* state, DWORD value) {
    if (!state) return;
    const int count = std::max(state->openedCount, 0);
    auto* grown = static_cast<DWORD*>(
        std::realloc(state->opened, (static_cast<std::size_t>(count) + 1) * sizeof(DWORD)));
    if (!grown) return;
    grown[count] = value;
    state->opened = grown;
    state->openedCount = count + 1;
}

void HierDraw_CloseItem(HierDrawState* state, DWORD value) {
    if (!state || !state->opened) return;
    DWORD* end = state->opened + std::max(state->openedCount, 0);
    DWORD* kept = std::remove(state->opened, end, value);
    state->openedCount = static_cast<int>(kept - state->opened);
    if (state->openedCount == 0) HierDraw_DrawCloseAll(state);
}

void HierDraw_DrawCloseAll(HierDrawState* state) {
    if (!state) return;
    std::free(state->opened);
    state->opened = nullptr;
    state->openedCount = 0;
}

void HierDraw_ShowKids(const HierDrawState* state, HWND listBox, int index, int children) {
    if (!state) return;
    RECT client{};
    GetClientRect(listBox, &client);
    const int top = static_cast<int>(SendMessage(listBox, LB_GETTOPINDEX, 0, 0));
    const int wanted =
        topIndexShowingKids(top, client.bottom - client.top, state->lineHeight, index, children);
    if (wanted != top) SendMessage(listBox, LB_SETTOPINDEX, static_cast<WPARAM>(wanted), 0);
}

}  // extern "C"
