// K32FABUTIL1 hierarchical list drawing: an owner-drawn list box shown as a tree.
//
// Each item is drawn indented by its depth, with connecting lines to its ancestors and a small
// image taken from a grid of images in a bitmap resource. The state record keeps the drawing
// objects and the set of opened item values; the owner of the list box inserts and removes the
// items itself.
#pragma once

#include "windows/canvas.h"
#include "windows/controls.h"
#include "windows/window.h"

extern "C" {

// The drawing state, in the order its users know it.
struct HierDrawState {
    HDC memoryDc;       // holds the image bitmap
    HBITMAP bitmap;     // the grid of images
    HGDIOBJ oldBitmap;  // what the memory context held before
    int cellHeight;     // one image's height
    int cellWidth;      // one image's width
    int textHeight;     // the list font's height
    int lineHeight;     // the larger of text and cell height
    BOOL lines;         // draw connecting lines
    int openedCount;    // values in `opened`
    DWORD* opened;      // the opened item values (malloc'd, one element per value)
};

// resourceModule holds the bitmap (a packed 4-bit bitmap of rows x columns images); module is
// kept for compatibility. With `reset`, the opened set is emptied and `lines` stored.
BOOL HierDraw_DrawInit(HINSTANCE resourceModule, HINSTANCE module, int bitmapId, int rows,
                       int columns, BOOL lines, HierDrawState* state, BOOL reset);
void HierDraw_DrawTerm(HierDrawState* state);
void HierDraw_DrawSetTextHeight(HWND listBox, HFONT font, HierDrawState* state);
void HierDraw_OnMeasureItem(HWND window, MEASUREITEMSTRUCT* measure, HierDrawState* state);
// depth: 0 for a top-level item; lineMask bit i: ancestor level i continues below this item,
// bit `depth`: this item has a following sibling.
void HierDraw_OnDrawItem(HWND window, const DRAWITEMSTRUCT* draw, int depth, DWORD lineMask,
                         const char* text, int imageRow, int imageColumn,
                         const HierDrawState* state);
BOOL HierDraw_IsOpened(const HierDrawState* state, DWORD value);
void HierDraw_OpenItem(HierDrawState* state, DWORD value);
void HierDraw_CloseItem(HierDrawState* state, DWORD value);
void HierDraw_DrawCloseAll(HierDrawState* state);
// Scrolls the list so that the children of the opened item at `index` come into view.
void HierDraw_ShowKids(const HierDrawState* state, HWND listBox, int index, int children);

}  // extern "C"
