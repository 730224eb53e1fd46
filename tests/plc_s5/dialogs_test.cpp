// The driver's dialogs on the headless host: setup, field dialog, embedded page, alarms.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/module.h"
#include "plc_s5/dialog_ids.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/link_params.h"
#include "s5_project.h"
#include "utilities/controls.h"
#include "windows/input.h"
#include "windows/window_host.h"

using namespace kestra;
using namespace kestra::s5;
using namespace kestra::s5::dialog;
using kestra::platform::Click;
using kestra::platform::CloseByUser;
using kestra::platform::FocusByUser;
using kestra::platform::HeadlessHost;
using kestra::platform::PickItem;
using kestra::s5::testing::MakeDataField;
using kestra::s5::testing::TestProject;

namespace {

std::string TextOf(HWND dialog, int id) {
    char text[256] = "";
    GetDlgItemText(dialog, id, text, sizeof text);
    return text;
}

// Types into an edit box and leaves it, as a user tabbing on would.
void TypeInto(HWND dialog, int id, const char* text, int next = IDOK) {
    FocusByUser(GetDlgItem(dialog, id));
    SetDlgItemText(dialog, id, text);
    FocusByUser(GetDlgItem(dialog, next));
}

void Spin(HWND dialog, int spin, WORD direction) {
    SendMessage(dialog, kSpinStepMessage, reinterpret_cast<WPARAM>(GetDlgItem(dialog, spin)),
                direction);
}

// Picks the combo box item whose data is `data`.
void PickData(HWND dialog, int id, LONG_PTR data) {
    HWND combo = GetDlgItem(dialog, id);
    const auto count = static_cast<int>(SendMessage(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (SendMessage(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == data) {
            PickItem(combo, i);
            return;
        }
    ADD_FAILURE() << "no item with data " << data << " in control " << id;
}

std::vector<std::string> ComboTexts(HWND dialog, int id) {
    HWND combo = GetDlgItem(dialog, id);
    std::vector<std::string> texts;
    const auto count = static_cast<int>(SendMessage(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[64] = "";
        SendMessage(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        texts.emplace_back(text);
    }
    return texts;
}

void Press(HWND dialog, int id) {
    Click(GetDlgItem(dialog, id));
}

// --- setup dialog ---------------------------------------------------------------------------

class SetupDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        InitPlcDefaults(&project_.block(), nullptr, &project_.record().nodeA, nullptr, 0);
        InitPlcDefaults(&project_.block(), nullptr, &project_.record().nodeA, nullptr, 7);
        context_.project = &project_.block();
        context_.defaultSlaveAddress = 12;
        context_.setup = project_.record().nodeA;
        context_.projectOpen = 1;
    }
    std::vector<std::uint8_t> reservedAreas() {
        const auto* r = reinterpret_cast<const std::uint8_t*>(&project_.record());
        return {r + 83, r + 411};
    }

    HeadlessHost host_;
    TestProject project_;
    PLCSETUPDLGCONTEXT context_{};
};

TEST_F(SetupDialog, OpensWithTheModelsAndTakesTheChoiceOnOk) {
    context_.setup.flags = 0;  // slave address not set yet
    host_.script([&](HWND dialog) {
        char title[64];
        GetWindowText(dialog, title, sizeof title);
        EXPECT_STREQ(title, "Simatic S5 - PLC Setup");
        EXPECT_EQ(ComboTexts(dialog, kModelCombo),
                  (std::vector<std::string>{"AG90/100/115/135", "AG115 CPU 945"}));
        EXPECT_EQ(TextOf(dialog, kModelCombo), "AG90/100/115/135");
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, kCommButton)));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, kModelCombo)));
        EXPECT_EQ(context_.setup.slaveAddress.get(), 12);  // the context's default
        EXPECT_TRUE(context_.setup.flags & uPLCSETUP::kAddressSet);
        context_.projectOpen = 0;  // no question without a project
        PickItem(GetDlgItem(dialog, kModelCombo), 1);
        Press(dialog, IDOK);
    });
    EXPECT_EQ(ExecPlcSetupDlg(nullptr, &context_), 1);
    EXPECT_EQ(context_.setup.model.get(), 2);
    EXPECT_EQ(context_.setup.slaveAddress.get(), 10);  // a model change resets it
    EXPECT_TRUE(host_.messageBoxes().empty());
}

