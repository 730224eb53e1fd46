// The editor's callbacks of the driver's dialogs and the tag commands, driven through the
// workbench window's actions as a user drives them: the field's and the alarm's bytes, and the
// tag folder's, checked afterwards, the panel image the driver builds of them read back, and
// each OK one undo step that gives the project's image back byte for byte.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <cstring>

#include "kestra/project_sections.h"
#include "plc_s5/dialog_ids.h"
#include "plc_s5/tables.h"
#include "plc_s5/type1_image.h"
#include "utilities/services.h"
#include "utilities/tag_select.h"
#include "window_hosting_test.h"
#include "workbench/hosted/hosted_project.h"
#include "workbench/hosted/tag_edits.h"
#include "workbench/hosted/value_ranges.h"

namespace kestra::workbench::testing {
namespace {

namespace dlg = kestra::s5::dialog;
using Node = ProjectTree::Node;

constexpr FieldPlace kNumericField{0, 0};  // page 1, field 1: NUMERIC, DB10 DW5
constexpr FieldPlace kMessageField{1, 0};  // page 2, field 1: MESSAGE, values 0 to 1
constexpr FieldPlace kTouchField{1, 2};    // page 2, field 3: made TOUCH GRAPHICS, 0 to 100

struct Expected {
    std::int16_t first, last;
    const char* text;
};

class Editors : public WindowWithCoreDialogs {
  protected:
    ProjectDocument& document() { return window->document(); }
    ProjectBlock& block() { return document().block(); }
    FieldRecord& field(FieldPlace place) { return FieldAt(block(), place); }

