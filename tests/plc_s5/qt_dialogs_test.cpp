// The driver's dialogs on the Qt host, offscreen: clicked and typed through as a user would,
// then the records they stored.
#include "support/qt_dialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

#include "platform/module.h"
#include "plc_s5/dialog_ids.h"
#include "plc_s5/k32plc1.h"
#include "s5_project.h"
#include "utilities/comm_params.h"
#include "windows/dialog.h"
#include "windows/input.h"
#include "windows/qt/qt_host.h"

namespace kp = kestra::platform;
using namespace kestra;
using namespace kestra::s5;
using namespace kestra::s5::dialog;
using kestra::s5::testing::MakeDataField;
using kestra::s5::testing::TestProject;

using kestra::testing::ClickToEnd;
using kestra::testing::ExpectEnabledAsTemplate;
using kestra::testing::ExpectTemplatePlaces;
using kestra::testing::OffscreenApplication;
using kestra::testing::PlaceCheck;

namespace {

HMODULE Driver() {
    return kp::ModuleOf(reinterpret_cast<const void*>(&PlcPrint));
}

class QtDriverDialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        OffscreenApplication();
        host_ = std::make_unique<kp::qt::QtHost>();
        user_.emplace(*host_);
        InitPlcDefaults(&project_.block(), nullptr, &project_.record().nodeA, nullptr, 0);
        InitPlcDefaults(&project_.block(), nullptr, &project_.record().nodeA, nullptr, 7);
    }
    void TearDown() override {
        user_.reset();
        host_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    INT_PTR drive(const std::function<INT_PTR()>& open, const std::function<void(HWND)>& steps) {
        return kestra::testing::DriveDialog<INT_PTR>(open, steps);
    }
    void expectTemplatePlaces(HWND dialog, const char* name) {
        ExpectTemplatePlaces(*host_, Driver(), dialog, name, PlaceCheck::kPlaceAndWidth);
    }

    std::unique_ptr<kp::qt::QtHost> host_;
    std::optional<kestra::testing::QtDialogUser> user_;
    TestProject project_;
};

TEST_F(QtDriverDialogs, SetupDialogClickedThrough) {
    PLCSETUPDLGCONTEXT context{};
    context.project = &project_.block();
    context.setup = project_.record().nodeA;
    context.projectOpen = 0;
    const INT_PTR result =
        drive([&] { return ExecPlcSetupDlg(nullptr, &context); },
              [&](HWND dialog) {
                  expectTemplatePlaces(dialog, MAKEINTRESOURCE(kSetupTemplate));
                  EXPECT_EQ(host_->widgetOf(dialog)->windowTitle(), "Simatic S5 - PLC Setup");
                  user_->pick(dialog, kModelCombo, "AG115 CPU 945");
                  user_->click(dialog, IDOK);
              });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(context.setup.model.get(), 2);
}

// "PLC &Comm ..." runs the communication dialog from inside the running setup dialog.
TEST_F(QtDriverDialogs, TheCommunicationDialogFromTheSetupDialogIsFullyUsable) {
    PLCSETUPDLGCONTEXT context{};
    context.project = &project_.block();
    context.setup = project_.record().nodeA;
    context.commParams = kBaudRateTexts;
    const int baudCode = context.setup.protocol & kBaudCodeMask;
    ASSERT_GT(baudCode, 0);
    bool ranInner = false;
    const INT_PTR result = drive(
        [&] { return ExecPlcSetupDlg(nullptr, &context); },
        [&](HWND setup) {
            QTimer::singleShot(0, [&] {
                ranInner = true;
                HWND comm = GetAncestor(GetFocus(), GA_ROOT);
                ASSERT_NE(comm, setup);
                EXPECT_EQ(host_->widgetOf(comm)->windowTitle(), "Communication Parameters Setup");
                const HMODULE utilities =
                    kp::ModuleOf(reinterpret_cast<const void*>(&ExecCommParameters));
                ExpectEnabledAsTemplate(*host_, comm,
                                        kp::FindDialogTemplate(utilities, "COMM_PARAMETERS"));
                auto* baud = dynamic_cast<QLabel*>(user_->widget(comm, 802));
                ASSERT_NE(baud, nullptr);
                EXPECT_EQ(baud->text(), kBaudRateTexts[baudCode]);
                user_->spin(comm, 801, false);
                EXPECT_EQ(baud->text(), kBaudRateTexts[baudCode - 1]);
                ClickToEnd(*host_, comm, IDOK);
            });
            user_->click(setup, kCommButton);
            ClickToEnd(*host_, setup, IDOK);
        });
    EXPECT_TRUE(ranInner);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(context.setup.protocol & kBaudCodeMask, baudCode - 1);
}

