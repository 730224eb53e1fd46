// Building a project in the workbench's window as an engineer does: fields made through the
// driver by Add Field, their own settings in Field Properties, the project's in Project
// Properties, and the check's results list; each edit one undo step that gives the image back
// byte for byte. The last test builds a whole project that way and hands the saved file to
// `kestra`, which must find it sound, print every field's address and format, and build its
// panel image.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

#include "card_loader/run_program.h"
#include "extension_classes/plc_driver.h"
#include "extension_classes/plc_info.h"
#include "kestra/check.h"
#include "kestra/panel_display.h"
#include "kestra/project_sections.h"
#include "plc_s5/dialog_ids.h"
#include "plc_s5/tables.h"
#include "plc_s5/type1_image.h"
#include "utilities/passwords.h"
#include "utilities/tag_select.h"
#include "workbench/hosted/hosted_project.h"
#include "workbench/hosted/tag_edits.h"
#include "window_hosting_test.h"
#include "workbench/document/new_field.h"
#include "workbench/document/project_pages.h"
#include "workbench/window/check_results.h"

namespace kestra::workbench::testing {
namespace {

namespace dlg = kestra::s5::dialog;
using Node = ProjectTree::Node;

constexpr std::uint8_t kWord = 3, kAsciiFormat = 5, kBcdWord = 13;

Cell CellOf(const FieldRecord& f) {
    return {s5::FieldRow(f), s5::FieldColumn(f)};
}

class Authoring : public WindowWithCoreDialogs {
  protected:
    void beforeWindow() override {
        std::filesystem::copy_file(
            platform::JoinPath(platform::ProgramFolder(), "windows/Displays.ini"),
            file("windows/Displays.ini"));
        WindowWithCoreDialogs::beforeWindow();
    }
    ProjectBlock& block() { return window->document().block(); }
    FieldRecord field(std::size_t page, std::size_t f) {
        return Fields(Pages(block())[page])[f];
    }
    static void pressOk(QDialog* dialog) {
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }
    template <typename T>
    static T* child(QDialog* dialog, const char* name) {
        T* found = dialog->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // Adds a field of the type and class with Add Field, at the first free place of the page
    // shown or at `cell`; whether the driver made it (and the dialog's OK was enabled).
    bool addField(unsigned type, bool attribute, std::optional<Cell> cell = std::nullopt,
                  FieldSize* offered = nullptr) {
        bool enabled = false;
        OnNextDialog([&](QDialog* dialog) {
            child<QComboBox>(dialog, "fieldType")->setCurrentIndex(static_cast<int>(type));
            child<QRadioButton>(dialog, attribute ? "attribute" : "plcData")->setChecked(true);
            auto* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
            enabled = ok->isEnabled();
            if (offered)
                *offered = {child<QSpinBox>(dialog, "width")->value(),
                            child<QSpinBox>(dialog, "height")->value()};
            enabled ? ok->click() : dialog->reject();
        });
        const bool added = cell ? window->addFieldAt(cell->row, cell->column)
                                : (window->addField(), enabled);
        EXPECT_EQ(added, enabled);
        return added;
    }
    // Runs Field Properties on the field chosen, with `steps` on its dialog and the driver's
    // page in it (which has the focus when the dialog opens).
    void fieldProperties(const std::function<void(QDialog*, HWND)>& steps) {
        OnNextDialog([&](QDialog* dialog) {
            HWND page = GetParent(GetFocus());
            ASSERT_NE(page, nullptr);
            steps(dialog, page);
        });
        window->hosted().field->trigger();
    }
};

struct AddCase {
    unsigned type;
    bool attribute;
    bool made;
    std::uint8_t format;
    FieldSize size;
    Cell place;  // on page 1 of the sample, on the generic model's 4 x 20 display
};

// Page 1 of the sample holds fields 5, 3, 1 and 8 characters wide at the start of its rows.
const AddCase kAddCases[] = {
    {kNumericField, false, true, kWord, {5, 1}, {0, 5}},
    {kMessageField, false, true, kWord, {10, 1}, {0, 5}},
    {kAsciiField, false, true, kAsciiFormat, {10, 1}, {0, 5}},
    {kHorizontalBargraph, false, true, kWord, {10, 1}, {0, 5}},
    {kVerticalBargraph, false, true, kWord, {1, 4}, {0, 8}},
    {kGraphicsField, false, false, 0, {}, {}},
    {kTouchGraphicsField, false, false, 0, {}, {}},
    {kGraphicsField, true, true, kWord, {4, 2}, {0, 5}},
    {kNumericField, true, true, kWord, {5, 1}, {0, 5}},
};

TEST_F(Authoring, AddFieldMakesWhatTheDriverAcceptsAtTheFirstFreePlace) {
    window->tree().select({Node::Field, 0, 6});
    ProjectDocument& document = window->document();
    const Bytes before = SavedNow(document);
    for (const AddCase& c : kAddCases) {
        SCOPED_TRACE(std::to_string(c.type) + (c.attribute ? " attribute" : " PLC data"));
        FieldSize offered;
        ASSERT_EQ(addField(c.type, c.attribute, std::nullopt, &offered), c.made);
        if (!c.made) {
            EXPECT_EQ(document.undoStack().count(), 0);
            continue;
        }
        ASSERT_EQ(Fields(Pages(block())[0]).size(), 8u);
        const FieldRecord f = field(0, 7);  // after the chosen field
        EXPECT_EQ(f.kind(), c.type);
        EXPECT_EQ(f.fieldClass, c.attribute ? kAttributeClass : kPlcDataClass);
        EXPECT_EQ(f.plc.dataFormat, c.format);
        EXPECT_EQ(offered.width, c.size.width);
        EXPECT_EQ(f.width, c.size.width);
        EXPECT_EQ(f.height, c.size.height);
        EXPECT_EQ(CellOf(f), c.place);
        EXPECT_EQ(window->selectedFields(), std::vector<std::size_t>{7});
        // What the driver made, its check accepts.
        const host::CheckReport report =
            host::CheckContents(block(), &document.driver()->loader());
        for (const host::CheckFinding& finding : report.findings)
            EXPECT_FALSE(finding.page == 1 && finding.field == 8) << finding.text;
        ASSERT_EQ(document.undoStack().count(), 1);
        EXPECT_EQ(document.undoStack().text(0), "Add field");
        document.undoStack().undo();
        EXPECT_EQ(SavedNow(document), before);
        document.undoStack().clear();
    }
}

TEST_F(Authoring, AddFieldAtACellKeepsTheFieldOnTheDisplay) {
    window->tree().select({Node::Page, 1, 1});
    ASSERT_TRUE(addField(kNumericField, false, Cell{2, 18}));
    const FieldRecord f = field(1, 7);
    EXPECT_EQ(CellOf(f), (Cell{2, 15})) << "5 wide on 20";
    ASSERT_TRUE(addField(kVerticalBargraph, false, Cell{9, 0}));
    const FieldRecord bar = field(1, 8);
    EXPECT_EQ(CellOf(bar), (Cell{0, 0})) << "4 high on 4";
}

TEST_F(Authoring, TheFirstFreePlaceIsFoundRowByRow) {
    const host::PanelDisplay display = host::PanelDisplayOf(block());
    ASSERT_EQ(display.rows, 4);
    ASSERT_EQ(display.columns, 20);
    struct {
        FieldSize size;
        std::optional<Cell> place;
    } const cases[] = {
        {{5, 1}, Cell{0, 5}},   {{15, 1}, Cell{0, 5}},  {{16, 1}, Cell{1, 3}},
        {{19, 1}, Cell{2, 1}},  {{1, 4}, Cell{0, 8}},   {{12, 4}, Cell{0, 8}},
        {{13, 4}, std::nullopt}, {{20, 1}, std::nullopt}, {{1, 5}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FirstFreePlace(block(), 0, c.size, display), c.place)
            << c.size.width << " x " << c.size.height;
    EXPECT_EQ(PlaceOnDisplay({3, 19}, {5, 2}, display), (Cell{2, 15}));
}

TEST_F(Authoring, FieldPropertiesEditTheFieldsOwnSettingsAsOneChange) {
    window->tree().select({Node::Field, 0, 1});  // a BYTE field at row 2, 3 wide
    ProjectDocument& document = window->document();
    const Bytes before = SavedNow(document);
    const FieldRecord original = field(0, 1);
    QString where;
    fieldProperties([&](QDialog* dialog, HWND) {
        auto* type = child<QComboBox>(dialog, "fieldType");
        auto* model = qobject_cast<QStandardItemModel*>(type->model());
        EXPECT_FALSE(model->item(kGraphicsField)->isEnabled()) << "no PLC data for GRAPHICS";
        EXPECT_TRUE(model->item(kAsciiField)->isEnabled());
        child<QSpinBox>(dialog, "row")->setValue(3);
        child<QSpinBox>(dialog, "column")->setValue(12);
        child<QSpinBox>(dialog, "width")->setValue(4);
        child<QLineEdit>(dialog, "label")->setText("Speed");
        child<QLineEdit>(dialog, "text")->setText("Pump speed, rpm");
        where = child<QLabel>(dialog, "where")->text();
        EXPECT_EQ(child<QSpinBox>(dialog, "row")->maximum(), 4) << "the display's rows";
        child<QSpinBox>(dialog, "width")->setValue(10);
        EXPECT_TRUE(child<QLabel>(dialog, "where")->text().contains("runs past"));
        child<QSpinBox>(dialog, "width")->setValue(4);
        pressOk(dialog);
    });
    EXPECT_TRUE(where.startsWith("The field lies on the display \"4x20 Text\"")) << where.toStdString();
    const FieldRecord f = field(0, 1);
    EXPECT_EQ(CellOf(f), (Cell{2, 11}));
    EXPECT_EQ(f.width, 4);
    EXPECT_EQ(TextIn(f.label), "Speed");
    EXPECT_EQ(Text(block(), f.textId), "Pump speed, rpm");
    EXPECT_EQ(std::memcmp(&f.display, &original.display, sizeof f.display), 0);
    EXPECT_EQ(std::memcmp(&f.plc, &original.plc, sizeof f.plc), 0);
    ASSERT_EQ(document.undoStack().count(), 1);
    document.undoStack().undo();
    EXPECT_EQ(SavedNow(document), before);
}

TEST_F(Authoring, FieldPropertiesChangeTheTypeThroughTheDriver) {
    window->tree().select({Node::Field, 0, 0});  // NUMERIC, WORD, DB10 DW5
    std::string formatShown;
    fieldProperties([&](QDialog* dialog, HWND page) {
        child<QComboBox>(dialog, "fieldType")->setCurrentIndex(kAsciiField);
        formatShown = user_->text(page, dlg::kFormatCombo);
        auto* classes = child<QComboBox>(dialog, "fieldClass");
        auto* model = qobject_cast<QStandardItemModel*>(classes->model());
        EXPECT_TRUE(model->item(1)->isEnabled()) << "an ASCII field may be an attribute";
        pressOk(dialog);
    });
    EXPECT_EQ(formatShown, "ASCII") << "the driver's page follows";
    const FieldRecord f = field(0, 0);
    EXPECT_EQ(f.kind(), kAsciiField);
    EXPECT_EQ(f.plc.dataFormat, kAsciiFormat);
    EXPECT_EQ(f.plc.dataBlock, 10);
    EXPECT_EQ(window->document().undoStack().count(), 1);

    fieldProperties([&](QDialog* dialog, HWND) {
        child<QComboBox>(dialog, "fieldType")->setCurrentIndex(kVerticalBargraph);
        auto* height = child<QSpinBox>(dialog, "height");
        EXPECT_EQ(height->maximum(), 4) << "a bargraph may be as high as the display";
        height->setValue(3);
        dialog->reject();
    });
    EXPECT_EQ(field(0, 0).kind(), kAsciiField) << "Cancel keeps the field";
    EXPECT_EQ(window->document().undoStack().count(), 1);
}

TEST_F(Authoring, ProjectPropertiesEditTitleTagFolderAndImageRoom) {
    ProjectDocument& document = window->document();
    const Bytes before = SavedNow(document);
    OnNextDialog([](QDialog* dialog) { dialog->reject(); });
    window->hosted().projectProperties->trigger();
    EXPECT_EQ(document.undoStack().count(), 0);

    OnNextDialog([&](QDialog* dialog) {
        EXPECT_EQ(child<QLineEdit>(dialog, "title")->text(), "Kestra sample: tank farm on an S5");
        EXPECT_EQ(child<QLineEdit>(dialog, "tagFolder")->text(), "Plant tags");
        child<QLineEdit>(dialog, "title")->setText("Tank farm, north");
        child<QLineEdit>(dialog, "tagFolder")->setText("");
        child<QSpinBox>(dialog, "imageRoom")->setValue(4);
        pressOk(dialog);
    });
    window->hosted().projectProperties->trigger();
    EXPECT_EQ(Text(block(), block().record.titleId), "Tank farm, north");
    EXPECT_EQ(block().ext.tagFolder.nameId, 0);
    EXPECT_EQ(block().record.imageSizeClass, 4);
    ASSERT_EQ(document.undoStack().count(), 1);
    document.undoStack().undo();
    EXPECT_EQ(SavedNow(document), before);
}

TEST_F(Authoring, CheckResultsListTheProblemsAndShowWhatTheyName) {
    ProjectDocument& document = window->document();
    ASSERT_TRUE(document.change("break a field", [&] {
        Fields(Pages(block())[2])[1].plc.dataFormat = kBcdWord;
        return true;
    }));
    window->hosted().check->trigger();
    auto* dock = window->findChild<QDockWidget*>("checkDock");
    ASSERT_NE(dock, nullptr);
    EXPECT_TRUE(dock->isVisible());
    CheckResults& results = window->checkResults();
    EXPECT_TRUE(results.summary().startsWith("sample.kpr: 1 error and ")) << results.summary().toStdString();
    QTreeWidget& list = results.list();
    QTreeWidgetItem* error = nullptr;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        if (list.topLevelItem(i)->text(CheckResults::kSeverity) == "Error")
            error = list.topLevelItem(i);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->text(CheckResults::kPage), "3");
    EXPECT_EQ(error->text(CheckResults::kField), "2");
    EXPECT_TRUE(error->text(CheckResults::kProblem).startsWith("data format 13 (WORD(BCD))"));
    window->tree().select({Node::Page, 0, 0});
    list.setCurrentItem(error);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(window->tree().current(), (ProjectTree::Place{Node::Field, 2, 1}));
    EXPECT_EQ(window->selectedFields(), std::vector<std::size_t>{1});

    window->addPage();
    auto* head = dock->findChild<QLabel*>();
    EXPECT_TRUE(head->text().contains("changed since this check"));
    // Saved under another name, the results name the new file and stay out of date.
    ASSERT_TRUE(window->saveAs(QString::fromStdString(file("renamed.kpr"))));
    EXPECT_TRUE(head->text().startsWith("renamed.kpr: 1 error and ")) << head->text().toStdString();
    EXPECT_TRUE(head->text().contains("changed since this check"));
    // Another project in the window: no results of this one stay.
    ASSERT_TRUE(window->openFile(QString::fromStdString(file("renamed.kpr"))));
    EXPECT_EQ(head->text(), "No check yet: Build > Check Project (Ctrl+K).");
    EXPECT_EQ(results.list().topLevelItemCount(), 0);
}

// A project as an engineer builds it in the window, handed to the command-line host.
TEST_F(Authoring, ANewProjectBuiltInTheWindowIsSoundPrintsAndBuilds) {
    CPlcInfoList drivers(host::kDriverListRegistryWord);
    ASSERT_EQ(drivers.Load(FALSE), 1);
    const CPlcInfo* entry = drivers.FindDLL("K32PLC1.so");
    ASSERT_NE(entry, nullptr);
    window->document().newProject(*entry);  // what File > New does with the driver chosen
    window->tree().select({Node::Page, 0, 0});
    window->addPage();
    window->addPage();
    window->tree().select({Node::Page, 0, 0});

    struct Wanted {
        unsigned type;
        Cell cell;
        const char* address;
        const char* printed;  // address and format as the PLC list prints them
    };
    const Wanted wanted[] = {
        {kNumericField, {0, 0}, "DB10 DW5", "DB10 DW5   WORD\\O"},
        {kNumericField, {1, 0}, "DB10 D5.11", "DB10 D5.11      BIT"},
        {kAsciiField, {2, 0}, "DB11 DW0", "DB11 DW0    ASCII"},
        {kMessageField, {3, 0}, "DB11 DW8", "DB11 DW8   WORD\\O"},
        {kHorizontalBargraph, {0, 10}, "DB11 DW9", "Level   WORD\\O"},  // bound to the tag below
    };
    for (std::size_t i = 0; i < std::size(wanted); ++i) {
        ASSERT_TRUE(addField(wanted[i].type, false, wanted[i].cell));
        window->tree().select({Node::Field, 0, static_cast<int>(i)});
        fieldProperties([&](QDialog* dialog, HWND page) {
            user_->type(page, dlg::kAddressEdit, wanted[i].address);
            pressOk(dialog);
        });
    }
    const MainWindow::HostedActions& h = window->hosted();

    // The MESSAGE field's three texts, through the driver's field dialog and its callback.
    editField({0, 3}, [&](HWND driver) {
        giveMessageTexts(driver, "2", {{0, 0, "Off"}, {1, 1, "On"}, {2, 2, "Fault"}});
    });
    EXPECT_EQ(field(0, 3).list1.count.get(), 3);

    // A tag at the bar graph's address, and the bar graph bound to it.
    window->tree().select({Node::Tags});
    triggerQt(h.newTag, [&](QDialog* dialog) {
        dialog->findChild<QLineEdit*>("name")->setText("Level");
        auto* frame = dialog->findChild<QWidget*>("reference");
        ASSERT_NE(frame, nullptr);
        user_->type(GetWindow(host().windowFor(frame), GW_CHILD), dlg::kAddressEdit,
                    "DB11 DW9");
        Press(dialog, QDialogButtonBox::Ok);
    });
    ASSERT_EQ(TagsOf(block()).size(), 1u);
    const std::uint16_t levelKey = TagsOf(block())[0].key.get();  // the block goes at each change
    window->tree().select({Node::Field, 0, 4});
    triggerCore(h.fieldTag, [&](HWND dialog) {
        auto* list = dynamic_cast<QListWidget*>(user_->widget(dialog, kTagList));
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->count(), 1);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        user_->click(dialog, IDOK);
    });
    EXPECT_EQ(field(0, 4).plc.tagIndex.get(), levelKey);

