// The suite's dialogs hosted over a main window, on the sample project: driven as a user
// drives them, then the project checked byte for byte, saved, loaded again through the store
// and compared; Cancel of each leaves every byte as it was.
#include "workbench/hosted/hosted_dialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <cstring>

#include "dialog_steps.h"
#include "hosted_test_support.h"
#include "kestra/resource_section.h"
#include "plc_s5/dialog_ids.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/tables.h"
#include "plc_s5/type1_image.h"
#include "string_table/string_table.h"
#include "utilities/comm_params.h"
#include "utilities/k32fabutil1.h"
#include "workbench/hosted/hosted_tags.h"

namespace kestra::workbench::testing {
namespace {

namespace dlg = kestra::s5::dialog;

constexpr FieldPlace kFirstField{0, 0};    // page 1, field 1: NUMERIC, WORD, DB10 DW5
constexpr FieldPlace kMessageField{1, 0};  // page 2, field 1: MESSAGE, values 0 to 1

BOOL NeverTheSameTag(const void*, const void*, const void*, const void*) {
    return FALSE;
}

class HostedDialogs : public HostedTest {
  protected:
    // A tag of the project whose data name an address the first field can show.
    WORD addWordTag(const char* name, std::uint8_t dataBlock, std::uint16_t word) {
        uPLCADR ref{};
        ref.dataBlock = dataBlock;
        ref.byteOffset = static_cast<std::uint16_t>(word * 2);
        ref.dataFormat = s5::kWord;
        ref.dataType = s5::kDataBlock;
        std::uint8_t descriptor[TagElement::kDataSize] = {};
        std::memcpy(descriptor, &ref, sizeof ref);
        return static_cast<WORD>(AddTagElement(&block().ext.tagFolder, &block(), name, descriptor,
                                               0, FALSE, &NeverTheSameTag));
    }
    // The project loaded again through the store from the image it saves now.
    ProjectBlock& reloaded() {
        again_ = host::Store::Get().load("saved", image());
        return again_.block();
    }
    // The field's properties, the driver's field dialog from them with `inDriver` on it, and
    // the properties ended with `end`; whether the project changed.
    bool inFieldDialog(FieldPlace place, const std::function<void(HWND)>& inDriver,
                       QDialogButtonBox::StandardButton end = QDialogButtonBox::Ok) {
        return driveQt<bool>([&] { return EditFieldProperties(&window, project, *driver, place); },
                             [&](QDialog* properties) {
                                 WhenCoreDialogOpens(inDriver);
                                 button(properties, "&Display and Limits...")->click();
                                 press(properties, end);
                             });
    }
    // References the string table holds on a text; -1 when it has no such text.
    int referencesOf(const std::string& text) {
        for (WORD id = 0; id < block().record.stringCount; ++id)
            if (host::ProjectText(block(), id) == text)
                return static_cast<int>(StrTabReferenceCount(id, &block()));
        return -1;
    }
    static QPushButton* button(QDialog* dialog, const char* text) {
        for (auto* b : dialog->findChildren<QPushButton*>())
            if (b->text() == text) return b;
        ADD_FAILURE() << "no button " << text;
        return nullptr;
    }

