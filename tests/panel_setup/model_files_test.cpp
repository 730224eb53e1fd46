// The display table, the panel model files, the model list and what a model does to the
// data chunks.
#include <gtest/gtest.h>

#include "panel_setup/displays_file.h"
#include "panel_setup/panel_capabilities.h"
#include "panel_setup/panel_file.h"
#include "panel_setup/panel_map.h"
#include "panel_test_files.h"

namespace kestra::panel {
namespace {

TEST(ModelValues, PlainSizesAndChoiceLists) {
    EXPECT_EQ(ChoiceValue("128K;131072|256K;262144:1"), 262144);
    EXPECT_EQ(ChoiceValue("16 kbyte", true), 16384);
    EXPECT_EQ(ChoiceValue("16 KByte", true), 16384);
    EXPECT_EQ(ChoiceValue("16 kbyte"), 16);
    EXPECT_EQ(BooleanValue("0|1:1"), 1);
    EXPECT_EQ(BooleanValue("0|1:0"), 0);
    EXPECT_EQ(ChoiceValue("0|1:1"), 0);  // items without ";" have the value 0
    auto list = ParseChoiceList("A;1||B:1");
    ASSERT_EQ(list.items.size(), 2u);  // the empty item is skipped
    EXPECT_EQ(list.items[1].text, "B");
    EXPECT_EQ(list.DefaultValue(), 0);
    EXPECT_EQ(ParseChoiceList("A;1|B;2:7").DefaultValue(), 0);  // no such item
    EXPECT_EQ(ParseChoiceList("|").items.size(), 0u);
    EXPECT_FALSE(ParseInteger("abc"));
    EXPECT_EQ(ChoiceValue("2000000000 kbyte", true), 2147483647);
}

TEST(VersionList, ParsesFormatsAndFallsBack) {
    EXPECT_EQ(ParseVersionList("v100, 105,v110"), (std::vector<std::uint16_t>{0, 100, 105, 110}));
    EXPECT_EQ(ParseVersionList("V110,100,x,,100,-5,99999"),
              (std::vector<std::uint16_t>{0, 100, 110}));
    std::string huge;
    for (int i = 1; i < 20000; ++i) huge += std::to_string(i) + ",";
    EXPECT_EQ(ParseVersionList(huge).size(), kMaxVersions + 1);
    EXPECT_EQ(FormatVersion(105), "1.05");
    EXPECT_EQ(FormatVersion(0), "All");

    test::PanelFolder f;
    CPanelFile model(f.specific, 0);
    EXPECT_EQ(model.Versions(), (std::vector<std::uint16_t>{0, 100, 105, 110}));
    EXPECT_EQ(model.ReadText("Description", 108), "one oh five");
    EXPECT_EQ(model.ReadText("Description", 110), "one ten");
    EXPECT_EQ(model.ReadText("Description", 104), "one hundred");
    EXPECT_EQ(model.ReadText("Description", 99), "base");
    EXPECT_EQ(model.ReadText("Description", 0), "base");
    EXPECT_EQ(model.ReadText("ShapesSupport", 108), "0|1:1");
    EXPECT_FALSE(model.ReadText("ShapesSupport", 104));
    EXPECT_FALSE(model.ReadText("Description", kModel));  // no fallback for sections
    EXPECT_EQ(model.ReadSize("PanelMemory", 108), 262144);
    EXPECT_EQ(model.ReadSize("RecipeBackupMemory", 108), 16384);
    EXPECT_EQ(model.NextLower(108), 105);
    EXPECT_EQ(model.NextHigher(105), 110);
    EXPECT_EQ(model.Highest(), 110);
    EXPECT_FALSE(model.IsListed(108));
}

TEST(DisplaysFile, TouchEntriesNeedFourIntegersInTheLastGroup) {
    auto grid = ParseTouchEntry("1,20,8,1");
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->identifier, 1);
    EXPECT_EQ(grid->columns, 20);
    EXPECT_EQ(grid->rows, 8);
    EXPECT_EQ(grid->flags, 1);
    EXPECT_FALSE(ParseTouchEntry("1,20,8"));
    EXPECT_FALSE(ParseTouchEntry("1,20,8,1;2,3"));
    auto second = ParseTouchEntry("1,2;3.4.5.0,9,9");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->identifier, 3);
    EXPECT_EQ(second->flags, 0);