    // An alarm whose text ends in a character picked from the panel's character set.
    triggerCore(h.alarms, [&](HWND alarms) {
        user_->type(alarms, dlg::kAlarmMessageEdit, "Tank full");
        WhenQtDialogOpens([](QDialog* picker) {
            picker->findChild<QTableWidget*>("characters")->setCurrentCell(0xB - 2, 0x0);
            Press(picker, QDialogButtonBox::Ok);
        });
        user_->click(alarms, dlg::kAlarmSpecialChars);
        user_->click(alarms, IDOK);
    });
    ASSERT_EQ(block().record.section2aCount, 1);

    triggerCore(window->hosted().passwords, [&](HWND dialog) {
        user_->type(dialog, PasswordControl(0, kPasswordCode), "1111");
        user_->type(dialog, PasswordControl(1, kPasswordCode), "2222");
        user_->type(dialog, PasswordControl(1, kPasswordFirstPage), "2");
        user_->type(dialog, PasswordControl(1, kPasswordLastPage), "3");
        user_->click(dialog, IDOK);
    });
    ASSERT_EQ(block().record.section1Count, 2);
    const std::string path = file("built.kpr");
    ASSERT_TRUE(window->saveAs(QString::fromStdString(path)));

    // Through the libraries alone.
    using kestra::testing::RunProgram;
    kestra::testing::ProgramRun run = RunProgram("kestra", {"check", path}, {});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out, path + ": sound (3 pages, 5 fields)\n");
    run = RunProgram("kestra", {"print", path, "--text"}, {});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find("ERR"), std::string::npos) << run.out;
    for (const Wanted& w : wanted) EXPECT_NE(run.out.find(w.printed), std::string::npos) << w.printed << "\n" << run.out;
    run = RunProgram("kestra", {"panel-image", path, "-o", file("built.img"), "--check"}, {});
    EXPECT_EQ(run.exitCode, 0) << run.err;

    const host::LoadedProject saved = host::Store::Get().load(path, host::ReadInput(path));
    const auto fields = Fields(Pages(saved.block())[0]);
    ASSERT_EQ(fields.size(), std::size(wanted));
    EXPECT_EQ(fields[4].plc.flags & uPLCADR::kBoundToTag,
              uPLCADR::kBoundToTag);
    const auto alarms = RecordsAt<const s5::AlarmRecord>(saved.block().record.section2a, 1);
    ASSERT_EQ(alarms.size(), 1u);
    EXPECT_EQ(host::ProjectText(saved.block(), alarms[0].textId), "Tank full\xC2\xB0");
    const FieldSize sizes[] = {{5, 1}, {5, 1}, {10, 1}, {10, 1}, {10, 1}};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(CellOf(fields[i]), wanted[i].cell) << i;
        EXPECT_EQ(fields[i].width, sizes[i].width) << i;
        EXPECT_EQ(fields[i].height, sizes[i].height) << i;
    }
}

}  // namespace
}  // namespace kestra::workbench::testing