    // The field's list as ranges with their texts.
    void expectTexts(const ProjectBlock& project, const FolderHeader& list,
                     std::vector<Expected> expected) {
        const auto entries = RecordsAt<const ListEntry>(list.block, list.count);
        ASSERT_EQ(entries.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(entries[i].firstKey.get(), expected[i].first) << i;
            EXPECT_EQ(entries[i].lastKey.get(), expected[i].last) << i;
            EXPECT_EQ(host::ProjectText(project, entries[i].textId), expected[i].text) << i;
        }
    }
    void expectUndoneAndRedone(const Bytes& before) {
        const Bytes after = SavedNow(document());
        EXPECT_NE(after, before);
        while (document().undoStack().canUndo()) document().undoStack().undo();
        EXPECT_EQ(SavedNow(document()), before);
        while (document().undoStack().canRedo()) document().undoStack().redo();
        EXPECT_EQ(SavedNow(document()), after);
    }
};

// ---- Messages, the index, special characters ----------------------------------------------

TEST_F(Editors, MessageTextsReachTheFieldAndThePanelImage) {
    const Bytes before = SavedNow(document());
    QString about;
    editField(kMessageField, [&](HWND driver) {
        giveMessageTexts(driver, "9", {{0, 0, "Off"}, {1, 1, "On"}, {2, 9, "Fault"}}, &about);
    });
    EXPECT_TRUE(about.startsWith("Values 0 to 9 of the field.")) << about.toStdString();
    ASSERT_EQ(document().undoStack().count(), 1);
    const FieldRecord& message = field(kMessageField);
    EXPECT_EQ(message.display.maximum.get(), 9);
    EXPECT_EQ(message.list1.numeric.get(), 0) << "a list of texts";
    expectTexts(block(), message.list1, {{0, 0, "Off"}, {1, 1, "On"}, {2, 9, "Fault"}});

    // The driver's panel image carries them, padded to the field's width, and reads them back.
    const host::Bytes panel = document().driver()->buildPanelImage("test", document().project());
    const std::string padded = "Fault     ";
    EXPECT_NE(std::search(panel.begin(), panel.end(), padded.begin(), padded.end()), panel.end());
    const LoadedProject back = document().driver()->readPanelImage("test", panel);
    expectTexts(back.block(), FieldAt(back.block(), kMessageField).list1,
                {{0, 0, "Off"}, {1, 1, "On"}, {2, 9, "Fault"}});

    expectUndoneAndRedone(before);
}

TEST_F(Editors, TheIndexRoleIsTheFieldsOwnAndNamedInTheDriversTitle) {
    const Bytes before = SavedNow(document());
    auto chooseIndex = [&](HWND driver) {
        WhenQtDialogOpens([&](QDialog* editor) {
            for (auto* choice : editor->findChildren<QRadioButton*>())
                if (choice->text().startsWith("The page's &index")) choice->click();
            Press(editor, QDialogButtonBox::Ok);
        });
        user_->click(driver, dlg::kIndexedButton);
        user_->click(driver, IDOK);
    };
    editField(kNumericField, chooseIndex);
    EXPECT_EQ(field(kNumericField).plc.editor24, 0x02);

    // The page's other fields cannot be its index as well; an indexed reference may be.
    bool indexOffered = true;
    QString about;
    char title[256] = "";
    editField({0, 1}, [&](HWND driver) {
        WhenQtDialogOpens([&](QDialog* editor) {
            for (auto* choice : editor->findChildren<QRadioButton*>()) {
                if (choice->text().startsWith("The page's &index"))
                    indexOffered = choice->isEnabled();
                if (choice->text().startsWith("An indexed &reference")) choice->click();
            }
            about = editor->findChildren<QLabel*>().back()->text();
            Press(editor, QDialogButtonBox::Ok);
        });
        user_->click(driver, dlg::kIndexedButton);
        user_->click(driver, IDOK);
    });
    editField(kNumericField, [&](HWND driver) {
        GetWindowText(driver, title, sizeof title);
        user_->click(driver, IDCANCEL);
    });
    EXPECT_FALSE(indexOffered);
    EXPECT_EQ(about, "The page's index is field 1.");
    EXPECT_EQ(field({0, 1}).plc.editor24, 0x01);
    EXPECT_TRUE(std::string(title).ends_with(" - Index")) << title;
    EXPECT_EQ(document().undoStack().count(), 2);
    expectUndoneAndRedone(before);
}

TEST_F(Editors, ASpecialCharacterIsAppendedToTheAlarmsMessage) {
    const Bytes before = SavedNow(document());
    QString chosen;
    std::string afterPick, afterCancel;
    triggerCore(window->hosted().alarms, [&](HWND alarms) {
        WhenQtDialogOpens([&](QDialog* picker) {
            auto* grid = picker->findChild<QTableWidget*>("characters");
            ASSERT_NE(grid, nullptr);
            grid->setCurrentCell(0xE - 2, 0x9);  // 0xE9
            // The blank (0x20) has no cell to pick: a click on it keeps the choice.
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                              grid->visualItemRect(grid->item(0, 0)).center());
            chosen = picker->findChild<QLabel*>("chosen")->text();
            grid->setCurrentCell(0xB - 2, 0x0);  // 0xB0, the degree sign
            Press(picker, QDialogButtonBox::Ok);
        });
        user_->click(alarms, dlg::kAlarmSpecialChars);
        afterPick = user_->text(alarms, dlg::kAlarmMessageEdit);
        WhenQtDialogOpens([](QDialog* picker) { Press(picker, QDialogButtonBox::Cancel); });
        user_->click(alarms, dlg::kAlarmSpecialChars);
        afterCancel = user_->text(alarms, dlg::kAlarmMessageEdit);
        user_->click(alarms, IDOK);
    });
    EXPECT_EQ(chosen, QString::fromUtf8("\xC3\xA9    byte 0xE9 (233), Unicode U+00E9"));
    // The window core's Qt host holds texts as UTF-8.
    EXPECT_EQ(afterPick, "Pump failure\xC2\xB0");
    EXPECT_EQ(afterCancel, afterPick);
    const auto alarms = RecordsAt<const s5::AlarmRecord>(block().record.section2a, 1);
    ASSERT_EQ(alarms.size(), 1u);
    EXPECT_EQ(host::ProjectText(block(), alarms[0].textId), "Pump failure\xC2\xB0");
    EXPECT_EQ(document().undoStack().count(), 1);
    expectUndoneAndRedone(before);
}

// ---- Tags -------------------------------------------------------------------------------

class Tags : public Editors {
  protected:
    TagElement tagAt(std::size_t position) {
        const auto tags = TagsOf(block());
        EXPECT_LT(position, tags.size());
        return position < tags.size() ? tags[position] : TagElement{};
    }
    // The PLC reference page of the tag dialog: the window core's dialog in its frame.
    HWND referencePage(QDialog* dialog) {
        auto* frame = dialog->findChild<QWidget*>("reference");
        EXPECT_NE(frame, nullptr);
        return frame ? GetWindow(host().windowFor(frame), GW_CHILD) : nullptr;
    }
    void tagDialog(QAction* action, const std::function<void(QDialog*)>& steps) {
        triggerQt(action, [&](QDialog* dialog) {
            steps(dialog);
            Press(dialog, QDialogButtonBox::Ok);
        });
    }
};

TEST_F(Tags, MadeMovedUsedByAFieldEditedAndDeletedAsOneUndoStepEach) {
    const Bytes before = SavedNow(document());
    const MainWindow::HostedActions& h = window->hosted();

    window->tree().select({Node::Tags});
    bool refusedAsAddress = false;
    tagDialog(h.newTag, [&](QDialog* dialog) {
        auto* name = dialog->findChild<QLineEdit*>("name");
        name->setText("DB20 DW4");
        Press(dialog, QDialogButtonBox::Ok);
        refusedAsAddress = dialog->isVisible();
        name->setText("Flow");
        user_->type(referencePage(dialog), dlg::kAddressEdit, "DB20 DW4");
    });
    EXPECT_TRUE(refusedAsAddress);
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.back(),
              "New Tag: \"DB20 DW4\" reads as a PLC address: a tag of that name would hide it.");
    ASSERT_EQ(TagsOf(block()).size(), 4u);
    EXPECT_EQ(window->tree().current(), (ProjectTree::Place{Node::Tag, -1, 3}));
    const TagElement flow = tagAt(3);
    EXPECT_EQ(TagName(block(), flow), "Flow");
    const uPLCADR address = TagReference(flow);
    EXPECT_EQ(address.dataBlock, 20);
    EXPECT_EQ(address.byteOffset.get(), 8);
    EXPECT_EQ(address.dataFormat, s5::kWord);
    EXPECT_EQ(address.dataType.get(), s5::kDataBlock);

