#include "extension_classes/value_managers.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QWidget>
#include <QtTest/QTest>

#include "extension_classes/spin_button.h"
#include "kxc_test_support.h"

namespace kestra::testing {
namespace {

// A dialog with a text box and a spin button, numbered as a dialog template would.
struct Controls {
    Controls() {
        edit = new QLineEdit(&dialog);
        spin = new KXCSpinButton(&dialog);
        KXCSetControlId(edit, 1001);
        KXCSetControlId(spin, 1002);
    }
    struct ApplicationFirst {
        ApplicationFirst() { Application(); }
    } application;
    QWidget dialog;
    QLineEdit* edit;
    KXCSpinButton* spin;
};

// Types a text and leaves the box, as a user does.
void Type(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    emit edit->editingFinished();
}

TEST(BaudRateMgr, NearestSeriesValue) {
    EXPECT_EQ(KXCBaudRateMgr::NearestBaudRate(225), 300);
    EXPECT_EQ(KXCBaudRateMgr::NearestBaudRate(224), 150);
    EXPECT_EQ(KXCBaudRateMgr::NearestBaudRate(100000), 76800);
    EXPECT_EQ(KXCBaudRateMgr::NearestBaudRate(150), 150);
    EXPECT_EQ(KXCBaudRateMgr::NearestBaudRate(0), 150);
    EXPECT_EQ(KXCBaudRateMgr::NearestBaudRate(-5), 150);
    EXPECT_EQ(KXCBaudRateMgr::NearestBaudRate(9600), 9600);
    EXPECT_EQ(KXCBaudRateMgr::NearestBaudRate(14400), 19200);  // halfway goes up
    EXPECT_EQ(KXCBaudRateMgr::NearestBaudRate(14399), 9600);
    EXPECT_EQ(KXCBaudRateMgr::NearestBaudRate(0x7FFFFFFF), 150 << 23);
}

TEST(BaudRateMgr, NumericRangeStepsAndWraps) {
    Controls c;
    KXCBaudRateMgr mgr;
    ASSERT_TRUE(mgr.SubClassControls(1002, 1001, &c.dialog));
    EXPECT_EQ(c.spin->GetLower(), 0);
    EXPECT_EQ(c.spin->GetUpper(), 100);
    EXPECT_EQ(c.spin->GetBuddy(), c.edit);
    mgr.SetBaudRateRange(100, 20000);
    EXPECT_EQ(mgr.GetLower(), 150);
    EXPECT_EQ(mgr.GetUpper(), 19200);
    mgr.SetBaudRate(100000);
    EXPECT_EQ(mgr.GetBaudRate(), 19200);
    EXPECT_EQ(c.edit->text(), "19200");
    c.spin->Step(1);  // above the upper bound: the lower one
    EXPECT_EQ(c.edit->text(), "150");
    c.spin->Step(-1);  // below the lower bound: the upper one
    EXPECT_EQ(mgr.GetBaudRate(), 19200);
    c.spin->Step(-1);
    EXPECT_EQ(c.edit->text(), "9600");
    QTest::keyClick(c.edit, Qt::Key_Up);
    EXPECT_EQ(c.edit->text(), "19200");
}

TEST(BaudRateMgr, TypedTexts) {
    Controls c;
    KXCBaudRateMgr mgr;
    ASSERT_TRUE(mgr.SubClassControls(c.spin, c.edit));
    mgr.SetBaudRateRange(300, 38400);
    mgr.SetBaudRate(9600);
    Type(c.edit, "4000 baud");
    EXPECT_EQ(mgr.GetBaudRate(), 4800);
    Type(c.edit, "");
    EXPECT_EQ(mgr.GetBaudRate(), 300);
    Type(c.edit, "-9600");
    EXPECT_EQ(mgr.GetBaudRate(), 300);
    Type(c.edit, "99999999999999999999");
    EXPECT_EQ(mgr.GetBaudRate(), 38400);
    Type(c.edit, "fast");
    EXPECT_EQ(mgr.GetBaudRate(), 300);
    EXPECT_EQ(c.edit->text(), "300");
    // A text changed but not yet left is read on the next step instead of stepping.
    c.edit->setText("1200");
    c.spin->Step(1);
    EXPECT_EQ(mgr.GetBaudRate(), 1200);
    c.spin->Step(1);
    EXPECT_EQ(mgr.GetBaudRate(), 2400);
}

TEST(BaudRateMgr, IndexMode) {
    Controls c;
    KXCBaudRateMgr mgr;
    ASSERT_TRUE(mgr.SubClassControls(c.spin, c.edit));
    mgr.SetBaudRateMode(BAUDRATE_INDEX);
    mgr.SetBaudRateRange(3, 9);
    mgr.SetBaudRate(6);
    EXPECT_EQ(c.edit->text(), "9600");
    c.spin->Step(1);
    EXPECT_EQ(mgr.GetBaudRate(), 7);
    EXPECT_EQ(c.edit->text(), "19200");
    Type(c.edit, "57600");
    EXPECT_EQ(mgr.GetBaudRate(), 9);
    c.spin->Step(1);
    EXPECT_EQ(c.edit->text(), "1200");
    Type(c.edit, "300");  // below the range: kept
    EXPECT_EQ(mgr.GetBaudRate(), 3);
    EXPECT_EQ(c.edit->text(), "1200");
    Type(c.edit, "4800 ");  // names compare exactly
    EXPECT_EQ(mgr.GetBaudRate(), 3);
    mgr.SetBaudRate(42);  // index mode takes values unchanged; no name shows for them
    EXPECT_EQ(c.edit->text(), "");
}

TEST(TimerMgr, BothUnitsStepAcrossTheBoundary) {
    Controls c;
    KXCTimerMgr mgr;
    ASSERT_TRUE(mgr.SubClassControls(c.spin, c.edit));
    mgr.SetTimerMode(TIMER_BOTH);
    mgr.SetTimerPos(990, TIMER_MSEC);
    EXPECT_EQ(c.edit->text(), "990 msec");
    c.spin->Step(1);
    EXPECT_EQ(mgr.GetTimerUnit(), TIMER_SEC);
    EXPECT_EQ(mgr.GetTimerPos(), 1);
    EXPECT_EQ(c.edit->text(), "1 sec");
    c.spin->Step(-1);
    EXPECT_EQ(c.edit->text(), "990 msec");
    mgr.SetTimerPos(127, TIMER_SEC);
    c.spin->Step(1);
    EXPECT_EQ(c.edit->text(), "10 msec");
    c.spin->Step(-1);
    EXPECT_EQ(c.edit->text(), "127 sec");
}

TEST(TimerMgr, MillisecondsOnlyShowsWholeSeconds) {
    Controls c;
    KXCTimerMgr mgr;
    ASSERT_TRUE(mgr.SubClassControls(c.spin, c.edit));
    mgr.SetTimerMode(TIMER_MSEC_ONLY);
    mgr.SetRangeStepMiliSec(10, 5000, 10);
    EXPECT_EQ(c.spin->GetLower(), 1);
    EXPECT_EQ(c.spin->GetUpper(), 100);
    mgr.SetTimerPos(2000, TIMER_SEC);  // mode 2 keeps milliseconds
    EXPECT_EQ(mgr.GetTimerUnit(), TIMER_MSEC);
    EXPECT_EQ(c.edit->text(), "2 sec");
    Type(c.edit, "0.5 s");
    EXPECT_EQ(mgr.GetTimerPos(), 500);
    EXPECT_EQ(c.edit->text(), "500 msec");
    ASSERT_EQ(c.spin->GetAccel().size(), 5u);
    EXPECT_EQ(c.spin->GetAccel()[4].increment, 250);

    KXCTimerMgr plain;
    plain.SetTimerMode(TIMER_MSEC_ONLY);
    plain.ParseUserData("1.5 s");  // 1500, clamped to the default upper bound
    EXPECT_EQ(plain.GetTimerPos(), 990);
    EXPECT_EQ(plain.GetLastText(), "990 msec");
}

TEST(TimerMgr, TypedTextsRoundToTheStepAndClamp) {
    KXCTimerMgr mgr;
    mgr.SetTimerPos(100, TIMER_MSEC);
    mgr.ParseUserData("25");
    EXPECT_EQ(mgr.GetTimerPos(), 20);
    mgr.ParseUserData("26");
    EXPECT_EQ(mgr.GetTimerPos(), 30);
    EXPECT_EQ(mgr.GetLastText(), "30 msec");
    mgr.ParseUserData("5 sec");
    EXPECT_EQ(mgr.GetTimerUnit(), TIMER_SEC);
    EXPECT_EQ(mgr.GetLastText(), "5 sec");
    mgr.ParseUserData("");
    EXPECT_EQ(mgr.GetTimerPos(), 1);
    mgr.ParseUserData("-40");
    EXPECT_EQ(mgr.GetTimerPos(), 1);
    mgr.ParseUserData("1e99999");
    EXPECT_EQ(mgr.GetTimerPos(), 1);
    mgr.ParseUserData("99999999999999999999 s");
    EXPECT_EQ(mgr.GetTimerPos(), 127);
    mgr.ParseUserData("40 M");
    EXPECT_EQ(mgr.GetTimerUnit(), TIMER_MSEC);
    EXPECT_EQ(mgr.GetTimerPos(), 40);

    KXCTimerMgr secondsOnly;
    secondsOnly.SetTimerMode(TIMER_SEC_ONLY);
    secondsOnly.ParseUserData("250 msec");  // the unit stays seconds
    EXPECT_EQ(secondsOnly.GetTimerUnit(), TIMER_SEC);
    EXPECT_EQ(secondsOnly.GetTimerPos(), 127);
    secondsOnly.IncDecPos(1);  // wraps without changing unit
    EXPECT_EQ(secondsOnly.GetTimerPos(), 1);
    EXPECT_EQ(secondsOnly.GetLastText(), "1 sec");

    KXCTimerMgr unknownMode;
    unknownMode.SetTimerMode(5);
    unknownMode.SetTimerPos(3, TIMER_SEC);
    EXPECT_EQ(unknownMode.GetLastText(), "");
    KXCTimerMgr zeroStep;
    zeroStep.SetRangeStepSec(0, 10, 0);
    zeroStep.SetTimerPos(7, TIMER_SEC);
    EXPECT_EQ(zeroStep.GetTimerPos(), 7);
}

TEST(TimerMgr, PanelBytes) {
    KXCTimerMgr mgr;
    mgr.SetTimerPos(5, TIMER_SEC);
    EXPECT_EQ(mgr.GetKestraFlaggedByte(), 0x85);
    mgr.SetTimerPos(250, TIMER_MSEC);
    EXPECT_EQ(mgr.GetKestraFlaggedByte(), 25);
    EXPECT_EQ(mgr.GetKestraByte(), 25);
    EXPECT_EQ(mgr.GetKestraWord(), 250);
    mgr.SetKestraByte(25);
    EXPECT_EQ(mgr.GetTimerUnit(), TIMER_MSEC);
    EXPECT_EQ(mgr.GetTimerPos(), 250);
    mgr.SetKestraByte(0x85);
    EXPECT_EQ(mgr.GetTimerUnit(), TIMER_SEC);
    EXPECT_EQ(mgr.GetTimerPos(), 5);
    mgr.SetKestraByte(0);  // 0 ms: clamped to the lowest 10 ms
    EXPECT_EQ(mgr.GetTimerPos(), 10);
    EXPECT_EQ(mgr.GetKestraFlaggedByte(), 1);
    // The byte of every position survives the round trip.
    for (int seconds = 1; seconds <= 127; ++seconds) {
        mgr.SetTimerPos(seconds, TIMER_SEC);
        KXCTimerMgr back;
        back.SetKestraByte(mgr.GetKestraFlaggedByte());
        ASSERT_EQ(back.GetTimerPos(), seconds);
        ASSERT_EQ(back.GetTimerUnit(), TIMER_SEC);
    }
    for (int ms = 10; ms <= 990; ms += 10) {
        mgr.SetTimerPos(ms, TIMER_MSEC);
        KXCTimerMgr back;
        back.SetKestraByte(mgr.GetKestraFlaggedByte());
        ASSERT_EQ(back.GetTimerPos(), ms);
    }
}

TEST(TimerMgr, EnableAndMissingControls) {
    Controls c;
    KXCTimerMgr mgr;
    EXPECT_FALSE(mgr.SubClassControls(4711, 1001, &c.dialog));
    EXPECT_FALSE(mgr.SubClassControls(1002, 1001, nullptr));
    ASSERT_TRUE(mgr.SubClassControls(1002, 1001, &c.dialog));
    mgr.Enable(FALSE);
    EXPECT_FALSE(c.edit->isEnabled());
    EXPECT_FALSE(c.spin->isEnabled());
    mgr.Enable(TRUE);
    EXPECT_TRUE(c.spin->isEnabled());
    EXPECT_EQ(mgr.GetStepValue(), 1);
    EXPECT_EQ(mgr.GetLowerValue(), 1);
    EXPECT_EQ(mgr.GetUpperValue(), 127);
}

}  // namespace
}  // namespace kestra::testing