TEST_F(SetupDialog, OkKeepsASlaveAddressInRangeAndMendsOneOutside) {
    context_.setup.slaveAddress = 33;
    host_.script([&](HWND dialog) { Press(dialog, IDOK); });
    EXPECT_EQ(ExecPlcSetupDlg(nullptr, &context_), 1);
    EXPECT_EQ(context_.setup.slaveAddress.get(), 33);
    context_.setup.slaveAddress = 300;
    host_.script([&](HWND dialog) { Press(dialog, IDOK); });
    EXPECT_EQ(ExecPlcSetupDlg(nullptr, &context_), 1);
    EXPECT_EQ(context_.setup.slaveAddress.get(), 10);
}

TEST_F(SetupDialog, ModelChangeAnsweredNoChangesNothing) {
    const auto areas = reservedAreas();
    host_.answerMessageBoxes({IDNO});
    host_.script([&](HWND dialog) {
        PickItem(GetDlgItem(dialog, kModelCombo), 1);
        EXPECT_EQ(TextOf(dialog, kModelCombo), "AG90/100/115/135");
        Press(dialog, IDCANCEL);
    });
    EXPECT_EQ(ExecPlcSetupDlg(nullptr, &context_), 0);
    ASSERT_EQ(host_.messageBoxes().size(), 1u);
    EXPECT_EQ(host_.messageBoxes()[0].text,
              "Changing the model type will reset the reserved block addresses to default "
              "values. Continue ?");
    EXPECT_EQ(host_.messageBoxes()[0].type & MB_TYPEMASK, MB_YESNO);
    EXPECT_EQ(context_.setup.model.get(), 1);
    EXPECT_EQ(reservedAreas(), areas);
}

TEST_F(SetupDialog, ModelChangeAnsweredYesResetsTheReservedAreas) {
    host_.answerMessageBoxes({IDYES});
    host_.script([&](HWND dialog) {
        PickItem(GetDlgItem(dialog, kModelCombo), 1);
        Press(dialog, IDOK);
    });
    EXPECT_EQ(ExecPlcSetupDlg(nullptr, &context_), 1);
    EXPECT_EQ(context_.setup.model.get(), 2);
    const auto* r = reinterpret_cast<const std::uint8_t*>(&project_.record());
    EXPECT_EQ(r[115] | r[148] | r[185] | r[220], 0);  // mode 3: areas without sizes
}

TEST_F(SetupDialog, FixedNetworkHidesCommAndLocksTheModel) {
    context_.flags = kSetupNetworkFixed;
    host_.script([&](HWND dialog) {
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, kCommButton)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kModelCombo)));
        CloseByUser(dialog);
    });
    EXPECT_EQ(ExecPlcSetupDlg(nullptr, &context_), 0);
}

TEST_F(SetupDialog, CommButtonEditsTheSetupFlagsByte) {
    const char* const baud[] = {"150",  "300",  "600",   "1200", "2400",
                                "4800", "9600", "19200", "38400"};
    context_.commParams = baud;
    std::string inner;
    host_.script([&](HWND dialog) { Press(dialog, kCommButton); });
    host_.script([&](HWND comm) {
        char title[64];
        GetWindowText(comm, title, sizeof title);
        inner = title;
        Press(comm, IDCANCEL);
    });
    host_.script([&](HWND dialog) { Press(dialog, IDCANCEL); });
    EXPECT_EQ(ExecPlcSetupDlg(nullptr, &context_), 0);
    EXPECT_EQ(inner, "Communication Parameters Setup");
}

// --- field dialog ---------------------------------------------------------------------------

class FieldDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        InitPlcDefaults(&project_.block(), nullptr, &project_.record().nodeA, nullptr, 0);
        MakeDataField(field_, 2, 3, kNumeric, kWord, 10, 10, 5);
        field_.display.minimum = 0;
        field_.display.maximum = 1000;
        context_.version = kFieldContextVersion;
        context_.field = &field_;
        context_.project = &project_.block();
        context_.setup = &project_.record().nodeA;
    }

    HeadlessHost host_;
    TestProject project_;
    FieldRecord field_{};
    _tagDEFIELD context_{};
};