    tagDialog(h.newStructure,
              [](QDialog* dialog) { dialog->findChild<QLineEdit*>("name")->setText("Tank 1"); });
    const TagElement tank = tagAt(4);
    EXPECT_TRUE(tank.isStructure());

    window->tree().select({Node::Tag, -1, 3});
    tagDialog(h.tagProperties, [&](QDialog* dialog) {
        auto* structure = dialog->findChild<QComboBox*>("structure");
        structure->setCurrentIndex(structure->findData(tank.key.get()));
    });
    EXPECT_EQ(tagAt(3).parentKey.get(), tank.key.get());

    // The field's tag: the structure is offered, and opened to choose its member.
    window->tree().select({Node::Field, 0, 0});
    int offered = 0;
    triggerCore(h.fieldTag, [&](HWND dialog) {
        auto* list = dynamic_cast<QListWidget*>(user_->widget(dialog, kTagList));
        ASSERT_NE(list, nullptr);
        offered = list->count();
        emit list->itemDoubleClicked(list->item(0));
        ASSERT_EQ(list->count(), 2);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(1)).center());
        user_->click(dialog, IDOK);
    });
    EXPECT_EQ(offered, 1) << "the sample's tags name no address";
    EXPECT_EQ(field(kNumericField).plc.tagIndex.get(), flow.key.get());
    EXPECT_EQ(field(kNumericField).plc.dataBlock, 20);

    // A tag's new address reaches the fields bound to it.
    window->tree().select({Node::Tag, -1, 3});
    tagDialog(h.tagProperties, [&](QDialog* dialog) {
        user_->type(referencePage(dialog), dlg::kAddressEdit, "DB21 DW6");
    });
    EXPECT_EQ(field(kNumericField).plc.dataBlock, 21);
    EXPECT_EQ(field(kNumericField).plc.byteOffset.get(), 12);

    // The structure goes with its member; the field keeps the address, bound to no tag.
    window->tree().select({Node::Tag, -1, 4});
    h.deleteTag->trigger();
    EXPECT_EQ(told.back(),
              "Delete Tag: Delete the structure \"Tank 1\" with its member?\n\nA field uses it: "
              "it keeps its address, bound to no tag.");
    EXPECT_EQ(TagsOf(block()).size(), 3u);
    EXPECT_EQ(field(kNumericField).plc.flags & uPLCADR::kBoundToTag, 0);
    EXPECT_EQ(field(kNumericField).plc.tagIndex.get(), 0);
    EXPECT_EQ(field(kNumericField).plc.dataBlock, 21);

    EXPECT_EQ(document().undoStack().count(), 6);
    expectUndoneAndRedone(before);
}

// The keyboard crosses into the driver's page as in Field Properties: Alt+A from the name box
// reaches the address box (it typed an "a" into the name before), and Enter there is OK.
TEST_F(Tags, TheReferencePagesLettersWorkFromTheTagsOwnControls) {
    window->tree().select({Node::Tags});
    std::string name;
    triggerQt(window->hosted().newTag, [&](QDialog* dialog) {
        QApplication::setActiveWindow(dialog);
        auto* nameBox = dialog->findChild<QLineEdit*>("name");
        nameBox->setFocus();
        QTest::keyClicks(nameBox, "Flow");
        QTest::keyClick(nameBox, Qt::Key_A, Qt::AltModifier);
        name = nameBox->text().toStdString();
        ASSERT_EQ(GetDlgCtrlID(GetFocus()), dlg::kAddressEdit);
        QWidget* address = host().widgetOf(GetFocus());
        ASSERT_NE(address, nullptr);
        QTest::keyClicks(address, "DB20 DW4");
        QTest::keyClick(address, Qt::Key_Return);
    });
    EXPECT_EQ(name, "Flow");
    ASSERT_EQ(TagsOf(block()).size(), 4u);
    EXPECT_EQ(TagName(block(), tagAt(3)), "Flow");
    EXPECT_EQ(TagReference(tagAt(3)).dataBlock, 20);
}

