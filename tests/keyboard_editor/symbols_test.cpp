// Keys and value boxes: sizes on the grid, their drawing, their records, the font size of a
// scaled value box, the tables beside the program and the predefined panel models.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>

#include "keyboard_editor/clavon_model.h"
#include "keyboard_editor/panel_models.h"
#include "keyboard_editor/text_tables.h"
#include "keyboard_support.h"
#include "support/temp_folder.h"

namespace clavon {
namespace {

TEST(Symbols, NewKeyIsSixCellsBySnappedToTheGrid) {
    CClavonModel model;
    auto& key = model.Add(std::make_unique<CKesButton>(model));
    EXPECT_EQ(key.SnappedWidth(), 48);
    EXPECT_EQ(key.SnappedHeight(), 32);
    EXPECT_EQ(static_cast<CKesButton&>(key).font.height, 16);
    key.MoveTo(12, 24);  // halves round away from zero
    EXPECT_EQ(key.SnappedX(), 16);
    EXPECT_EQ(key.SnappedY(), 32);
    key.MoveTo(-12, -8);
    EXPECT_EQ(key.SnappedX(), -16);
    EXPECT_EQ(key.SnappedY(), -16);
    key.MoveTo(11.9, 23.9);
    EXPECT_EQ(key.SnappedX(), 8);
    EXPECT_EQ(key.SnappedY(), 16);

    // A single key: key record, released image, pressed image, background, keyboard.
    key.MoveTo(0, 0);
    const CKbdRomImage image = BuildRomImage(model, "");
    std::vector<int> types;
    for (const CRomBlock& block : image.Blocks()) types.push_back(block.type);
    EXPECT_EQ(types, (std::vector<int>{17, 18, 18, 18, 21}));
    // 16 colours: 32 rows of 24 bytes.
    EXPECT_EQ(image.Blocks()[1].data.size(), 29u + 32 * 24);
    EXPECT_EQ(image.Blocks()[1].data[25], 4);
}

TEST(Symbols, LabelAndPressedStateChangeTheKeysPicture) {
    CClavonModel model;
    auto& key = static_cast<CKesButton&>(model.Add(std::make_unique<CKesButton>(model)));
    key.Properties().Set(CKesButton::kLabel, std::string());
    const QImage plain = key.Render();
    key.Properties().Set(CKesButton::kLabel, std::string("Esc"));
    const QImage labelled = key.Render();
    EXPECT_NE(plain, labelled) << "the label is drawn";
    // The label stays inside the content rectangle: the frame is untouched.
    for (int x = 0; x < 48; ++x) {
        EXPECT_EQ(plain.pixel(x, 0), labelled.pixel(x, 0));
        EXPECT_EQ(plain.pixel(x, 31), labelled.pixel(x, 31));
    }
    key.state = 2;
    const QImage pressed = key.Render();
    EXPECT_EQ(QColor(pressed.pixel(0, 0)), QColor(0, 0, 0)) << "line colour top left";
    EXPECT_EQ(QColor(pressed.pixel(46, 30)), QColor(255, 255, 255)) << "white bottom right";
    EXPECT_EQ(QColor(labelled.pixel(1, 1)), QColor(255, 255, 255));
    EXPECT_EQ(QColor(labelled.pixel(47, 31)), QColor(0, 0, 0));
    key.state = 1;

    // Records of the key are made with the key released again.
    auto blocks = key.RomRecords({0, 0, 48, 32});
    EXPECT_EQ(key.state, 1);
    EXPECT_NE(blocks[1].data, blocks[2].data);
}

TEST(Symbols, PictureSitsOppositeTheLabel) {
    kestra::testing::TempFolder folder;
    QImage red(6, 6, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    ASSERT_TRUE(red.save(QString::fromStdString(folder.file("red.png"))));
    CClavonModel model;
    auto& key = static_cast<CKesButton&>(model.Add(std::make_unique<CKesButton>(model)));
    key.Properties().Set(CKesButton::kLabel, std::string());
    key.Properties().Set(CKesButton::kPicture, folder.file("red.png"));
    auto isRed = [](const QImage& image, int x, int y) {
        return QColor(image.pixel(x, y)) == QColor(255, 0, 0);
    };
    // Label left: picture at the right edge of the content (2 to 45), centred vertically.
    key.Properties().Set(CKesButton::kHorzAlign, 0);
    QImage image = key.Render();
    EXPECT_TRUE(isRed(image, 45, 16));
    EXPECT_TRUE(isRed(image, 40, 13));
    EXPECT_FALSE(isRed(image, 39, 16));
    // Label centred at the top: picture centred at the bottom.
    key.Properties().Set(CKesButton::kHorzAlign, 1);
    key.Properties().Set(CKesButton::kVertAlign, 0);
    image = key.Render();
    EXPECT_TRUE(isRed(image, 21, 29));
    EXPECT_TRUE(isRed(image, 26, 24));
    EXPECT_FALSE(isRed(image, 21, 23));
    // A picture that cannot be loaded shows nothing.
    key.Properties().Set(CKesButton::kPicture, folder.file("gone.png"));
    image = key.Render();
    EXPECT_FALSE(isRed(image, 21, 29));
}

TEST(Symbols, ValueBoxCaptionAlignmentAndScaledFontSize) {
    CClavonModel model;
    auto& value = static_cast<CSymValue&>(model.Add(std::make_unique<CSymValue>(model)));
    EXPECT_EQ(value.Caption().toStdString(), "Edit/Reg");
    value.Properties().Set(CSymValue::kType, 2);
    value.Properties().Set(CSymValue::kFontSize, 3);
    EXPECT_EQ(value.Caption().toStdString(), "Min/Exl");
    EXPECT_EQ(CSymValue::FontSizeForColumns(3, 3), 1) << "8 to 3 columns lowers 3 to 1 at once";
    EXPECT_EQ(CSymValue::FontSizeForColumns(3, 8), 3);
    EXPECT_EQ(CSymValue::FontSizeForColumns(3, 1), 0);
    EXPECT_EQ(CSymValue::FontSizeForColumns(1, 2), 1);

    // "Default" alignment is drawn as "Right" but kept and exported as 3.
    value.Properties().Set(CSymValue::kAlignment, 2);
    const QImage right = value.Render();
    value.Properties().Set(CSymValue::kAlignment, 3);
    EXPECT_EQ(value.Render(), right);
    EXPECT_EQ(value.RomRecords({0, 0, 48, 32})[0].data[32], 3);
}

TEST(Tables, KeyCodesAndFieldNames) {
    EXPECT_EQ(ParseKeyCodes("0x1B Esc\n13\tEnter  0X7f Del x12 Bad 65 A"),
              (std::vector<KeyCode>{{27, "Esc"}, {13, "Enter"}, {127, "Del"}, {65, "A"}}));
    EXPECT_TRUE(ParseKeyCodes("").empty());
    EXPECT_EQ(ParseFieldNames("Speed\r\nLevel\r\rLast"),
              (std::vector<std::string>{"Speed", "Level", ""}));
    EXPECT_TRUE(ParseFieldNames("One\nTwo\n").empty()) << "line feeds alone end no line";
    EXPECT_EQ(ParseFieldNames("A\nB\r"), (std::vector<std::string>{"AB"}));

    kestra::testing::TempFolder folder, user;
    EXPECT_TRUE(ReadKeyCodes(folder.path(), user.path()).empty());
    folder.write("KeyCodes.txt", "0x1B Esc");
    folder.write("FieldAssocs.txt", "F1\rF2\r");
    EXPECT_EQ(ReadKeyCodes(folder.path(), user.path()), (std::vector<KeyCode>{{27, "Esc"}}));
    EXPECT_EQ(ReadFieldNames(folder.path()), (std::vector<std::string>{"F1", "F2"}));
}

TEST(Tables, AUsersOwnKeyCodesComeBeforeTheShippedOnesWhichAreOnlyRead) {
    kestra::testing::TempFolder program, user;
    const std::string shipped = program.write("KeyCodes.txt", "13 Enter");
    // An installed program folder is not the user's to write: its table is read all the same.
    ASSERT_EQ(chmod(shipped.c_str(), 0444), 0);
    ASSERT_EQ(chmod(program.path().c_str(), 0555), 0);
    EXPECT_EQ(ReadKeyCodes(program.path(), user.file("none")),
              (std::vector<KeyCode>{{13, "Enter"}}));
    const std::string own = user.write("KeyCodes.txt", "27 Esc 0x7F Del");
    EXPECT_EQ(ReadKeyCodes(program.path(), user.path()),
              (std::vector<KeyCode>{{27, "Esc"}, {127, "Del"}}));
    // The user's own table is opened for writing as well; one that cannot be written gives no
    // codes (checked where permissions bind: not for root).
    ASSERT_EQ(chmod(own.c_str(), 0444), 0);
    if (geteuid() != 0) EXPECT_TRUE(ReadKeyCodes(program.path(), user.path()).empty());
    chmod(program.path().c_str(), 0755);
}

TEST(Tables, PredefinedPanelModels) {
    kestra::testing::TempFolder folder;
    kestra::testing::WindowsFolderScope windows(folder.path());
    folder.write("displays.ini",
                 "[Panel Model]\nSmall=DTYPE12\nWide=DTYPE30\n"
                 "[DTYPE12]\nNCode=12\nRows=8\nColumns=40\nCharWidth=6\nCharHeight=8\n"
                 "[DTYPE30]\nNCode=30\nRows=25\nColumns=80\nCharWidth=8\nCharHeight=16\n");
    folder.write("Panels/K40.dat", "[Model]\nModelName=K40 touch\n[Display]\nDisplayCode=12\n");
    folder.write("Panels/Nameless.dat", "[Display]\nDisplayCode=12\n");
    const std::vector<PanelModel> models = ReadPanelModels(folder.file("Panels"));
    ASSERT_EQ(models.size(), 3u);
    EXPECT_EQ(models[0].name, "Small");
    EXPECT_EQ(models[0].gridWidth, 6);
    EXPECT_EQ(models[0].panelWidth, 240);
    EXPECT_EQ(models[0].panelHeight, 64);
    EXPECT_EQ(models[1].panelWidth, 640);
    EXPECT_EQ(models[1].panelHeight, 400);
    EXPECT_EQ(models[2].name, "K40 touch");
    EXPECT_EQ(models[2].code, 12);
    EXPECT_EQ(models[2].panelWidth, 240);
}

TEST(Model, DefaultsAndPropertiesAddedForOlderModels) {
    CClavonModel model;
    EXPECT_EQ(model.Int(kNumColors), 16);
    EXPECT_EQ(model.Int(kPanelWidth), 640);
    EXPECT_EQ(model.Int(kFieldMask), 1);
    EXPECT_EQ(model.Text(kName), "Keyboard");
    EXPECT_EQ(model.Int(65559), 0xFFFFFF);
    EXPECT_EQ(model.Text(65562), "Keyboard Status Bar");
    EXPECT_EQ(model.Int(kBackColour), 0xFFFFFF);
    model.Properties().Remove(kName);
    model.Properties().Remove(kBorderShadow);
    model.AddMissingSheetProperties();
    EXPECT_EQ(model.Text(kName), "Default Kbd Name");
    EXPECT_EQ(model.Int(kBorderShadow), 0x505050);
    EXPECT_EQ(model.ComponentCount(), 0);
    EXPECT_EQ(model.ComponentBounds(), (PanelRect{1000000, 1000000, -1, -1}));
}

}  // namespace
}  // namespace clavon