  private:
    LoadedProject again_;
};

// --- the field --------------------------------------------------------------------------

TEST_F(HostedDialogs, FieldAddressTypedInTheEmbeddedPageChangesOnlyTheReferenceBytes) {
    const FieldRecord original = FieldAt(block(), kFirstField);
    const FieldRecord expected = withAddress(kFirstField, "DB12 DW7");
    ASSERT_NE(std::memcmp(&expected, &original, sizeof original), 0);
    const host::Bytes before = image();

    const bool changed =
        driveQt<bool>([&] { return EditFieldProperties(&window, project, *driver, kFirstField); },
                      [&](QDialog* dialog) {
                          EXPECT_EQ(dialog->parentWidget(), &window);
                          HWND page = GetParent(GetFocus());
                          ASSERT_NE(page, nullptr) << "the focus is in the driver's page";
                          EXPECT_EQ(user->text(page, dlg::kAddressEdit), "DB10 DW5");
                          user->type(page, dlg::kAddressEdit, "DB12 DW7");
                          EXPECT_EQ(user->text(page, dlg::kDataBlockEdit), "12");
                          press(dialog, QDialogButtonBox::Ok);
                      });
    EXPECT_TRUE(changed);
    EXPECT_EQ(std::memcmp(&FieldAt(block(), kFirstField), &expected, sizeof expected), 0);

    // In the image, exactly the bytes of the field's record that the conversion wrote.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&original);
    const auto at = std::search(before.begin(), before.end(), bytes, bytes + sizeof original);
    ASSERT_NE(at, before.end()) << "the field record stands in the image as it is in memory";
    const auto place = static_cast<std::size_t>(at - before.begin());
    std::vector<std::size_t> written;
    for (std::size_t i = 0; i < sizeof original; ++i)
        if (bytes[i] != reinterpret_cast<const std::uint8_t*>(&expected)[i])
            written.push_back(place + i);
    EXPECT_EQ(DifferingBytes(before, image()), written);
}

TEST_F(HostedDialogs, FieldDisplayAndLimitsInTheDriversFullDialogReachTheField) {
    const bool changed =
        driveQt<bool>([&] { return EditFieldProperties(&window, project, *driver, kFirstField); },
                      [&](QDialog* dialog) {
                          QTimer::singleShot(0, [&] {
                              HWND full = GetAncestor(GetFocus(), GA_ROOT);
                              user->type(full, dlg::kMaximumEdit, "900");
                              user->click(full, IDOK);
                          });
                          button(dialog, "&Display and Limits...")->click();
                          press(dialog, QDialogButtonBox::Ok);
                      });
    EXPECT_TRUE(changed);
    EXPECT_EQ(reloaded().record.pageCount.get(), 3);
    EXPECT_EQ(FieldAt(reloaded(), kFirstField).display.maximum.get(), 900);
}

TEST_F(HostedDialogs, FieldTagChosenGivesTheFieldTheTagsAddress) {
    const WORD key = addWordTag("Flow", 20, 4);
    const bool changed = driveCore<bool>(
        [&] { return ChooseFieldTag(&window, project, *driver, kFirstField); },
        [&](HWND dialog) {
            auto* list = dynamic_cast<QListWidget*>(user->widget(dialog, kTagList));
            ASSERT_NE(list, nullptr);
            ASSERT_EQ(list->count(), 1) << "only the tag whose address suits the field";
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->item(0)).center());
            user->click(dialog, IDOK);
        });
    EXPECT_TRUE(changed);
    const FieldRecord& field = FieldAt(reloaded(), kFirstField);
    EXPECT_EQ(field.plc.tagIndex.get(), key);
    EXPECT_EQ(field.plc.flags & uPLCADR::kBoundToTag, uPLCADR::kBoundToTag);
    EXPECT_EQ(field.plc.dataBlock, 20);
    EXPECT_EQ(field.plc.byteOffset.get(), 8);
}

TEST_F(HostedDialogs, FieldTagWithoutASuitableTagSaysSoAndChangesNothing) {
    const host::Bytes before = image();
    EXPECT_FALSE(ChooseFieldTag(&window, project, *driver, kFirstField));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].rfind("Field Tag: No tag of the project suits this field", 0), 0u) << told[0];
    EXPECT_NE(told[0].find("Make one with Project > Tags > New Tag"), std::string::npos);
    EXPECT_EQ(image(), before);
}

TEST_F(HostedDialogs, AFieldThatIsNotThereIsToldAndNothingOpens) {
    EXPECT_FALSE(EditFieldProperties(&window, project, *driver, {0, 99}));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], "Field Properties: page 1 has no field 100 (it has 7)");
}

// --- the editor's callbacks of the field dialog --------------------------------------------