TEST_F(Tags, RenameNeedsATagUnderTheCursorAndNoIsNoChange) {
    window->tree().select({Node::Tags});
    EXPECT_FALSE(window->hosted().renameTag->isEnabled());
    window->tree().select({Node::Tag, -1, 0});
    ASSERT_TRUE(window->hosted().renameTag->isEnabled());
    tagDialog(window->hosted().renameTag, [](QDialog* dialog) {
        dialog->findChild<QLineEdit*>("name")->setText("Level of tank 1");
    });
    EXPECT_EQ(TagName(block(), TagsOf(block())[0]), "Level of tank 1");
    answers = {IDNO};
    window->hosted().deleteTag->trigger();
    EXPECT_EQ(TagsOf(block()).size(), 3u);
    EXPECT_EQ(document().undoStack().count(), 1);
}

// ---- Graphics, on a project with bitmaps ------------------------------------------------

class Graphics : public Editors {
  protected:
    // The sample with three bitmaps, its page 2 field 3 a TOUCH GRAPHICS field.
    void beforeWindow() override {
        Editors::beforeWindow();
        SetAppFmalloc(&mem::HostAllocate);
        const LoadedProject sample = host::Store::Get().load("sample", SampleImage());
        ProjectBlock& p = sample.block();
        std::vector<BitmapEntry> bitmaps(3);
        for (std::size_t i = 0; i < bitmaps.size(); ++i) {
            bitmaps[i].head.nameMark = BitmapHead::kNumberMark;
            bitmaps[i].head.dataFlag = 1;
            bitmaps[i].dib = CreateDIB(8 * (i + 1), 8, 1);
        }
        p.ext.bitmaps =
            host::GlobalCopyOf(std::span(reinterpret_cast<const std::uint8_t*>(bitmaps.data()),
                                         bitmaps.size() * sizeof(BitmapEntry)));
        p.ext.bitmapCount = 3;
        FieldAt(p, kTouchField).display.fieldType = s5::kTouchGraphics;
        const Bytes image = host::Store::Get().save("sample", sample);
        folder_.write("sample.kpr", std::string(image.begin(), image.end()));
    }
};

TEST_F(Graphics, PicturesAndTextsOfATouchGraphicsField) {
    const Bytes before = SavedNow(document());
    QStringList rows;
    editField(kTouchField, [&](HWND driver) {
        WhenQtDialogOpens([&](QDialog* editor) {
            ASSERT_NE(editor->findChild<QLabel*>("preview"), nullptr);
            AddRange(editor, 0, 0, "Stop");
            AddRange(editor, 1, 1, "Run");
            // The second range's picture chosen in its cell's list of bitmaps.
            auto* table = editor->findChild<QTableWidget*>("ranges");
            table->setCurrentCell(1, 2);
            table->editItem(table->currentItem());
            auto* pictures = OpenCellEditor<QComboBox>(table);
            ASSERT_NE(pictures, nullptr);
            ASSERT_EQ(pictures->count(), 3);
            pictures->setCurrentIndex(2);
            QTest::keyClick(pictures, Qt::Key_Return);
            rows = RowsOf(editor);
            Press(editor, QDialogButtonBox::Ok);
        });
        user_->click(driver, dlg::kGraphicsButton);
        user_->click(driver, IDOK);
    });
    EXPECT_EQ(rows, (QStringList{"0-0 Stop", "1-1 Run"}));
    const FieldRecord& touch = field(kTouchField);
    EXPECT_EQ(touch.list1.numeric.get(), 1) << "pictures are numbers";
    const auto pictures = RecordsAt<const ListEntry>(touch.list1.block, touch.list1.count);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0].value.get(), 0);
    EXPECT_EQ(pictures[1].value.get(), 2);
    for (const ListEntry& entry : pictures) EXPECT_EQ(entry.textId.get(), kNoListText);
    EXPECT_EQ(touch.list2.numeric.get(), 0);
    expectTexts(block(), touch.list2, {{0, 0, "Stop"}, {1, 1, "Run"}});
    expectUndoneAndRedone(before);
}

}  // namespace
}  // namespace kestra::workbench::testing
