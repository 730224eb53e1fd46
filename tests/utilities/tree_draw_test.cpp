#include <gtest/gtest.h>

#include <vector>

#include "platform/module.h"
#include "support/gdi_objects.h"
#include "utilities/k32fabutil1.h"
#include "windows/canvas.h"
#include "windows/window_host.h"

namespace kp = kestra::platform;
using Op = kp::CanvasOp;

namespace {

HMODULE utilities() {
    return kp::ModuleOf(reinterpret_cast<const void*>(&PreInitTagList));
}

// Each test ends with HierDraw_DrawTerm; the drawing-object count then shows whether the
// image bitmap and everything drawn with went away.
class TreeDraw : public kestra::testing::DrawingTest {
  protected:
    void SetUp() override {
        DrawingTest::SetUp();
        ASSERT_TRUE(
            HierDraw_DrawInit(utilities(), utilities(), kTagImages, 1, 3, TRUE, &state_, TRUE));
        state_.textHeight = 13;
        state_.lineHeight = 16;
        dc_ = kp::CreateSurfaceDC(surface_);
    }
    void TearDown() override {
        DeleteDC(dc_);
        HierDraw_DrawCloseAll(&state_);
        HierDraw_DrawTerm(&state_);
        DrawingTest::TearDown();
    }
    // Draws an item of a 16-pixel line at the top of a 200-pixel-wide list.
    std::vector<Op> draw(int depth, DWORD mask, UINT action = ODA_DRAWENTIRE, UINT itemState = 0,
                         int column = 2) {
        surface_.ops.clear();
        DRAWITEMSTRUCT item{ODT_LISTBOX, kTagList,        0, action, itemState, nullptr,
                            dc_,         {0, 0, 200, 16}, 0};
        HierDraw_OnDrawItem(nullptr, &item, depth, mask, "Motor", 0, column, &state_);
        return surface_.ops;
    }
    static std::vector<Op> ofKind(const std::vector<Op>& ops, Op::Kind kind) {
        std::vector<Op> out;
        for (const Op& op : ops)
            if (op.kind == kind) out.push_back(op);
        return out;
    }

    kp::HeadlessHost host_;
    HierDrawState state_{};
    kp::RecordingSurface surface_;
    HDC dc_ = nullptr;
};

}  // namespace

TEST_F(TreeDraw, TheImageGridIsCutIntoCellsAndItsBackgroundTakesTheWindowColour) {
    EXPECT_EQ(state_.cellWidth, 16);
    EXPECT_EQ(state_.cellHeight, 16);
    EXPECT_EQ(state_.lineHeight, 16);
    auto pixels = kp::BitmapPixels(state_.bitmap);
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(pixels[0], GetSysColor(COLOR_WINDOW)) << "the first pixel is background";
    EXPECT_EQ(pixels[2 * 48 + 2], RGB(128, 128, 0)) << "the folder's outline keeps its colour";

    HierDrawState bad{};
    EXPECT_FALSE(HierDraw_DrawInit(utilities(), utilities(), 4711, 1, 3, TRUE, &bad, TRUE));
    EXPECT_FALSE(HierDraw_DrawInit(utilities(), utilities(), kTagImages, 0, 3, TRUE, &bad, TRUE));
    HierDraw_DrawTerm(&bad);
}

TEST_F(TreeDraw, OpenedValuesAreASetWithRepeats) {
    HierDraw_OpenItem(&state_, 7);
    HierDraw_OpenItem(&state_, 9);
    HierDraw_OpenItem(&state_, 7);
    EXPECT_EQ(state_.openedCount, 3);
    HierDraw_CloseItem(&state_, 7);
    EXPECT_FALSE(HierDraw_IsOpened(&state_, 7)) << "both entries of 7 are gone";
    EXPECT_TRUE(HierDraw_IsOpened(&state_, 9));
    EXPECT_EQ(state_.openedCount, 1);
    HierDraw_DrawInit(utilities(), utilities(), kTagImages, 1, 3, FALSE, &state_, TRUE);
    EXPECT_FALSE(HierDraw_IsOpened(&state_, 9)) << "a reset empties the set";
    EXPECT_FALSE(state_.lines);
}