TEST_F(HostedDialogs, ASecondPressOfEditMessageShowsTheFirstsRangesAndHoldsNothingItLetGo) {
    QStringList second;
    const bool changed = inFieldDialog(kMessageField, [&](HWND fieldDialog) {
        WhenQtDialogOpens([](QDialog* editor) {
            AddRange(editor, 0, 0, "Draft");
            Press(editor, QDialogButtonBox::Ok);
        });
        user->click(fieldDialog, dlg::kMessageButton);
        WhenQtDialogOpens([&](QDialog* editor) {
            second = RowsOf(editor);
            editor->findChild<QTableWidget*>("ranges")->item(0, 2)->setText("Final");
            Press(editor, QDialogButtonBox::Ok);
        });
        user->click(fieldDialog, dlg::kMessageButton);
        user->click(fieldDialog, IDOK);
    });
    EXPECT_TRUE(changed);
    EXPECT_EQ(second, QStringList{"0-0 Draft"});
    EXPECT_EQ(referencesOf("Draft"), 0) << "the first press's copy went with its reference";
    EXPECT_EQ(referencesOf("Final"), 1) << "held by the field's list alone";
    const FieldRecord& field = FieldAt(block(), kMessageField);
    const auto entries = RecordsAt<const ListEntry>(field.list1.block, field.list1.count);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(host::ProjectText(block(), entries[0].textId), "Final");

    // Edited again: the old text is let go when the field takes the new list.
    EXPECT_TRUE(inFieldDialog(kMessageField, [&](HWND fieldDialog) {
        WhenQtDialogOpens([](QDialog* editor) {
            editor->findChild<QTableWidget*>("ranges")->item(0, 2)->setText("Done");
            Press(editor, QDialogButtonBox::Ok);
        });
        user->click(fieldDialog, dlg::kMessageButton);
        user->click(fieldDialog, IDOK);
    }));
    EXPECT_EQ(referencesOf("Final"), 0);
    EXPECT_EQ(referencesOf("Done"), 1);
}

TEST_F(HostedDialogs, GraphicsOfAProjectWithoutBitmapsCannotBeAdded) {
    FieldAt(block(), {1, 3}).display.fieldType = s5::kGraphics;
    QString preview;
    bool addable = true;
    inFieldDialog(
        {1, 3},
        [&](HWND fieldDialog) {
            WhenQtDialogOpens([&](QDialog* editor) {
                preview = editor->findChild<QLabel*>("preview")->text();
                addable = button(editor, "&Add")->isEnabled();
                Press(editor, QDialogButtonBox::Ok);
            });
            user->click(fieldDialog, dlg::kGraphicsButton);
            user->click(fieldDialog, IDCANCEL);
        },
        QDialogButtonBox::Cancel);
    EXPECT_EQ(preview, "The project has no bitmaps.");
    EXPECT_FALSE(addable);
}

// --- the project's dialogs ------------------------------------------------------------

TEST_F(HostedDialogs, AlarmEditedSurvivesSaveAndReload) {
    const bool changed = driveCore<bool>(
        [&] { return EditAlarms(&window, project, *driver); },
        [&](HWND dialog) {
            // Centred on the workbench's window, not at its corner.
            RECT shown, around;
            GetWindowRect(dialog, &shown);
            GetWindowRect(GetWindow(dialog, GW_OWNER), &around);
            EXPECT_LE(std::abs(shown.left + shown.right - around.left - around.right) +
                          std::abs(shown.top + shown.bottom - around.top - around.bottom),
                      2)
                << shown.left << "," << shown.top;
            user->type(dialog, dlg::kAlarmNumberEdit, "5");
            user->type(dialog, dlg::kAlarmMessageEdit, "Tank full");
            user->type(dialog, dlg::kAlarmPriorityEdit, "7");
            user->click(dialog, IDOK);
        });
    EXPECT_TRUE(changed);
    ProjectBlock& back = reloaded();
    ASSERT_EQ(back.record.section2aCount.get(), 5);
    const auto alarms = RecordsAt<const s5::AlarmRecord>(back.record.section2a, 5);
    ASSERT_EQ(alarms.size(), 5u);
    EXPECT_EQ(host::ProjectText(back, alarms[4].textId), "Tank full");
    EXPECT_EQ(alarms[4].priority, 7);
    EXPECT_EQ(host::ProjectText(back, alarms[0].textId), "Pump failure");
}