TEST_F(FieldDialog, AnIncompatibleContextIsRefusedWithoutTouchingTheField) {
    context_.version = 184;
    const FieldRecord before = field_;
    EXPECT_EQ(ExecPLCFieldDlg(nullptr, &context_), 0);
    ASSERT_EQ(host_.messageBoxes().size(), 1u);
    EXPECT_EQ(host_.messageBoxes()[0].text,
              "Incompatible Controller driver version. Try menu option <Change Controller "
              "Driver> and then press button <Find All>.");
    EXPECT_EQ(host_.messageBoxes()[0].caption, "");
    EXPECT_EQ(host_.messageBoxes()[0].icon(), MB_ICONINFORMATION);
    EXPECT_EQ(std::memcmp(&before, &field_, sizeof field_), 0);
    EXPECT_EQ(host_.unscriptedCloses(), 0);
}

TEST_F(FieldDialog, OpensWithTheFieldAndTheVersionInTheTitle) {
    host_.script([&](HWND dialog) {
        char title[128];
        GetWindowText(dialog, title, sizeof title);
        EXPECT_STREQ(title, "Siemens Simatic S5 Define Field ver. 1.19");
        EXPECT_EQ(TextOf(dialog, kDataTypeCombo), "Data Block");
        EXPECT_EQ(TextOf(dialog, kFormatCombo), "WORD(Bin)");
        EXPECT_EQ(ComboTexts(dialog, kFormatCombo),
                  (std::vector<std::string>{"BIT", "BYTE(Bin)", "WORD(Bin)", "DBLE WORD(Bin)",
                                            "TIMER   [KT]", "COUNTER [KZ]", "FLOAT   [KG]"}));
        EXPECT_EQ(TextOf(dialog, kDataBlockEdit), "10");
        EXPECT_EQ(TextOf(dialog, kOffsetEdit), "5");
        EXPECT_EQ(TextOf(dialog, kAddressEdit), "DB10 DW5");
        EXPECT_EQ(TextOf(dialog, kMaximumEdit), "1000");
        EXPECT_EQ(TextOf(dialog, kFieldTypeCombo), "NUMERIC");
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, kBitCombo)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kRightByte)));
        Press(dialog, IDOK);
    });
    EXPECT_EQ(ExecPLCFieldDlg(nullptr, &context_), 1);
}

TEST_F(FieldDialog, DataBlockTypedOutsideItsRangeBecomesTwoAndTheSpinWraps) {
    host_.script([&](HWND dialog) {
        TypeInto(dialog, kDataBlockEdit, "300");
        EXPECT_EQ(TextOf(dialog, kDataBlockEdit), "2");
        Spin(dialog, kDataBlockSpin, kSpinDown);
        EXPECT_EQ(TextOf(dialog, kDataBlockEdit), "255");
        Spin(dialog, kDataBlockSpin, kSpinUp);
        EXPECT_EQ(TextOf(dialog, kDataBlockEdit), "2");
        Spin(dialog, kDataBlockSpin, kSpinUp);
        EXPECT_EQ(TextOf(dialog, kAddressEdit), "DB3 DW5");
        Press(dialog, IDOK);
    });
    EXPECT_EQ(ExecPLCFieldDlg(nullptr, &context_), 1);
    EXPECT_EQ(field_.plc.dataBlock, 3);
}

TEST_F(FieldDialog, ElementSpinWrapsAtTheEndsOfItsRange) {
    field_.plc.byteOffset = 255 * 2;
    host_.script([&](HWND dialog) {
        EXPECT_EQ(TextOf(dialog, kOffsetEdit), "255");
        Spin(dialog, kOffsetSpin, kSpinUp);
        EXPECT_EQ(TextOf(dialog, kOffsetEdit), "0");
        PickData(dialog, kFormatCombo, kDword);
        Spin(dialog, kOffsetSpin, kSpinDown);
        EXPECT_EQ(TextOf(dialog, kOffsetEdit), "254");  // a double word needs two elements
        TypeInto(dialog, kOffsetEdit, "400");
        EXPECT_EQ(TextOf(dialog, kOffsetEdit), "0");
        Press(dialog, IDOK);
    });
    EXPECT_EQ(ExecPLCFieldDlg(nullptr, &context_), 1);
    EXPECT_EQ(field_.plc.byteOffset.get(), 0);
    EXPECT_EQ(field_.plc.dataFormat, kDword);
}

