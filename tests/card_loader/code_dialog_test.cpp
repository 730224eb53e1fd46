// The code selection dialog on the offscreen display, alone and inside a card loader run.
#include <gtest/gtest.h>
#include <utime.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "card_loader/card_loader.h"
#include "card_service/code_sel_dialog.h"
#include "card_service/kes_ssfdc_device.h"
#include "platform/message_box.h"
#include "support/card_reader_scope.h"
#include "support/temp_folder.h"

using kestra::testing::EnvironmentScope;
using kestra::testing::TempFolder;

namespace {

QApplication& Application() {
    static int argc = 1;
    static char name[] = "code_dialog_test";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication application(argc, argv);
    return application;
}

// Once the dialog shows, `act` gets it (to look at and to press a button in).
void WhenShown(std::function<void(QWidget&)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(*dialog);
        }
    });
    timer->start();
}

void Press(QWidget& dialog, const char* button) {
    dialog.findChild<QPushButton*>(button)->click();
}

QStringList Items(QWidget& dialog, const char* combo) {
    QStringList items;
    auto* box = dialog.findChild<QComboBox*>(combo);
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

// A code folder: two boot files (the second newer), a firmware file without a version.
struct CodeFolder {
    CodeFolder() {
        folder.write("boot_a.bin", "boot KVER:1.0\n");
        folder.write("boot_b.bin", "boot KVER:2.0\n");
        folder.write("firm.bin", "firmware");
        folder.write("notes.txt", "not code");
        const utimbuf older{1000000000, 1000000000};
        utime(folder.file("boot_a.bin").c_str(), &older);
    }
    TempFolder folder;
};

class CodeDialog : public ::testing::Test {
  protected:
    void SetUp() override { Application(); }
};

}  // namespace

TEST_F(CodeDialog, ListsTheCodeFilesOfEachKindAndReturnsTheChoice) {
    CodeFolder code;
    CCodeSelDialog dialog;
    dialog.SetPath((code.folder.path() + "\\").c_str());
    QStringList boot, firmware, mips;
    WhenShown([&](QWidget& shown) {
        boot = Items(shown, "bootCombo");
        firmware = Items(shown, "firmwareCombo");
        mips = Items(shown, "mipsCombo");
        shown.findChild<QComboBox*>("bootCombo")->setCurrentIndex(1);
        Press(shown, "downloadButton");
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(boot, (QStringList{"<Do not update>", "boot_a.bin  (1.0)", "boot_b.bin  (2.0)"}));
    EXPECT_EQ(firmware, (QStringList{"<Do not update>", "firm.bin"}));
    EXPECT_EQ(mips, (QStringList{"<Do not update>"}));
    EXPECT_EQ(dialog.m_Quit, 0);
    EXPECT_EQ(std::string(dialog.getBootFilename()), code.folder.file("boot_a.bin"));
    EXPECT_STREQ(dialog.getFirmwareFilename(), "<Do not update>");
    EXPECT_STREQ(dialog.getMIPSFilename(), "<Do not update>");
    EXPECT_STREQ(dialog.getMSERFilename(), "<Do not update>");
}

TEST_F(CodeDialog, NewestFlagPreselectsAndQuitAndCancelAreTold) {
    CodeFolder code;
    CCodeSelDialog dialog;
    dialog.SetPath(code.folder.path().c_str());
    dialog.SetFlags(CODESEL_NEWEST);
    WhenShown([](QWidget& shown) { Press(shown, "quitButton"); });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_Quit, 1);
    EXPECT_EQ(std::string(dialog.getBootFilename()), code.folder.file("boot_b.bin"));
    EXPECT_EQ(std::string(dialog.getFirmwareFilename()), code.folder.file("firm.bin"));

    WhenShown([](QWidget& shown) { Press(shown, "cancelButton"); });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.m_Quit, 0);
}

// The loader with a simulated 4 MB card, run inside this test program.
class CodeDialogInTheLoader : public CodeDialog {
  protected:
    int load(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "cardload");
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(a.data());
        return RunCardLoader(static_cast<int>(argv.size()), argv.data());
    }
    std::string version(KESTRACODETYPE kind) {
        CKesSSFDCDevice device((kestra::platform::ProgramFolder() + "/").c_str());
        device.initSSFDC(0x378);
        return device.getCodeVersion(kind, nullptr);
    }

    CodeFolder code;
    TempFolder windows;
    kestra::testing::WindowsFolderScope windowsFolder{windows.path()};
    EnvironmentScope reader{"KESTRA_CARD_READER", std::string("sim")};
    EnvironmentScope card{"KESTRA_SIM_CARD", windows.file("card.img")};
    EnvironmentScope type{"KESTRA_SIM_CARD_TYPE", std::string("0xE5")};
};

TEST_F(CodeDialogInTheLoader, ConfirmedChoiceIsDownloadedAfterTheCardIsFormatted) {
    std::string onCard;
    WhenShown([&](QWidget& shown) {
        onCard = shown.findChildren<QLabel*>().back()->text().toStdString();
        Press(shown, "downloadButton");
    });
    EXPECT_EQ(load({"/pathcode", code.folder.path(), "/flagcode", "1", "/code"}), 0);
    EXPECT_EQ(onCard, "On card: card not formatted");
    EXPECT_EQ(version(KESTRA_BOOT), "2.0");
    EXPECT_EQ(version(KESTRA_FIRMWARE), "no version");
    EXPECT_EQ(version(KESTRA_MIPS), "not on card");

    // With flag 2 as well, a kind whose newest file the card already holds is left alone.
    code.folder.write("boot_b.bin", "boot KVER:2.0\nchanged");
    QStringList chosen;
    WhenShown([&](QWidget& shown) {
        onCard = shown.findChildren<QLabel*>()[2]->text().toStdString();
        chosen << shown.findChild<QComboBox*>("bootCombo")->currentText()
               << shown.findChild<QComboBox*>("firmwareCombo")->currentText();
        Press(shown, "downloadButton");
    });
    EXPECT_EQ(load({"/pathcode", code.folder.path(), "/flagcode", "3", "/code"}), 0);
    EXPECT_EQ(chosen, (QStringList{"<Do not update>", "firm.bin"}));
    EXPECT_EQ(onCard, "On card: 2.0");
}

TEST_F(CodeDialogInTheLoader, QuitEndsTheRunAtOnceAndCancelSkipsTheDownload) {
    ASSERT_EQ(load({"/format"}), 0);
    WhenShown([](QWidget& shown) { Press(shown, "quitButton"); });
    EXPECT_EQ(load({"/pathcode", code.folder.path(), "/flagcode", "1", "/code", "/unformat"}), 1);
    EXPECT_EQ(version(KESTRA_BOOT), "not on card") << "the card is still formatted and untouched";

    WhenShown([](QWidget& shown) { Press(shown, "cancelButton"); });
    testing::internal::CaptureStdout();
    EXPECT_EQ(load({"/pathcode", code.folder.path(), "/flagcode", "1", "/code", "/ver"}), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Boot version:         not on card\n"), std::string::npos) << out;
}
