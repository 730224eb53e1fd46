#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/profile.h"
#include "support/temp_folder.h"
#include "utilities/k32fabutil1.h"
#include "windows/input.h"
#include "windows/window_host.h"

using kestra::platform::Click;
using kestra::platform::HeadlessHost;
using kestra::platform::MouseInput;
using kestra::testing::TempFolder;

namespace {

const char* const kBaudTexts[kBaudCodeCount] = {"150",  "300",  "600",   "1200",  "2400",
                                                "4800", "9600", "19200", "38400", "57600"};
const char* const kParityTexts[kParityCount] = {"None", "Odd", "Even"};

std::string itemText(HWND dialog, int id) {
    char text[64];
    GetDlgItemText(dialog, id, text, sizeof text);
    return text;
}

// One click on the upper (step up) or lower half of a spin control.
void spinClick(HWND spin, bool up) {
    RECT client;
    GetClientRect(spin, &client);
    int y = up ? 1 : client.bottom - 2;
    MouseInput(spin, WM_LBUTTONDOWN, 2, y, MK_LBUTTON);
    MouseInput(spin, WM_LBUTTONUP, 2, y);
}

class CommParams : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < kPortCount; ++i) {
            devices_[i] = folder_.file("ttyS" + std::to_string(i));
            deviceNames_[i] = devices_[i].c_str();
        }
        ini_ = folder_.file("comm.ini");
        block_ = {&settings_,   &port_,       deviceNames_, 0,     kBaudTexts,
                  kParityTexts, "Panel link", ini_.c_str(), "Line"};
    }
    void makeOpenable(int port) { folder_.write("ttyS" + std::to_string(port), ""); }
    std::string box(std::size_t i) const { return host_.messageBoxes().at(i).text; }

    HeadlessHost host_;
    TempFolder folder_;
    std::string devices_[kPortCount];
    const char* deviceNames_[kPortCount];
    std::string ini_;
    BYTE settings_ = 0;
    BYTE port_ = 0;
    CommParamBlock block_;
};

TEST_F(CommParams, OnlyCom3OpenableFromCom1SwitchesToItWithATwoLineMessage) {
    makeOpenable(2);
    EXPECT_EQ(CheckPortSelection(nullptr, &block_), 2);
    EXPECT_EQ(port_, 0) << "the check alone stores nothing";
    EXPECT_EQ(SetComPort(nullptr, &block_), FALSE);
    EXPECT_EQ(port_, 2);
    ASSERT_EQ(host_.messageBoxes().size(), 1u);
    EXPECT_EQ(box(0), "COM 1 is unavailable.\nSwitching to COM 3");
    EXPECT_EQ(host_.messageBoxes()[0].caption, "Panel link");
    EXPECT_EQ(host_.messageBoxes()[0].icon(), MB_ICONINFORMATION);

    EXPECT_EQ(SetComPort(nullptr, &block_), FALSE) << "the port in use stays, silently";
    EXPECT_EQ(host_.messageBoxes().size(), 1u);
}

TEST_F(CommParams, TheSearchWrapsFromCom4ToCom1Once) {
    makeOpenable(0);
    port_ = 3;
    EXPECT_EQ(CheckPortSelection(nullptr, &block_), 0);
    port_ = 5;
    EXPECT_EQ(CheckPortSelection(nullptr, &block_), 5) << "an index above 3 comes back unchanged";
    EXPECT_EQ(SetComPort(nullptr, &block_), FALSE);
    EXPECT_TRUE(host_.messageBoxes().empty());
}

TEST_F(CommParams, WithoutAnyPortTheMessageNamesTheCurrentPortAndTheDialogEndsWithZero) {
    port_ = 1;
    EXPECT_EQ(CheckPortSelection(nullptr, &block_), kNoPort);
    EXPECT_NE(SetComPort(nullptr, &block_), FALSE);
    ASSERT_EQ(host_.messageBoxes().size(), 1u);
    EXPECT_EQ(box(0),
              "There are no communication ports available. Communications with panel cannot be "
              "established on COM  2");

    EXPECT_EQ(StartPCSetupDlg(nullptr, &block_), 0);
    EXPECT_EQ(host_.messageBoxes().size(), 2u);
    EXPECT_EQ(host_.unscriptedCloses(), 0) << "the dialog closed itself before anyone could act";
    EXPECT_TRUE(host_.modalDialogs().empty());
}

