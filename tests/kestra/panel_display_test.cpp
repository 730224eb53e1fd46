// The display a project's pages are shown on: chosen by the project's panel setup, the generic
// model's first display type without one, read from a display table of the test's own.
#include "kestra/panel_display.h"

#include <gtest/gtest.h>

#include <cstring>

#include "kestra/kept_panel_setup.h"
#include "platform/memory.h"
#include "support/temp_folder.h"

namespace kestra::host {
namespace {

using testing::TempFolder;
using testing::WindowsFolderScope;

constexpr const char* kTable = R"(
[DTYPE2]
Rows=4
Columns=20
CharWidth=6
CharHeight=8
Attributes=Highlight,Blink
TSType=-1
ScreenTextColor=20,40,20
GridColor=120,150,120
ScreenDataColor=0,0,0
PageBgrColor=160,200,120
ScreenBgrColor=1,2,3
AttributeColor=255,255,255
TSGridColor=0,0,0

[DTYPE7]
Rows=16
Columns=40
CharWidth=6
CharHeight=8
Attributes=Reverse
TSType=1
ScreenTextColor=0,0,0
TSGridColor=300,-4,7

[DTYPE9]
Rows=100000
Columns=40

[Touchscreens]
TS1=1,20,8,1

[Panel Model]
4x20 Text=DTYPE2
Touch=DTYPE7
)";

struct Case {
    const char* what;
    int recordCode;     // project record byte 12
    int keptCode;       // the kept display record's code; -1: no kept record
    int keptRows, keptColumns;
    bool table;         // whether the Windows folder has the display table
    PanelDisplay::Source source;
    int code, rows, columns;
    const char* name;
    int touchColumns, touchRows;
};

const Case kCases[] = {
    {"no panel setup: the generic model's first display", 0, -1, 0, 0, true,
     PanelDisplay::Source::GenericModel, 2, 4, 20, "4x20 Text", 0, 0},
    {"the project record's display code", 7, -1, 0, 0, true, PanelDisplay::Source::PanelSetup,
     7, 16, 40, "Touch", 20, 8},
    {"an unknown code in the record stands for nothing", 5, -1, 0, 0, true,
     PanelDisplay::Source::GenericModel, 2, 4, 20, "4x20 Text", 0, 0},
    {"a display of impossible size is no display", 9, -1, 0, 0, true,
     PanelDisplay::Source::GenericModel, 2, 4, 20, "4x20 Text", 0, 0},
    {"the kept display record wins over the record", 2, 7, 16, 40, true,
     PanelDisplay::Source::PanelSetup, 7, 16, 40, "Touch", 20, 8},
    {"a kept display the table does not know keeps its geometry", 0, 44, 30, 64, true,
     PanelDisplay::Source::PanelSetup, 44, 30, 64, "DTYPE44", 0, 0},
    {"a kept record without a display code", 0, 0, 30, 64, true,
     PanelDisplay::Source::GenericModel, 2, 4, 20, "4x20 Text", 0, 0},
    {"no display table at all", 7, -1, 0, 0, false, PanelDisplay::Source::Fallback, 0, 16, 40,
     "", 0, 0},
};

class PanelDisplayTest : public ::testing::TestWithParam<Case> {};

TEST_P(PanelDisplayTest, ComesFromTheProjectsPanelSetupOrTheGenericModel) {
    const Case& c = GetParam();
    TempFolder folder;
    if (c.table) folder.write("Displays.ini", kTable);
    WindowsFolderScope windir(folder.path());

    ProjectBlock project{};
    reinterpret_cast<std::uint8_t*>(&project.record)[12] = static_cast<std::uint8_t>(c.recordCode);
    if (c.keptCode >= 0) {
        KeptPanelSetup kept = *KeptPanelSetupOf(project);
        panel::DisplayRecord display{};
        display.displayCode = static_cast<std::int16_t>(c.keptCode);
        display.rows = static_cast<std::int16_t>(c.keptRows);
        display.columns = static_cast<std::int16_t>(c.keptColumns);
        display.touchType = -1;
        std::memcpy(&kept.bytes[KeptPanelSetup::At(panel::block::kDisplay)], &display,
                    sizeof display);
        StoreKeptPanelSetup(project, kept);
    }
    const PanelDisplay d = PanelDisplayOf(project);
    if (project.ext.tail) GlobalFree(project.ext.tail);

    EXPECT_EQ(d.source, c.source) << c.what;
    EXPECT_EQ(d.code, c.code) << c.what;
    EXPECT_EQ(d.rows, c.rows) << c.what;
    EXPECT_EQ(d.columns, c.columns) << c.what;
    EXPECT_EQ(d.name, c.name) << c.what;
    EXPECT_EQ(d.touchColumns, c.touchColumns) << c.what;
    EXPECT_EQ(d.touchRows, c.touchRows) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, PanelDisplayTest, ::testing::ValuesIn(kCases));

TEST(PanelDisplay, TakesTheTablesCellsAttributesAndColoursClampedToBytes) {
    TempFolder folder;
    folder.write("Displays.ini", kTable);
    WindowsFolderScope windir(folder.path());

    const auto text = DisplayOfTable(2);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->charWidth, 6);
    EXPECT_EQ(text->charHeight, 8);
    EXPECT_TRUE(text->highlight && text->blink && !text->reverse);
    EXPECT_EQ(text->screenText, (Rgb{20, 40, 20}));
    EXPECT_EQ(text->screenBackground, (Rgb{1, 2, 3}));
    EXPECT_FALSE(text->touch());

    const auto touch = DisplayOfTable(7);
    ASSERT_TRUE(touch);
    EXPECT_TRUE(touch->reverse && !touch->blink);
    EXPECT_EQ(touch->touchGrid, (Rgb{255, 0, 7}));
    // Colours the table leaves out keep the usual ones.
    EXPECT_EQ(touch->pageBackground, PanelDisplay{}.pageBackground);
    EXPECT_TRUE(touch->touch());

    EXPECT_FALSE(DisplayOfTable(0));
    EXPECT_FALSE(DisplayOfTable(-3));
    EXPECT_FALSE(DisplayOfTable(70000));
}

TEST(PanelDisplay, HoldsBoxesThatLieOnTheGrid) {
    PanelDisplay d;  // 16 x 40
    EXPECT_TRUE(d.holds(0, 0, 40, 16));
    EXPECT_TRUE(d.holds(15, 39, 1, 1));
    EXPECT_FALSE(d.holds(15, 39, 2, 1));
    EXPECT_FALSE(d.holds(16, 0, 1, 1));
    EXPECT_FALSE(d.holds(-1, 0, 1, 1));
    EXPECT_FALSE(d.holds(0, 0, -1, 1));
}

}  // namespace
}  // namespace kestra::host