    test::PanelFolder f;
    CDisplaysFile display(5);
    EXPECT_EQ(display.Section(), "DTYPE5");
    EXPECT_EQ(display.TouchType(), 1);
    EXPECT_EQ(display.TouchColumns(), 20);
    EXPECT_EQ(display.TouchRows(), 8);
    display.Select(5, 3);  // an entry of three integers: no grid, the display's own size
    EXPECT_EQ(display.Grid().columns, 0);
    EXPECT_EQ(display.TouchColumns(), 40);
    EXPECT_EQ(display.ListElement("ExtSemiGraphics", 5), 1);
    EXPECT_EQ(display.ListElement("ExtSemiGraphics", 6), kMissing);
    EXPECT_EQ(display.ReadTriple("ScreenTextColor"), (std::array<int, 3>{1, 2, 3}));
    EXPECT_EQ(CDisplaysFile(77).ReadInt("Rows"), kMissing);
    EXPECT_EQ(CDisplaysFile::PanelModelDisplays(),
              (std::vector<std::pair<std::string, int>>{{"Forty Text", 5}, {"Colour 9", 9}}));
}

TEST(DisplaysFile, MissingTableLeavesEverythingMissing) {
    testing::TempFolder empty;
    testing::WindowsFolderScope windows(empty.path());
    CDisplaysFile display(5);
    EXPECT_EQ(display.ReadInt("Rows"), kMissing);
    EXPECT_TRUE(CDisplaysFile::PanelModelDisplays().empty());
}

TEST(PanelMap, OrdersByDisplayOrderThenNameWithoutCase) {
    test::PanelFolder f;
    f.temp.write("Panels/b.dat", "[Model]\nModelName=beta\nDisplayOrder=5\n");
    f.temp.write("Panels/c.DAT", "[Model]\nModelName=Beta\nDisplayOrder=5\n");
    f.temp.write("Panels/d.dat", "[Model]\nModelName=Delta\nDisplayOrder=61439\n");
    f.temp.write("Panels/n.dat", "[Display]\nDisplayCode=3\n");  // no name: skipped
    f.temp.write("Panels/x.txt", "[Model]\nModelName=Text\n");
    CPanelMap map;
    map.Load(f.panels);
    std::vector<std::string> names;
    for (const auto& e : map.Entries()) names.push_back(e.modelName);
    // Alpha, beta and Beta share order 5: equal names keep directory order between them.
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(names[0], "Alpha");
    EXPECT_TRUE((names[1] == "beta" && names[2] == "Beta") ||
                (names[1] == "Beta" && names[2] == "beta"));
    EXPECT_EQ(names[3], "Delta");
    EXPECT_EQ(names[4], "Generic");  // no DisplayOrder: 61440
    EXPECT_EQ(map.Entries()[0].displayCode, 5);
    EXPECT_EQ(map.Entries()[4].displayCode, 0x7777);
    EXPECT_EQ(map.FindPath("Alpha"), f.specific);
    EXPECT_FALSE(map.FindPath("alpha"));

    CPanelMap none;
    none.Load(f.temp.path() + "/NoSuchFolder");
    EXPECT_TRUE(none.Entries().empty());
}