TEST_F(CommParams, APortHeldOpenByAnotherHolderCountsAsUnavailable) {
    makeOpenable(0);
    makeOpenable(1);
    int held = open(devices_[0].c_str(), O_RDWR);
    ASSERT_GE(held, 0);
    EXPECT_EQ(CheckPortSelection(nullptr, &block_), 1);
    close(held);
    EXPECT_EQ(CheckPortSelection(nullptr, &block_), 0);

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        int fd = open(devices_[0].c_str(), O_RDWR);
        char byte = fd >= 0 ? 1 : 0;
        (void)!write(ready[1], &byte, 1);
        pause();
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 1);
    EXPECT_EQ(CheckPortSelection(nullptr, &block_), 1) << "held by another process";
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(CheckPortSelection(nullptr, &block_), 0);
}

TEST_F(CommParams, PortSettingsDialogShowsTheSettingsStepsWithinItsRangeAndStoresThemOnOk) {
    for (int port : {0, 2, 3}) makeOpenable(port);
    port_ = 1;
    settings_ = 8 | kEightDataBits | (2 << kParityShift) | kTwoStopBits;  // 38400, 8, even, 2
    host_.script([](HWND dialog) {
        char title[64];
        GetWindowText(dialog, title, sizeof title);
        EXPECT_STREQ(title, "Port Settings");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 103)));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, 104)));
        EXPECT_EQ(IsDlgButtonChecked(dialog, 104), BST_CHECKED);
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 104));
        EXPECT_EQ(IsDlgButtonChecked(dialog, 109), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dialog, 111), BST_CHECKED);
        EXPECT_EQ(itemText(dialog, 113), "38400");

        HWND spin = GetDlgItem(dialog, 2001);
        spinClick(spin, true);
        EXPECT_EQ(itemText(dialog, 113), "9600") << "38400 up wraps to 9600";
        EXPECT_EQ(GetFocus(), spin);
        spinClick(spin, false);
        EXPECT_EQ(itemText(dialog, 113), "38400");
        spinClick(spin, true);
        spinClick(spin, true);
        EXPECT_EQ(itemText(dialog, 113), "19200");

        Click(GetDlgItem(dialog, 107));
        Click(GetDlgItem(dialog, 110));
        Click(GetDlgItem(dialog, 103));  // disabled: nothing happens
        Click(GetDlgItem(dialog, 105));
        Click(GetDlgItem(dialog, IDOK));
    });
    EXPECT_EQ(StartPCSetupDlg(nullptr, &block_), 1);
    EXPECT_EQ(host_.unscriptedCloses(), 0);
    EXPECT_EQ(host_.messageBoxes().size(), 1u) << "the switch from COM 2 to COM 3 was told";
    EXPECT_EQ(port_, 3);
    EXPECT_EQ(settings_, 7 | kEightDataBits) << "19200, 8 data bits kept, no parity, one stop bit";
    EXPECT_EQ(block_.baudCode, 7u);
}

TEST_F(CommParams, PortSettingsCancelLeavesTheSettingsAndEscapeCancels) {
    makeOpenable(0);
    settings_ = 6;
    host_.script([](HWND dialog) {
        spinClick(GetDlgItem(dialog, 2001), true);
        Click(GetDlgItem(dialog, 108));
        kestra::platform::PressKey(GetFocus(), VK_ESCAPE);
    });
    EXPECT_EQ(StartPCSetupDlg(nullptr, &block_), 0);
    EXPECT_EQ(settings_, 6);
    EXPECT_EQ(host_.unscriptedCloses(), 0);
}

TEST_F(CommParams, PortSettingsShowsACodeOutsideItsRangeUntilStepped) {
    makeOpenable(0);
    settings_ = 9;  // 57600: more than the port settings dialog offers
    host_.script([](HWND dialog) {
        EXPECT_EQ(itemText(dialog, 113), "57600");
        Click(GetDlgItem(dialog, IDOK));
    });
    EXPECT_EQ(StartPCSetupDlg(nullptr, &block_), 1);
    EXPECT_EQ(settings_ & kBaudCodeMask, 9) << "OK without stepping keeps the rate";
}