TEST_F(FieldDialog, TimerAndCounterFormatsLimitTheWidth) {
    field_.width = 6;
    host_.script([&](HWND dialog) {
        PickData(dialog, kFormatCombo, kTimer);
        EXPECT_EQ(TextOf(dialog, kWidthEdit), "4");
        PickData(dialog, kFormatCombo, kCounter);
        EXPECT_EQ(TextOf(dialog, kWidthEdit), "3");
        Press(dialog, IDOK);
    });
    EXPECT_EQ(ExecPLCFieldDlg(nullptr, &context_), 1);
    EXPECT_EQ(field_.width, 3);
}

TEST_F(FieldDialog, MessageFieldsAreAtMostOneHundredTwentyEightOrThePanelLine) {
    field_.display.fieldType = kMessage;
    field_.width = 200;
    host_.script([&](HWND dialog) { Press(dialog, IDOK); });
    EXPECT_EQ(ExecPLCFieldDlg(nullptr, &context_), 1);
    EXPECT_EQ(field_.width, 128);

    std::uint32_t lines[] = {640, 480};
    context_.lineWidths = lines;
    context_.lineCount = 2;
    context_.characterWidth = 8;
    field_.width = 200;
    host_.script([&](HWND dialog) {
        TypeInto(dialog, kWidthEdit, "0");  // 0 keeps the old width
        Press(dialog, IDOK);
    });
    EXPECT_EQ(ExecPLCFieldDlg(nullptr, &context_), 1);
    EXPECT_EQ(field_.width, 60);
}

TEST_F(FieldDialog, TypedAddressesAndButtonsReachTheField) {
    host_.script([&](HWND dialog) {
        TypeInto(dialog, kAddressEdit, "db12 d7.3");
        EXPECT_EQ(TextOf(dialog, kAddressEdit), "DB12 D7.3");
        EXPECT_EQ(TextOf(dialog, kFormatCombo), "BIT");
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, kBitCombo)));
        EXPECT_EQ(IsDlgButtonChecked(dialog, kRightByte), BST_CHECKED);
        TypeInto(dialog, kAddressEdit, "nonsense");
        EXPECT_EQ(TextOf(dialog, kAddressEdit), "DB12 D7.3");  // refused, shown again
        Press(dialog, kHighPriority);
        Press(dialog, kDynamic);
        Press(dialog, kBlink);
        Press(dialog, kReadWrite);
        Press(dialog, IDOK);
    });
    EXPECT_EQ(ExecPLCFieldDlg(nullptr, &context_), 1);
    EXPECT_EQ(field_.plc.dataBlock, 12);
    EXPECT_EQ(field_.plc.byteOffset.get(), 15);
    EXPECT_EQ(field_.plc.dataFormat, kBit);
    EXPECT_EQ(field_.plc.bit, 3);
    EXPECT_EQ(field_.plc.flags & uPLCADR::kHighPriority, uPLCADR::kHighPriority);
    EXPECT_EQ(field_.r50[12], 0x81);
    EXPECT_EQ(field_.display.access, 1);
}

TEST_F(FieldDialog, LimitsAndScalingAreReadAndClamped) {
    host_.script([&](HWND dialog) {
        TypeInto(dialog, kMaximumEdit, "70000");
        EXPECT_EQ(TextOf(dialog, kMaximumEdit), "65535");
        TypeInto(dialog, kScaleAEdit, "3");
        TypeInto(dialog, kScaleBEdit, "0");
        EXPECT_EQ(TextOf(dialog, kScaleBEdit), "1");
        Press(dialog, IDOK);
    });
    EXPECT_EQ(ExecPLCFieldDlg(nullptr, &context_), 1);
    EXPECT_EQ(field_.display.maximum.get(), 65535);
    EXPECT_EQ(field_.display.scaleA.get(), 3);
    EXPECT_EQ(field_.display.scaleB.get(), 1);
    EXPECT_TRUE(field_.display.format & sDISPFORMAT::kScaling);
}