TEST_F(QtDriverDialogs, FieldDialogTypedAndClickedThrough) {
    FieldRecord field{};
    MakeDataField(field, 0, 0, kNumeric, kWord, 10, 10, 6);
    field.display.maximum = 100;
    _tagDEFIELD context{};
    context.version = kFieldContextVersion;
    context.field = &field;
    context.project = &project_.block();
    context.setup = &project_.record().nodeA;
    const INT_PTR result = drive([&] { return ExecPLCFieldDlg(nullptr, &context); },
                                 [&](HWND dialog) {
                                     expectTemplatePlaces(dialog, kFieldTemplate);
                                     user_->type(dialog, kDataBlockEdit, "300");
                                     EXPECT_EQ(user_->text(dialog, kDataBlockEdit), "2");
                                     user_->spin(dialog, kDataBlockSpin, false);
                                     EXPECT_EQ(user_->text(dialog, kDataBlockEdit), "255");
                                     user_->pick(dialog, kFormatCombo, "TIMER   [KT]");
                                     EXPECT_EQ(user_->text(dialog, kWidthEdit), "4");
                                     user_->type(dialog, kOffsetEdit, "7");
                                     EXPECT_EQ(user_->text(dialog, kAddressEdit), "DB255 DW7");
                                     user_->type(dialog, kMaximumEdit, "500");
                                     user_->click(dialog, kHighPriority);
                                     user_->click(dialog, IDOK);
                                 });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(field.plc.dataBlock, 255);
    EXPECT_EQ(field.plc.byteOffset.get(), 14);
    EXPECT_EQ(field.plc.dataFormat, kTimer);
    EXPECT_EQ(field.width, 4);
    EXPECT_EQ(field.display.maximum.get(), 500);
    EXPECT_EQ(field.plc.flags & uPLCADR::kHighPriority, uPLCADR::kHighPriority);
}

TEST_F(QtDriverDialogs, AlarmDialogTypedAndClickedThrough) {
    AlarmRecord* alarms = project_.addAlarms(1);
    alarms[0] = {kAlarmHasText, 1, project_.text("Pump failure"), {}};
    ALARMDLGCONTEXT context{};
    context.project = &project_.block();
    const INT_PTR result =
        drive([&] { return ExecAlarmDlg(nullptr, &context); },
              [&](HWND dialog) {
                  expectTemplatePlaces(dialog, kAlarmTemplate);
                  EXPECT_EQ(user_->text(dialog, kAlarmMessageEdit), "Pump failure");
                  user_->type(dialog, kAlarmNumberEdit, "0");
                  EXPECT_EQ(user_->text(dialog, kAlarmNumberEdit), "1");
                  user_->spin(dialog, kAlarmSpin, false);
                  EXPECT_EQ(user_->text(dialog, kAlarmNumberEdit), "256");
                  user_->type(dialog, kAlarmMessageEdit, "Last alarm");
                  user_->click(dialog, kAlarmOperatorAck);
                  user_->click(dialog, IDOK);
              });
    EXPECT_EQ(result, 1);
    ASSERT_EQ(project_.record().section2aCount.get(), 256);
    const auto* table =
        reinterpret_cast<const AlarmRecord*>(mem::Data(project_.record().section2a));
    EXPECT_EQ(project_.textOf(table[255].textId), "Last alarm");
    EXPECT_EQ(table[255].flags, kAlarmHasText | kOperatorAck);
    EXPECT_EQ(project_.textOf(table[0].textId), "Pump failure");
}

}  // namespace