TEST_F(HostedDialogs, PlcModelChangedWithItsCommunicationParameters) {
    answers = {IDYES};  // "Changing the model type will reset ..."
    const std::uint8_t protocolBefore = block().record.nodeA.protocol;
    const bool changed =
        driveCore<bool>([&] { return EditPlcSetup(&window, project, *driver); },
                        [&](HWND dialog) {
                            user->pick(dialog, dlg::kModelCombo, "AG115 CPU 945");
                            QTimer::singleShot(0, [&] {
                                HWND comm = GetAncestor(GetFocus(), GA_ROOT);
                                char baud[16] = "";
                                GetDlgItemText(comm, kLineBaudText, baud, sizeof baud);
                                EXPECT_STREQ(baud, "9600");
                                user->spin(comm, kLineBaudSpin, true);
                                GetDlgItemText(comm, kLineBaudText, baud, sizeof baud);
                                EXPECT_STREQ(baud, "19200");
                                user->click(comm, IDOK);
                            });
                            user->click(dialog, dlg::kCommButton);
                            user->click(dialog, IDOK);
                        });
    EXPECT_TRUE(changed);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0],
              "Kestra Workbench: Changing the model type will reset the reserved block addresses "
              "to default values. Continue ?");
    const uPLCSETUP& setup = reloaded().record.nodeA;
    EXPECT_EQ(setup.model.get(), 2);
    EXPECT_EQ(setup.protocol & 0x0F, 7) << "baud code 7, 19200";
    EXPECT_EQ(setup.protocol & 0xF0, protocolBefore & 0xF0);
}

TEST_F(HostedDialogs, PasswordsSurviveSaveAndReload) {
    const bool changed =
        driveCore<bool>([&] { return EditPasswords(&window, project, *driver); },
                        [&](HWND dialog) {
                            user->type(dialog, PasswordControl(0, kPasswordCode), "1234");
                            user->type(dialog, PasswordControl(1, kPasswordCode), "4321");
                            user->click(dialog, PasswordControl(1, kPasswordFirstBox));
                            user->type(dialog, PasswordControl(1, kPasswordLastPage), "2");
                            user->type(dialog, kPasswordTimeout, "120");
                            user->click(dialog, IDOK);
                        });
    EXPECT_TRUE(changed);
    ProjectBlock& back = reloaded();
    ASSERT_EQ(back.record.section1Count, 2);
    const auto passwords = RecordsAt<const PasswordRecord>(back.record.section1, 2);
    ASSERT_EQ(passwords.size(), 2u);
    EXPECT_STREQ(passwords[0].code, "1234");
    EXPECT_EQ(passwords[0].attributes, kSystemPasswordAttributes);
    EXPECT_EQ(passwords[0].lastPage.get(), 3) << "the system password: every page";
    EXPECT_STREQ(passwords[1].code, "4321");
    EXPECT_EQ(passwords[1].attributes, kPasswordConf);
    EXPECT_EQ(passwords[1].lastPage.get(), 2);
    EXPECT_EQ(ReadLe16(reinterpret_cast<const std::uint8_t*>(&back.record) + 8), 120)
        << "the logout time";
}