TEST_F(FieldDialog, CancelDeleteAndClosingEndWithTheirResults) {
    host_.script([&](HWND dialog) { Press(dialog, kDeleteButton); });
    EXPECT_EQ(ExecPLCFieldDlg(nullptr, &context_), 0x8000);
    host_.script([&](HWND dialog) { CloseByUser(dialog); });
    EXPECT_EQ(ExecPLCFieldDlg(nullptr, &context_), 0);
    context_.flags = 0x3;
    host_.script([&](HWND dialog) {
        char title[128];
        GetWindowText(dialog, title, sizeof title);
        EXPECT_STREQ(title,
                     "Siemens Simatic S5 Define Field ver. 1.19 - Indexed Reference - Index");
        Press(dialog, IDCANCEL);
    });
    EXPECT_EQ(ExecPLCFieldDlg(nullptr, &context_), 0);
    EXPECT_EQ(context_.flags & 0x3, 0u);
}

TEST_F(FieldDialog, ReferenceOnlyFoldsTheDialogToItsFirstGroup) {
    RECT full{}, folded{};
    host_.script([&](HWND dialog) {
        GetWindowRect(dialog, &full);
        Press(dialog, IDCANCEL);
    });
    ExecPLCFieldDlg(nullptr, &context_);
    context_.flags = 1u << 20;
    host_.script([&](HWND dialog) {
        GetWindowRect(dialog, &folded);
        RECT group;
        GetWindowRect(GetDlgItem(dialog, kReferenceGroup), &group);
        EXPECT_LT(folded.bottom, group.bottom + 20);
        Press(dialog, IDCANCEL);
    });
    ExecPLCFieldDlg(nullptr, &context_);
    EXPECT_LT(folded.bottom - folded.top, full.bottom - full.top);
}

DWORD messageEditor(void* lists, HWND, void*) {
    const auto* counts = static_cast<const std::uint32_t*>(lists);
    return counts[0] == 2 ? 0x10 : 0x01;
}

TEST_F(FieldDialog, EditMessageCopiesTheListAndCallsTheEditor) {
    field_.display.fieldType = kMessage;
    field_.display.maximum = 5000;
    const std::uint16_t on = project_.text("ON"), off = project_.text("OFF");
    project_.setMessages(
        field_, {kestra::s5::testing::Range(0, 0, off), kestra::s5::testing::Range(1, 1, on)});
    context_.messageCallback = reinterpret_cast<void*>(&messageEditor);
    host_.script([&](HWND dialog) {
        Press(dialog, kMessageButton);
        Press(dialog, IDOK);
    });
    EXPECT_EQ(ExecPLCFieldDlg(nullptr, &context_), 1);
    EXPECT_EQ(context_.messageResult, 0x10);
    EXPECT_EQ(field_.display.maximum.get(), 1023);
    ASSERT_NE(context_.listCopies[0], 0u);
    EXPECT_EQ(StrTabReferenceCount(on, &project_.block()), 2u);
    GlobalFree(context_.listCopies[0]);
}

// --- the embedded page ----------------------------------------------------------------------

struct PageCall {
    HMODULE module;
    std::string name;
    HWND parent;
    DLGPROC procedure;
    LPARAM creation;
    DWORD value;
};
PageCall lastCall;
HWND editorDialog;

std::uintptr_t createPage(HMODULE module, const char* name, HWND parent, DLGPROC procedure,
                          LPARAM creation, DWORD value) {
    lastCall = {module, name, parent, procedure, creation, value};
    return reinterpret_cast<std::uintptr_t>(
        CreateDialogParam(module, name, editorDialog, procedure, creation));
}

std::vector<UINT> notifications;
LRESULT EditorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) notifications.push_back(reinterpret_cast<const NMHDR*>(lParam)->code);
    return DefWindowProc(window, message, wParam, lParam);
}

