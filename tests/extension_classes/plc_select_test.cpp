#include "extension_classes/plc_select.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QTest>

#include "extension_classes/kxc_message.h"
#include "extension_classes/plc_info.h"
#include "kxc_test_support.h"
#include "platform/module.h"

namespace kestra::testing {
namespace {

// Answers every message box with scripted answers and keeps the texts asked.
class Answers {
  public:
    Answers() {
        previous_ =
            KXCSetMessageAnswerer([this](QWidget*, const QString& text, const QString&, UINT type) {
                asked.push_back(text.toStdString());
                types.push_back(type);
                if (script.empty()) return IDCANCEL;
                const int answer = script.front();
                script.erase(script.begin());
                return answer;
            });
    }
    ~Answers() { KXCSetMessageAnswerer(previous_); }
    std::vector<int> script;
    std::vector<std::string> asked;
    std::vector<UINT> types;

  private:
    KXCMessageAnswerer previous_;
};

constexpr const char* kSwitching =
    "You are switching to a different controller. Address information may be lost. Continue ?";

// Drivers: two ordinary ones, an internal one (hidden in the control) and a client.
struct Installed {
    Installed() {
        Application();
        for (const char* name : {"K32PLC15", "K32PLC30", "K32PLC107", "K32PLC2A"})
            folder.AddFake(name);
        list.SetScanFolder(folder.path());
        list.InsertClientInfo(TRUE);
        EXPECT_EQ(list.Load(TRUE), 1);
    }
    ~Installed() {
        if (current) FreeLibrary(current);
    }
    HINSTANCE Current(const std::string& name) {
        current = LoadLibrary((folder.path() + "/" + name + ".so").c_str());
        return current;
    }
    RegistryScope registry;
    DriverFolder folder;
    CPlcInfoList list{"TarvelFabricon\\"};
    HINSTANCE current = nullptr;
};

QStringList rows(const CPlcListCtl& control, int column) {
    QStringList texts;
    for (int row = 0; row < control.topLevelItemCount(); ++row)
        texts << control.topLevelItem(row)->text(column);
    return texts;
}

QPushButton* button(QWidget& dialog, const QString& text) {
    for (auto* b : dialog.findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

QRadioButton* radio(QWidget& dialog, const QString& text) {
    for (auto* r : dialog.findChildren<QRadioButton*>())
        if (r->text() == text) return r;
    return nullptr;
}

TEST(PlcListCtl, ColumnsHiddenEntriesAndSorting) {
    Installed installed;
    CPlcListCtl control;
    control.resize(400, 200);
    control.show();
    ASSERT_EQ(control.columnCount(), 4);
    EXPECT_EQ(control.headerItem()->text(0), "Name");
    EXPECT_EQ(control.headerItem()->text(1), "Driver Version");
    EXPECT_EQ(control.headerItem()->text(2), "DLL Name");
    EXPECT_EQ(control.headerItem()->text(3), "DLL Version");
    const int width = control.viewport()->width();
    EXPECT_EQ(control.columnWidth(0), width * 35 / 100);
    EXPECT_EQ(control.columnWidth(1), width * 15 / 100);

    control.UpdateDriverList(&installed.list);
    EXPECT_EQ(rows(control, 0),
              (QStringList{"Client A", "Fake Internal", "Fake One Five", "Fake Three"}));
    control.HideInternalControllers(true);
    control.HideClients(true);
    control.UpdateDriverList(&installed.list);
    EXPECT_EQ(rows(control, 0), (QStringList{"Fake One Five", "Fake Three"}));
    EXPECT_EQ(rows(control, 1), (QStringList{"1.05", "0.00"}));
    EXPECT_EQ(rows(control, 3), (QStringList{"1.00", "3.00"}));

    control.SortByColumn(0);  // the name column counts as sorted: reverse it
    EXPECT_EQ(rows(control, 0), (QStringList{"Fake Three", "Fake One Five"}));
    control.SortByColumn(1);  // another column keeps the direction (descending)
    EXPECT_EQ(rows(control, 1), (QStringList{"1.05", "0.00"}));
    control.SortByColumn(1);
    EXPECT_EQ(rows(control, 1), (QStringList{"0.00", "1.05"}));

    control.SetSelectedDriver(std::string("K32PLC30.so"));
    EXPECT_EQ(control.GetSelectedDriverDll(), "K32PLC30.so");
    control.SortByColumn(2);
    EXPECT_EQ(control.GetSelectedDriverDll(), "K32PLC30.so");
    control.DeleteDriverItem(control.GetSelectedDriver());
    EXPECT_EQ(control.topLevelItemCount(), 1);
    EXPECT_EQ(control.GetSelectedDriver(), nullptr);
    control.ClearSelections();
    EXPECT_EQ(control.GetSelectedDriverDll(), "");
}

TEST(PlcSelectDlg, OpensOnTheCurrentDriver) {
    Installed installed;
    CPlcSelectDlg dialog(&installed.list, installed.Current("K32PLC15"), PLCMODE_BOTH, TRUE);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Select controller");
    EXPECT_EQ(dialog.GetListCtl()->GetSelectedDriverDll(), "K32PLC15.so");
    EXPECT_EQ(dialog.GetMode(), PLCMODE_BOTH);
    EXPECT_TRUE(radio(dialog, "Internal + External controllers")->isChecked());
    EXPECT_TRUE(radio(dialog, "External controller ony")->isEnabled());
    bool shown = false;
    for (auto* label : dialog.findChildren<QLabel*>()) shown |= label->text() == "Fake One Five";
    EXPECT_TRUE(shown);
    EXPECT_TRUE(button(dialog, "&Remove")->isEnabled());
    EXPECT_TRUE(dialog.GetListCtl()->hasFocus() || !QApplication::focusWidget());

    // Same project code: OK closes at once.
    Answers answers;
    button(dialog, "&OK")->click();
    EXPECT_TRUE(answers.asked.empty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.GetSelectedDriverDll(), "K32PLC15.so");
}

TEST(PlcSelectDlg, WithoutTheInternalDriverTheModeIsExternal) {
    Installed installed;
    installed.list.DeleteItem(installed.list.FindVersion(107), FALSE);
    CPlcSelectDlg dialog(&installed.list, nullptr, PLCMODE_INTERNAL, TRUE);
    dialog.show();
    EXPECT_EQ(dialog.GetMode(), PLCMODE_EXTERNAL);
    EXPECT_TRUE(radio(dialog, "External controller ony")->isChecked());
    for (auto* r : dialog.findChildren<QRadioButton*>()) EXPECT_FALSE(r->isEnabled());

    Installed offered;
    CPlcSelectDlg notOffered(&offered.list, nullptr, PLCMODE_BOTH, FALSE);
    notOffered.show();
    EXPECT_EQ(notOffered.GetMode(), PLCMODE_EXTERNAL);
}

TEST(PlcSelectDlg, InternalModeNeedsNoDriver) {
    Installed installed;
    CPlcSelectDlg dialog(&installed.list, nullptr, PLCMODE_EXTERNAL, TRUE);
    dialog.show();
    EXPECT_FALSE(button(dialog, "&OK")->isEnabled());
    EXPECT_FALSE(button(dialog, "&Remove")->isEnabled());
    radio(dialog, "Internal controller only")->click();
    EXPECT_EQ(dialog.GetMode(), PLCMODE_INTERNAL);
    EXPECT_TRUE(button(dialog, "&OK")->isEnabled());
    EXPECT_FALSE(dialog.GetListCtl()->isEnabled());
    // No current driver: OK always asks, and Cancel keeps the dialog open.
    Answers answers;
    answers.script = {IDCANCEL, IDOK};
    button(dialog, "&OK")->click();
    ASSERT_EQ(answers.asked, std::vector<std::string>{kSwitching});
    EXPECT_EQ(answers.types[0] & MB_TYPEMASK, MB_OKCANCEL);
    EXPECT_TRUE(dialog.isVisible());
    button(dialog, "&OK")->click();
    EXPECT_EQ(answers.asked.size(), 2u);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.GetSelectedDriverDll(), "");
}

TEST(PlcSelectDlg, SwitchingAsksAndModeChangesAsk) {
    Installed installed;
    CPlcSelectDlg dialog(&installed.list, installed.Current("K32PLC15"), PLCMODE_EXTERNAL, TRUE);
    dialog.show();
    Answers answers;
    dialog.GetListCtl()->SetSelectedDriver(std::string("K32PLC30.so"));
    button(dialog, "&OK")->click();  // another project code and compatibility "A" = "A"
    EXPECT_TRUE(answers.asked.empty());
    EXPECT_EQ(dialog.GetSelectedDriverDll(), "K32PLC30.so");

    CPlcSelectDlg modeChange(&installed.list, installed.current, PLCMODE_EXTERNAL, TRUE);
    modeChange.show();
    radio(modeChange, "Internal controller only")->click();
    button(modeChange, "&OK")->click();
    EXPECT_EQ(answers.asked, std::vector<std::string>{kSwitching});
    EXPECT_TRUE(modeChange.isVisible());
    radio(modeChange, "Internal + External controllers")->click();  // 0 <-> 2 does not ask
    button(modeChange, "&OK")->click();
    EXPECT_EQ(answers.asked.size(), 1u);
    EXPECT_FALSE(modeChange.isVisible());
}

TEST(PlcSelectDlg, RemoveRefusesTheLoadedDriverAndAsksForOthers) {
    Installed installed;
    CPlcSelectDlg dialog(&installed.list, installed.Current("K32PLC15"), PLCMODE_EXTERNAL, TRUE);
    dialog.show();
    Answers answers;
    button(dialog, "&Remove")->click();
    ASSERT_EQ(answers.asked,
              std::vector<std::string>{"Can not remove the driver that is currently loaded."});
    EXPECT_EQ(installed.list.GetCount(), 4);

    const std::string question =
        "The driver will be removed from this list. \nDo you want to permanently  delete the "
        "driver from the hard disk?";
    answers.asked.clear();
    answers.types.clear();
    answers.script = {IDCANCEL, IDNO};
    dialog.GetListCtl()->SetSelectedDriver(std::string("K32PLC30.so"));
    button(dialog, "&Remove")->click();
    ASSERT_EQ(answers.asked, std::vector<std::string>{question});
    EXPECT_EQ(answers.types[0] & (MB_TYPEMASK | MB_DEFMASK), MB_YESNOCANCEL | MB_DEFBUTTON2);
    EXPECT_EQ(installed.list.GetCount(), 4);
    button(dialog, "&Remove")->click();  // No: off the list, file kept
    EXPECT_EQ(installed.list.FindDLL("K32PLC30.so"), nullptr);
    EXPECT_TRUE(installed.folder.Has("K32PLC30.so"));
    EXPECT_EQ(rows(*dialog.GetListCtl(), 2), QStringList{"K32PLC15.so"});
    EXPECT_EQ(dialog.GetListCtl()->GetSelectedDriverDll(), "K32PLC15.so");

    // Refresh rescans the folder: the driver is back.
    button(dialog, "Re&fresh")->click();
    EXPECT_EQ(rows(*dialog.GetListCtl(), 2), (QStringList{"K32PLC15.so", "K32PLC30.so"}));
    EXPECT_EQ(dialog.GetListCtl()->GetSelectedDriverDll(), "K32PLC15.so");

    answers.script = {IDYES};
    dialog.GetListCtl()->SetSelectedDriver(std::string("K32PLC30.so"));
    button(dialog, "&Remove")->click();  // Yes: the file goes too
    EXPECT_FALSE(installed.folder.Has("K32PLC30.so"));
    button(dialog, "Re&fresh")->click();
    EXPECT_EQ(rows(*dialog.GetListCtl(), 2), QStringList{"K32PLC15.so"});
}

TEST(PlcSelectDlg, KeyboardReachesEveryControl) {
    Installed installed;
    CPlcSelectDlg dialog(&installed.list, installed.Current("K32PLC15"), PLCMODE_EXTERNAL, TRUE);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    dialog.GetListCtl()->setFocus();
    QWidget* start = QApplication::focusWidget();
    ASSERT_EQ(start, dialog.GetListCtl());
    std::vector<QWidget*> order;
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.push_back(QApplication::focusWidget());
    }
    auto has = [&](QWidget* w) { return std::find(order.begin(), order.end(), w) != order.end(); };
    EXPECT_TRUE(has(button(dialog, "&OK")));
    EXPECT_TRUE(has(button(dialog, "&Cancel")));
    EXPECT_TRUE(has(button(dialog, "&Remove")));
    EXPECT_TRUE(has(button(dialog, "Re&fresh")));
    EXPECT_TRUE(has(radio(dialog, "External controller ony")));

    // Arrow keys move between the mode buttons and set the mode.
    radio(dialog, "External controller ony")->setFocus();
    QTest::keyClick(radio(dialog, "External controller ony"), Qt::Key_Down);
    EXPECT_EQ(dialog.GetMode(), PLCMODE_INTERNAL);
    EXPECT_FALSE(dialog.GetListCtl()->isEnabled());
}

}  // namespace
}  // namespace kestra::testing