TEST_F(TreeDraw, ShowingChildrenScrollsOnlyWhenTheyDoNotFit) {
    // 10 visible lines of 16 pixels.
    HWND list = CreateWindow("listbox", "", WS_POPUP | LBS_NOINTEGRALHEIGHT, 0, 0, 200, 160,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(list, nullptr);
    for (int i = 0; i < 60; ++i) SendMessage(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("x"));
    auto topAfter = [&](int top, int index, int children) {
        SendMessage(list, LB_SETTOPINDEX, top, 0);
        HierDraw_ShowKids(&state_, list, index, children);
        return static_cast<int>(SendMessage(list, LB_GETTOPINDEX, 0, 0));
    };
    EXPECT_EQ(topAfter(0, 0, 20), 0) << "the item stays the top line";
    EXPECT_EQ(topAfter(0, 2, 5), 0) << "five children fit below item 2";
    EXPECT_EQ(topAfter(0, 2, 8), 1);
    EXPECT_EQ(topAfter(3, 8, 4), 3) << "lines 9 to 12 are in view";
    EXPECT_EQ(topAfter(3, 8, 5), 4) << "line 13 comes into view";
    EXPECT_EQ(topAfter(3, 8, 40), 8);
    state_.lineHeight = 0;
    EXPECT_EQ(topAfter(3, 8, 40), 3) << "no line height, no scrolling";
    DestroyWindow(list);
}

TEST_F(TreeDraw, ATopLevelItemHasNoConnectingLines) {
    auto ops = draw(0, 0xFFFFFFFF);
    EXPECT_TRUE(ofKind(ops, Op::Kind::Line).empty());
    auto blits = ofKind(ops, Op::Kind::Blit);
    ASSERT_EQ(blits.size(), 1u);
    EXPECT_EQ(blits[0].rect.left, 2);
    EXPECT_EQ(blits[0].source.left, 32) << "column 2 of the grid";
    auto texts = ofKind(ops, Op::Kind::Text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Motor");
    EXPECT_EQ(texts[0].from.x, 2 + 16 + 1);
}

TEST_F(TreeDraw, DeeperItemsDrawAncestorLinesTheirConnectorAndAnIndentedImage) {
    // Depth 2; ancestor level 0 continues, level 1 does not; the item has a later sibling.
    auto lines = ofKind(draw(2, 0b101), Op::Kind::Line);
    ASSERT_EQ(lines.size(), 3u);
    const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
    EXPECT_EQ(lines[0].from.x, 16 / 2 + 2);  // level 0, the whole line
    EXPECT_EQ(lines[0].from.y, 0);
    EXPECT_EQ(lines[0].to.y, 16);
    EXPECT_EQ(lines[1].from.x, 16 + 16 / 2 + 2);  // the connector, on to the bottom
    EXPECT_EQ(lines[1].to.y, 16);
    EXPECT_EQ(lines[2].from.y, 8);  // half a cell across at the middle
    EXPECT_EQ(lines[2].to.x - lines[2].from.x, 8);
    for (const Op& line : lines) EXPECT_EQ(line.colour, ink);
    EXPECT_EQ(ofKind(draw(2, 0b101), Op::Kind::Blit)[0].rect.left, 2 * 16 + 2);

    auto last = ofKind(draw(1, 0), Op::Kind::Line);
    ASSERT_EQ(last.size(), 2u);
    EXPECT_EQ(last[0].to.y, 8) << "the last child's connector stops at the middle";
}

TEST_F(TreeDraw, SelectionAndFocusActionsRedrawOnlyWhatChanged) {
    auto selected = draw(1, 0b11, ODA_SELECT, ODS_SELECTED | ODS_FOCUS);
    EXPECT_TRUE(ofKind(selected, Op::Kind::Line).empty());
    EXPECT_TRUE(ofKind(selected, Op::Kind::Blit).empty());
    auto fills = ofKind(selected, Op::Kind::Fill);
    ASSERT_FALSE(fills.empty());
    EXPECT_EQ(fills[0].colour, GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(fills[0].rect.left, 16 + 2 + 16) << "the image keeps its background";
    EXPECT_EQ(ofKind(selected, Op::Kind::Text)[0].colour, GetSysColor(COLOR_HIGHLIGHTTEXT));
    EXPECT_EQ(ofKind(selected, Op::Kind::FocusRect).size(), 1u);

    auto focus = draw(1, 0, ODA_FOCUS, ODS_FOCUS);
    ASSERT_EQ(focus.size(), 1u);
    EXPECT_EQ(focus[0].kind, Op::Kind::FocusRect);

    surface_.ops.clear();
    DRAWITEMSTRUCT empty{
        ODT_LISTBOX,     kTagList, static_cast<UINT>(-1), ODA_DRAWENTIRE, 0, nullptr, dc_,
        {0, 0, 200, 16}, 0};
    HierDraw_OnDrawItem(nullptr, &empty, 0, 0, "x", 0, 0, &state_);
    EXPECT_TRUE(surface_.ops.empty()) << "an empty list draws nothing";
}