TEST(PanelFile, GenericAndSpecificModels) {
    test::PanelFolder f;
    CPanelFile specific(f.specific, 9);
    EXPECT_FALSE(specific.IsGeneric());
    EXPECT_EQ(specific.Display().Code(), 5);  // the model's own display wins
    CPanelFile generic(f.generic, 9);
    EXPECT_TRUE(generic.IsGeneric());
    EXPECT_EQ(generic.Display().Code(), 9);
    CPanelFile nameless(f.temp.write("Panels/none.dat", "[Model]\nModelName=X\n"), 9);
    EXPECT_FALSE(nameless.HasMfgCode());
    EXPECT_EQ(nameless.Display().Section(), "");
}

TEST(Capabilities, MissingKeysClearOnSpecificModelsAndStayOnTheGeneric) {
    test::PanelFolder f;
    CTargetSetupData setup;
    setup.Byte(setup::kCaps405) = 0xFF;
    setup.Byte(setup::kCaps406) = 0x00;
    setup.Byte(setup::kFlags414) = 0x00;
    ApplyCapabilities(setup, CPanelFile(f.specific, 0), 108);
    EXPECT_EQ(setup.Byte(setup::kDisplayCode), 5);
    EXPECT_FALSE(setup.Bit(setup::kCaps405, 7));   // no TrendSupport
    EXPECT_TRUE(setup.Bit(setup::kCaps405, 0));    // bits 1-3 and 0 are not capabilities
    EXPECT_TRUE(setup.Bit(setup::kFlags414, 6));   // RecipeBackupSupport=1
    EXPECT_FALSE(setup.Bit(setup::kFlags414, 7));  // a choice list leaves the bit
    EXPECT_TRUE(setup.Bit(setup::kCaps406, 5));
    EXPECT_TRUE(setup.Bit(setup::kCaps406, 6));  // Downloadable from [Firmware]
    EXPECT_EQ(setup.Byte(setup::kColours), 1);   // no Colors, no fourth semigraphic set

    CTargetSetupData generic;
    generic.Byte(setup::kCaps405) = 0x80;
    generic.Byte(setup::kCaps406) = 0x20;
    ApplyCapabilities(generic, CPanelFile(f.generic, 9), 100);
    EXPECT_TRUE(generic.Bit(setup::kCaps405, 7));
    EXPECT_TRUE(generic.Bit(setup::kCaps406, 5));  // 0|1:0 leaves it for the user
    EXPECT_EQ(generic.Byte(setup::kColours), 4);   // display 9 has the fourth set
}

TEST(Capabilities, DisplayRecordFromModelAndDisplayTable) {
    test::PanelFolder f;
    CPanelDisplayData chunk;
    chunk.Record().attributes = 0xF000;  // bits 12 and up are kept
    CPanelFile model(f.specific, 0);
    LoadDisplayFromModel(chunk, model, 105, false);
    const DisplayRecord& r = chunk.Record();
    EXPECT_EQ(chunk.Text(), f.specific);
    EXPECT_STREQ(r.sectionName, "DTYPE5");
    EXPECT_STREQ(r.modelName, "Alpha");
    EXPECT_EQ(r.displayCode, 5);
    EXPECT_EQ(r.mfgCode, 12);
    EXPECT_EQ(r.rows, 8);
    EXPECT_EQ(r.columns, 40);
    EXPECT_EQ(r.bargraphStart, 128);
    // Highlight, Reverse, touch (default index 1), sets 0, 2, 5 -> bits 6, 7, 11, and bit 4.
    EXPECT_EQ(r.attributes, 0xF000 | 0x01 | 0x04 | 0x08 | 0x40 | 0x80 | 0x800 | 0x10);
    EXPECT_EQ(r.touchColumns, 20);
    EXPECT_EQ(r.touchRows, 8);
    EXPECT_EQ(r.touchType, 1);
    EXPECT_EQ(r.colours, 1);
    EXPECT_EQ(r.features, feature::kZOrder | feature::kShapes);
    EXPECT_EQ(chunk.Colours().screenText, (std::array<int, 3>{1, 2, 3}));
}

}  // namespace
}  // namespace kestra::panel