TEST_F(HostedDialogs, RecipeMatrixValuesSurviveSaveAndReload) {
    const bool changed = driveCore<bool>([&] { return EditRecipe(&window, project, *driver, 0); },
                                         [&](HWND dialog) {
                                             user->type(dialog, kMatrixSetCountEdit, "3");
                                             user->type(dialog, MatrixCell(2, 0), "42");
                                             user->type(dialog, MatrixCell(1, 3), "77");
                                             user->click(dialog, kMatrixMultipage);
                                             user->click(dialog, IDOK);
                                         });
    EXPECT_TRUE(changed);
    ProjectBlock& back = reloaded();
    // Row 1 is field 1, row 4 is field 4 (the page's fields are all numeric).
    auto value = [&](std::size_t field, int set) {
        DWORD v = 0xFFFFFFFF;
        ExpGetValueFromFolder(&FieldAt(back, {0, field}).list1, set, &v, &back);
        return static_cast<LONG>(v);
    };
    EXPECT_EQ(value(0, 2), 42);
    EXPECT_EQ(value(0, 0), 0) << "a new set holds 0";
    EXPECT_EQ(value(3, 1), 77);
    const auto list = mem::Bytes(back.ext.wordList);
    ASSERT_GE(list.size(), 6u) << "the multipage list";
    EXPECT_EQ(ReadLe16(list.data() + 2), 1) << "one key in group 0";
    EXPECT_EQ(ReadLe16(list.data() + 4), 1) << "page 1's recipe";
}

TEST_F(HostedDialogs, LanguageAddedWithTheDefaultTextsSurvivesSaveAndReload) {
    const bool changed = driveQt<bool>([&] { return EditLanguages(&window, project, *driver); },
                                       [&](QDialog* dialog) {
                                           auto* list =
                                               dialog->findChild<QListWidget*>("languages");
                                           ASSERT_NE(list, nullptr);
                                           ASSERT_EQ(list->count(), 2);
                                           EXPECT_EQ(list->item(0)->text(), "English");
                                           EXPECT_EQ(list->item(1)->text(), "Deutsch");
                                           button(dialog, "&Add")->click();
                                           list->item(2)->setText("Francais");
                                           list->setCurrentRow(1);
                                           list->currentItem()->setText("Deutsch (Schweiz)");
                                           press(dialog, QDialogButtonBox::Ok);
                                       });
    EXPECT_TRUE(changed);
    ProjectBlock& back = reloaded();
    ASSERT_EQ(back.ext.languageCount, 3);
    const auto table = RecordsAt<const LanguageEntry>(back.ext.languages, 3);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(host::ProjectText(back, table[1].nameId), "Deutsch (Schweiz)");
    EXPECT_EQ(host::ProjectText(back, table[2].nameId), "Francais");
    const auto texts = RecordsAt<const TextEntry>(table[2].textSet1, back.ext.set1Count);
    ASSERT_EQ(texts.size(), 3u);
    const PageRecord& page = PagesOf(back)[0];
    EXPECT_EQ(mem::Blob(texts[0].blobA).value().size(), mem::Blob(page.text).value().size())
        << "the new language starts with the default language's page text";
}

TEST_F(HostedDialogs, NetworkNodeAddedNamedAndAddressedSurvivesSaveAndReload) {
    const bool changed = driveQt<bool>([&] { return EditNetwork(&window, project, *driver); },
                                       [&](QDialog* dialog) {
                                           auto* table = dialog->findChild<QTableWidget*>("nodes");
                                           ASSERT_NE(table, nullptr);
                                           EXPECT_EQ(table->rowCount(), 0);
                                           button(dialog, "&Add")->click();
                                           ASSERT_EQ(table->rowCount(), 1);
                                           EXPECT_EQ(table->item(0, 1)->text(), "PLC 1");
                                           EXPECT_EQ(table->item(0, 2)->text(), "AG90/100/115/135");
                                           table->item(0, 1)->setText("Boiler house");
                                           QCoreApplication::processEvents();
                                           table->item(0, 3)->setText("17");
                                           QCoreApplication::processEvents();
                                           press(dialog, QDialogButtonBox::Ok);
                                       });
    EXPECT_TRUE(changed);
    ProjectBlock& back = reloaded();
    uPLCSETUP node;
    ASSERT_TRUE(ExpGetNetNodeData(&back.record.nodeA, FALSE, 0, &node));
    EXPECT_EQ(node.nodeKey.get(), 1);
    EXPECT_EQ(node.slaveAddress.get(), 17);
    EXPECT_EQ(host::ProjectText(back, node.nameId), "Boiler house");
    EXPECT_EQ(node.model.get(), 1);
}