TEST_F(FieldDialog, TheEditorEmbedsThePageThroughItsCallback) {
    WNDCLASS editorClass{};
    editorClass.lpfnWndProc = EditorProc;
    editorClass.lpszClassName = "S5TestEditor";
    RegisterClass(&editorClass);
    editorDialog = CreateWindow("S5TestEditor", "Field", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400,
                                nullptr, nullptr, nullptr, nullptr);
    notifications.clear();
    std::memset(field_.plc.editor7, 0x5A, sizeof field_.plc.editor7);

    auto page = reinterpret_cast<HWND>(
        AttachPLCFieldDialog(&context_, reinterpret_cast<void*>(&createPage), nullptr, 77));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(lastCall.name, "FIELDREFPPG");
    EXPECT_EQ(lastCall.parent, nullptr);
    EXPECT_EQ(lastCall.procedure, &DefineLocalDBProc);
    EXPECT_EQ(lastCall.creation, reinterpret_cast<LPARAM>(&context_));
    EXPECT_EQ(lastCall.value, 77);
    EXPECT_EQ(lastCall.module,
              kestra::platform::ModuleOf(reinterpret_cast<const void*>(&PlcPrint)));
    EXPECT_EQ(GetParent(page), editorDialog);
    for (std::uint8_t b : field_.plc.editor7) EXPECT_EQ(b, 0);
    EXPECT_EQ(TextOf(page, kAddressEdit), "DB10 DW5");
    EXPECT_EQ(GetDlgItem(page, kFieldTypeCombo), nullptr);  // the first group only

    notifications.clear();
    TypeInto(page, kAddressEdit, "DB20 DW9", kDataBlockEdit);
    EXPECT_EQ(field_.plc.dataBlock, 20);
    EXPECT_EQ(notifications, std::vector<UINT>{2561});

    field_.plc.byteOffset = 40;  // the editor changed the field itself
    EXPECT_TRUE(ExpInitFieldControls(page, &context_, 0));
    EXPECT_EQ(TextOf(page, kAddressEdit), "DB20 DW20");
    EXPECT_EQ(AttachPLCFieldDialog(&context_, nullptr, nullptr, 0), 0u);
    context_.version = 184;
    EXPECT_FALSE(ExpInitFieldControls(page, &context_, 0));
    DestroyWindow(editorDialog);
}

// --- alarm dialog ---------------------------------------------------------------------------

class AlarmDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        AlarmRecord* alarms = project_.addAlarms(2);
        alarms[0] = {kAlarmHasText | kAckTime, 3, project_.text("Pump failure"), {}};
        alarms[1] = {kAlarmHasText | kOperatorAck | kDefinedAlarm, 9, project_.text("Low oil"), {}};
        WriteLe16(editorRecord_ + kEditorLengthLimitOffset, 40);
        context_.editorRecord = editorRecord_;
        context_.project = &project_.block();
    }
    AlarmRecord* table() {
        return reinterpret_cast<AlarmRecord*>(mem::Data(project_.record().section2a));
    }

    HeadlessHost host_;
    TestProject project_;
    std::uint8_t editorRecord_[1600] = {};
    ALARMDLGCONTEXT context_{};
};

TEST_F(AlarmDialog, NumbersOutsideTheRangeShowAlarmOneAndTheSpinWraps) {
    host_.script([&](HWND dialog) {
        EXPECT_EQ(TextOf(dialog, kAlarmNumberEdit), "1");
        EXPECT_EQ(TextOf(dialog, kAlarmMessageEdit), "Pump failure");
        EXPECT_EQ(TextOf(dialog, kAlarmPriorityEdit), "3");
        EXPECT_EQ(IsDlgButtonChecked(dialog, kAlarmAckTime), BST_CHECKED);
        EXPECT_EQ(TextOf(dialog, kAlarmRemaining), "28");
        TypeInto(dialog, kAlarmNumberEdit, "2");
        EXPECT_EQ(TextOf(dialog, kAlarmMessageEdit), "Low oil");
        TypeInto(dialog, kAlarmNumberEdit, "0");
        EXPECT_EQ(TextOf(dialog, kAlarmNumberEdit), "1");
        EXPECT_EQ(TextOf(dialog, kAlarmMessageEdit), "Pump failure");
        Spin(dialog, kAlarmSpin, kSpinDown);
        EXPECT_EQ(TextOf(dialog, kAlarmNumberEdit), "256");
        Spin(dialog, kAlarmSpin, kSpinUp);
        EXPECT_EQ(TextOf(dialog, kAlarmNumberEdit), "1");
        TypeInto(dialog, kAlarmNumberEdit, "999");
        EXPECT_EQ(TextOf(dialog, kAlarmNumberEdit), "1");
        Press(dialog, IDCANCEL);
    });
    EXPECT_EQ(ExecAlarmDlg(nullptr, &context_), 0);
    EXPECT_EQ(project_.record().section2aCount.get(), 2);
    EXPECT_EQ(GlobalSize(project_.record().section2a), 2 * sizeof(AlarmRecord));
    EXPECT_EQ(context_.workBuffer, nullptr);
}