class LineParameters : public ::testing::Test {
  protected:
    void SetUp() override {
        static const DialogTemplate ownerTemplate{
            "OWNER", 0, "Owner", 0, 0, 300, 200, WS_POPUP | WS_CAPTION, nullptr, 0, nullptr, 0};
        owner_ = CreateDialogIndirectParam(nullptr, &ownerTemplate, nullptr, nullptr, 0);
        ASSERT_NE(owner_, nullptr);
        MoveWindow(owner_, 100, 50, 460, 360, FALSE);
    }
    void TearDown() override { DestroyWindow(owner_); }

    HeadlessHost host_;
    HWND owner_ = nullptr;
    BYTE settings_ = 8 | (1 << kParityShift);  // 38400, 7 data bits, odd, 1 stop bit
    LineParamBlock block_{&settings_, 0, kBaudTexts, 0, 8};
};

TEST_F(LineParameters, OpensAtTheOwnersBottomAThirdOfItsWidthInAndStoresTheButtonsOnOk) {
    host_.script([this](HWND dialog) {
        RECT own, owner;
        GetWindowRect(dialog, &own);
        GetWindowRect(owner_, &owner);
        EXPECT_EQ(own.bottom, owner.bottom);
        EXPECT_EQ(own.left, owner.left + (own.right - own.left) / 3);
        char title[64];
        GetWindowText(dialog, title, sizeof title);
        EXPECT_STREQ(title, "Communication Parameters Setup");
        EXPECT_EQ(GetWindowLongPtr(dialog, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&block_));
        EXPECT_EQ(itemText(dialog, 802), "38400");
        EXPECT_EQ(IsDlgButtonChecked(dialog, 804), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dialog, 806), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dialog, 808), BST_CHECKED);
        EXPECT_FALSE(IsWindowEnabled(owner_)) << "the owner waits while the dialog runs";

        HWND spin = GetDlgItem(dialog, 801);
        spinClick(spin, true);
        EXPECT_EQ(itemText(dialog, 802), "150") << "above the highest wraps to the lowest";
        spinClick(spin, false);
        spinClick(spin, false);
        EXPECT_EQ(itemText(dialog, 802), "19200");
        Click(GetDlgItem(dialog, 805));
        Click(GetDlgItem(dialog, 807));
        Click(GetDlgItem(dialog, 809));
        Click(GetDlgItem(dialog, IDOK));
    });
    EXPECT_EQ(ExecCommParameters(owner_, &block_), 1);
    EXPECT_EQ(settings_, 7 | kEightDataBits | (2 << kParityShift) | kTwoStopBits);
    EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(LineParameters, OkWithAnEmptyGroupTakesItsLastButtonAndCancelChangesNothing) {
    host_.script([](HWND dialog) {
        for (int id : {803, 804, 805}) CheckDlgButton(dialog, id, BST_UNCHECKED);
        Click(GetDlgItem(dialog, IDOK));
    });
    EXPECT_EQ(ExecCommParameters(owner_, &block_), 1);
    EXPECT_EQ(settings_ & kParityMask, 2 << kParityShift);

    BYTE before = settings_;
    host_.script([](HWND dialog) {
        spinClick(GetDlgItem(dialog, 801), true);
        Click(GetDlgItem(dialog, 806));
        Click(GetDlgItem(dialog, IDCANCEL));
    });
    EXPECT_EQ(ExecCommParameters(owner_, &block_), 0);
    EXPECT_EQ(settings_, before);
}

TEST_F(LineParameters, ParityThreeChecksNoButtonRatherThanADataBitButton) {
    settings_ = 3 << kParityShift;
    host_.script([](HWND dialog) {
        for (int id = 803; id <= 805; ++id)
            EXPECT_EQ(IsDlgButtonChecked(dialog, id), BST_UNCHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dialog, 806), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dialog, 807), BST_UNCHECKED);
        Click(GetDlgItem(dialog, IDCANCEL));
    });
    EXPECT_EQ(ExecCommParameters(owner_, &block_), 0);
}