// --- Cancel ------------------------------------------------------------------------------

class CancelEveryDialog;
// One dialog opened, changed as a user would change it, and cancelled.
struct CancelCase {
    const char* name;
    bool (CancelEveryDialog::*run)();
};

class CancelEveryDialog : public HostedDialogs, public ::testing::WithParamInterface<CancelCase> {
  public:
    void SetUp() override {
        HostedDialogs::SetUp();
        addWordTag("Flow", 20, 4);  // a tag the first field can take
    }
    bool fieldProperties() {
        return driveQt<bool>(
            [&] { return EditFieldProperties(&window, project, *driver, kFirstField); },
            [&](QDialog* dialog) {
                user->type(GetParent(GetFocus()), dlg::kAddressEdit, "DB30 DW9");
                press(dialog, QDialogButtonBox::Cancel);
            });
    }
    bool fieldTag() {
        return driveCore<bool>(
            [&] { return ChooseFieldTag(&window, project, *driver, kFirstField); },
            [&](HWND dialog) {
                auto* list = dynamic_cast<QListWidget*>(user->widget(dialog, kTagList));
                list->setCurrentRow(0);
                user->click(dialog, IDCANCEL);
            });
    }
    bool alarms() {
        return driveCore<bool>([&] { return EditAlarms(&window, project, *driver); },
                               [&](HWND dialog) {
                                   user->type(dialog, dlg::kAlarmMessageEdit, "Changed");
                                   user->click(dialog, IDCANCEL);
                               });
    }
    // The model change resets the reserved areas of the dialog's copy of the project record.
    bool plcSetup() {
        answers = {IDYES};
        return driveCore<bool>([&] { return EditPlcSetup(&window, project, *driver); },
                               [&](HWND dialog) {
                                   user->pick(dialog, dlg::kModelCombo, "AG115 CPU 945");
                                   user->click(dialog, IDCANCEL);
                               });
    }
    bool passwords() {
        return driveCore<bool>([&] { return EditPasswords(&window, project, *driver); },
                               [&](HWND dialog) {
                                   user->type(dialog, PasswordControl(0, kPasswordCode), "9999");
                                   user->click(dialog, IDCANCEL);
                               });
    }
    // More sets than the fields hold: the editor adds values (and texts) to its copies.
    bool recipe() {
        return driveCore<bool>([&] { return EditRecipe(&window, project, *driver, 1); },
                               [&](HWND dialog) {
                                   user->type(dialog, kMatrixSetCountEdit, "4");
                                   user->type(dialog, MatrixCell(3, 0), "Quick");
                                   user->click(dialog, IDCANCEL);
                               });
    }
    bool languages() {
        return driveQt<bool>([&] { return EditLanguages(&window, project, *driver); },
                             [&](QDialog* dialog) {
                                 button(dialog, "&Add")->click();
                                 press(dialog, QDialogButtonBox::Cancel);
                             });
    }
    // The message editor's ranges taken by the driver's OK, the field's properties cancelled.
    bool messages() {
        return inFieldDialog(
            kMessageField,
            [&](HWND fieldDialog) {
                WhenQtDialogOpens([](QDialog* editor) {
                    AddRange(editor, 0, 1, "Off");
                    Press(editor, QDialogButtonBox::Ok);
                });
                user->click(fieldDialog, dlg::kMessageButton);
                user->click(fieldDialog, IDOK);
            },
            QDialogButtonBox::Cancel);
    }
    // The ranges edited, the driver's dialog cancelled, the properties' OK.
    bool messagesOfACancelledFieldDialog() {
        return inFieldDialog(kMessageField, [&](HWND fieldDialog) {
            WhenQtDialogOpens([](QDialog* editor) {
                AddRange(editor, 0, 1, "Off");
                Press(editor, QDialogButtonBox::Ok);
            });
            user->click(fieldDialog, dlg::kMessageButton);
            user->click(fieldDialog, IDCANCEL);
        });
    }
    bool index() {
        return inFieldDialog(
            kFirstField,
            [&](HWND fieldDialog) {
                WhenQtDialogOpens([](QDialog* editor) {
                    editor->findChildren<QRadioButton*>().back()->click();
                    Press(editor, QDialogButtonBox::Ok);
                });
                user->click(fieldDialog, dlg::kIndexedButton);
                user->click(fieldDialog, IDOK);
            },
            QDialogButtonBox::Cancel);
    }
    bool specialCharacter() {
        return driveCore<bool>(
            [&] { return EditAlarms(&window, project, *driver); },
            [&](HWND dialog) {
                WhenQtDialogOpens([](QDialog* picker) { Press(picker, QDialogButtonBox::Ok); });
                user->click(dialog, dlg::kAlarmSpecialChars);
                user->click(dialog, IDCANCEL);
            });
    }
    bool newTag() {
        return driveQt<bool>([&] { return NewTag(&window, project, *driver, std::nullopt, false); },
                             [&](QDialog* dialog) {
                                 dialog->findChild<QLineEdit*>("name")->setText("Flow");
                                 press(dialog, QDialogButtonBox::Cancel);
                             });
    }
    bool tagProperties() {
        return driveQt<bool>([&] { return EditTagAt(&window, project, *driver, 0); },
                             [&](QDialog* dialog) {
                                 dialog->findChild<QLineEdit*>("name")->setText("Renamed");
                                 press(dialog, QDialogButtonBox::Cancel);
                             });
    }
    bool tagDeletedWithNo() {
        answers = {IDNO};
        return DeleteTagAt(&window, project, *driver, 0);
    }
    bool network() {
        return driveQt<bool>([&] { return EditNetwork(&window, project, *driver); },
                             [&](QDialog* dialog) {
                                 button(dialog, "&Add")->click();
                                 button(dialog, "&Add")->click();
                                 press(dialog, QDialogButtonBox::Cancel);
                             });
    }
};