TEST_F(AlarmDialog, OkWritesEveryAlarmBackAndCountsToTheLastWithText) {
    const std::uint16_t pump = table()[0].textId;
    host_.script([&](HWND dialog) {
        Spin(dialog, kAlarmSpin, kSpinUp);
        Spin(dialog, kAlarmSpin, kSpinUp);  // alarm 3, empty
        EXPECT_EQ(TextOf(dialog, kAlarmMessageEdit), "");
        TypeInto(dialog, kAlarmMessageEdit, "Door open", kAlarmPriorityEdit);
        SetDlgItemText(dialog, kAlarmPriorityEdit, "1000");  // four digits, one byte
        Press(dialog, kAlarmOnTime);
        Press(dialog, IDOK);
    });
    EXPECT_EQ(ExecAlarmDlg(nullptr, &context_), 1);
    ASSERT_EQ(project_.record().section2aCount.get(), 3);
    ASSERT_EQ(GlobalSize(project_.record().section2a), 3 * sizeof(AlarmRecord));
    const AlarmRecord* alarms = table();
    EXPECT_EQ(project_.textOf(alarms[2].textId), "Door open");
    EXPECT_EQ(alarms[2].flags, kAlarmHasText | kAlarmTime);
    EXPECT_EQ(alarms[2].priority, 255);
    EXPECT_EQ(alarms[1].flags, kAlarmHasText | kOperatorAck | kDefinedAlarm);  // bit 5 kept
    EXPECT_EQ(alarms[1].priority, 9);
    EXPECT_EQ(alarms[0].textId, pump);
    EXPECT_EQ(StrTabReferenceCount(pump, &project_.block()), 1u);
}

TEST_F(AlarmDialog, AnEmptiedAlarmIsDroppedAndTheOpeningQuestionCanRefuse) {
    host_.script([&](HWND dialog) {
        TypeInto(dialog, kAlarmNumberEdit, "2");
        TypeInto(dialog, kAlarmMessageEdit, "", kAlarmPriorityEdit);
        Press(dialog, IDOK);
    });
    EXPECT_EQ(ExecAlarmDlg(nullptr, &context_), 1);
    EXPECT_EQ(project_.record().section2aCount.get(), 1);

    context_.allowOpen = [](HWND) -> BOOL { return FALSE; };
    EXPECT_EQ(ExecAlarmDlg(nullptr, &context_), 0);
    EXPECT_EQ(project_.record().section2aCount.get(), 1);
    EXPECT_EQ(host_.unscriptedCloses(), 0);
}

std::vector<std::uintptr_t> specialCalls;
// Picks a character on the first call; the second call (the window with 0x10000 added)
// only ends the picking.
BOOL pickSpecial(HWND dialog) {
    specialCalls.push_back(reinterpret_cast<std::uintptr_t>(dialog));
    return specialCalls.size() == 1;
}

TEST_F(AlarmDialog, SpecialCharactersAreAppended) {
    context_.specialChars = pickSpecial;
    context_.specialText = "#";
    host_.script([&](HWND dialog) {
        Press(dialog, kAlarmSpecialChars);
        EXPECT_EQ(TextOf(dialog, kAlarmMessageEdit), "Pump failure#");
        EXPECT_EQ(specialCalls, (std::vector<std::uintptr_t>{
                                    reinterpret_cast<std::uintptr_t>(dialog),
                                    reinterpret_cast<std::uintptr_t>(dialog) + 0x10000}));
        Press(dialog, IDOK);
    });
    EXPECT_EQ(ExecAlarmDlg(nullptr, &context_), 1);
    EXPECT_EQ(project_.textOf(table()[0].textId), "Pump failure#");
}

}  // namespace