TEST_F(LineParameters, AnAllowedRangeBeyondTheTextsIsKeptWithinThem) {
    block_.lowestBaudCode = 7;
    block_.highestBaudCode = 15;
    settings_ = 9;
    host_.script([](HWND dialog) {
        spinClick(GetDlgItem(dialog, 801), true);
        EXPECT_EQ(itemText(dialog, 802), "19200") << "57600 is the last code with a text";
        Click(GetDlgItem(dialog, IDOK));
    });
    EXPECT_EQ(ExecCommParameters(owner_, &block_), 1);
    EXPECT_EQ(settings_ & kBaudCodeMask, 7);
}

class CommIni : public CommParams {
  protected:
    void writeSection(const std::string& lines) { folder_.write("comm.ini", "[Line]\n" + lines); }
};

TEST_F(CommIni, A57600EightEvenOneSectionReadsAsTheLineSettings) {
    writeSection("BaudRate=57600\nDataBits=8\nParity=Even\nStopBits=1\n");
    settings_ = 3 | kTwoStopBits;
    EXPECT_EQ(LoadIniCommParams(&block_), 0);
    EXPECT_EQ(settings_, 9 | kEightDataBits | (2 << kParityShift));
}

TEST_F(CommIni, MissingKeysFallBackAsTheirDefaultsSay) {
    writeSection("");
    settings_ = 6 | kTwoStopBits | (1 << kParityShift);
    EXPECT_EQ(LoadIniCommParams(&block_), 1) << "baud rate and data bits default to invalid";
    EXPECT_EQ(settings_, 6) << "parity none, one stop bit";

    settings_ = 6 | (1 << kParityShift);
    EXPECT_EQ(LoadIniCommParams(&block_), 1);
    EXPECT_EQ(settings_, 6) << "stop bits default to 0 and end the reading; parity was set";
}

TEST_F(CommIni, InvalidValuesKeepTheirBitsAndParityComparesTheTextsLeadingCharacters) {
    writeSection("BaudRate=1234\nDataBits=9\nParity=Oddity\nStopBits=2\n");
    settings_ = 4 | kEightDataBits;
    EXPECT_EQ(LoadIniCommParams(&block_), 1);
    EXPECT_EQ(settings_, 4 | kEightDataBits | (1 << kParityShift) | kTwoStopBits);

    writeSection("BaudRate=300\nDataBits=7\nParity=Nonsense\nStopBits=3\n");
    settings_ = 4 | kEightDataBits | (2 << kParityShift) | kTwoStopBits;
    EXPECT_EQ(LoadIniCommParams(&block_), 1);
    EXPECT_EQ(settings_, 1 | (2 << kParityShift) | kTwoStopBits)
        << "'Nons' is not 'None'; stop bits 3 end the reading";
}

TEST_F(CommIni, WritingStoresTheTextsAndReadsBackTheSameByte) {
    settings_ = 9 | kEightDataBits | (2 << kParityShift);
    EXPECT_EQ(WriteIniCommParams(&block_), 0);
    char text[32];
    GetPrivateProfileString("Line", "BaudRate", "", text, sizeof text, ini_.c_str());
    EXPECT_STREQ(text, "57600");
    GetPrivateProfileString("Line", "Parity", "", text, sizeof text, ini_.c_str());
    EXPECT_STREQ(text, "Even");
    GetPrivateProfileString("Line", "StopBits", "", text, sizeof text, ini_.c_str());
    EXPECT_STREQ(text, "1");
    BYTE written = settings_;
    settings_ = 0;
    EXPECT_EQ(LoadIniCommParams(&block_), 0);
    EXPECT_EQ(settings_, written);
}

TEST_F(CommIni, ACodeWithoutATextFailsItsKeyButTheOthersAreWritten) {
    settings_ = 12 | kEightDataBits | (3 << kParityShift);
    EXPECT_EQ(WriteIniCommParams(&block_), 1);
    char text[32];
    GetPrivateProfileString("Line", "BaudRate", "missing", text, sizeof text, ini_.c_str());
    EXPECT_STREQ(text, "missing");
    GetPrivateProfileString("Line", "Parity", "missing", text, sizeof text, ini_.c_str());
    EXPECT_STREQ(text, "missing");
    GetPrivateProfileString("Line", "DataBits", "", text, sizeof text, ini_.c_str());
    EXPECT_STREQ(text, "8");
    EXPECT_EQ(LoadIniCommParams(nullptr), 1);
    EXPECT_EQ(WriteIniCommParams(nullptr), 1);
}

}  // namespace