TEST_P(CancelEveryDialog, LeavesEveryByteOfTheProjectAsItWas) {
    (void)image();  // the first save settles what loading leaves unsaved
    const host::Bytes before = image();
    EXPECT_FALSE((this->*GetParam().run)());
    EXPECT_EQ(DifferingBytes(before, image()), std::vector<std::size_t>{});
}

INSTANTIATE_TEST_SUITE_P(
    Hosted, CancelEveryDialog,
    ::testing::Values(CancelCase{"FieldProperties", &CancelEveryDialog::fieldProperties},
                      CancelCase{"FieldTag", &CancelEveryDialog::fieldTag},
                      CancelCase{"Alarms", &CancelEveryDialog::alarms},
                      CancelCase{"PlcSetup", &CancelEveryDialog::plcSetup},
                      CancelCase{"Passwords", &CancelEveryDialog::passwords},
                      CancelCase{"Recipe", &CancelEveryDialog::recipe},
                      CancelCase{"Languages", &CancelEveryDialog::languages},
                      CancelCase{"Network", &CancelEveryDialog::network},
                      CancelCase{"Messages", &CancelEveryDialog::messages},
                      CancelCase{"MessagesOfACancelledFieldDialog",
                                 &CancelEveryDialog::messagesOfACancelledFieldDialog},
                      CancelCase{"Index", &CancelEveryDialog::index},
                      CancelCase{"SpecialCharacter", &CancelEveryDialog::specialCharacter},
                      CancelCase{"NewTag", &CancelEveryDialog::newTag},
                      CancelCase{"TagProperties", &CancelEveryDialog::tagProperties},
                      CancelCase{"TagDeletedWithNo", &CancelEveryDialog::tagDeletedWithNo}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kestra::workbench::testing
