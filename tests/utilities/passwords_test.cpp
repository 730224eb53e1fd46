#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "utilities/k32fabutil1.h"
#include "windows/input.h"
#include "windows/window_host.h"

using kestra::PasswordRecord;
namespace kp = kestra::platform;

namespace {

const char* const kLoginAndLogout = "Password can not have both automatic login and logout enabled";
const char* const kOneAutoLogin = "Only one password can have automatic login enabled";
const char* const kIdentical = "Passwords are identical";
const char* const kFourDigits =
    "Passwords must be four digits long and the password \"5281\" is reserved.";
const char* const kSystemFirst =
    "The first password is referred to as the System password. This password has fixed "
    "attributes and must be defined before using other passwords.";
const char* const kPageRange =
    "Page numbers for data entry must be between (1) and the current number of pages used. The "
    "number of pages used is shown in the lower left corner of the status bar";

PasswordRecord record(const char* code, std::uint8_t attributes, int first, int last) {
    PasswordRecord r{};
    std::strncpy(r.code, code, 4);
    r.attributes = attributes;
    r.firstPage = static_cast<std::uint16_t>(first);
    r.lastPage = static_cast<std::uint16_t>(last);
    return r;
}

class Passwords : public ::testing::Test {
  protected:
    void SetUp() override { set_ = {&pages_, &count_, 0, 0, 300}; }
    void TearDown() override {
        if (set_.passwords) GlobalFree(set_.passwords);
    }
    void store(std::vector<PasswordRecord> records) {
        set_.passwords = GlobalAlloc(GHND, records.size() * sizeof(PasswordRecord));
        std::memcpy(kestra::mem::Data(set_.passwords), records.data(),
                    records.size() * sizeof(PasswordRecord));
        count_ = static_cast<BYTE>(records.size());
    }
    std::vector<std::uint8_t> bytes() const {
        auto b = kestra::mem::Bytes(set_.passwords);
        auto* p = reinterpret_cast<const std::uint8_t*>(b.data());
        return {p, p + b.size()};
    }
    std::vector<std::string> boxes() const {
        std::vector<std::string> out;
        for (const auto& box : host_.messageBoxes()) {
            EXPECT_EQ(box.caption, "Kestra Fabricon");
            EXPECT_EQ(box.icon(), MB_ICONERROR);
            out.push_back(box.text);
        }
        return out;
    }
    // Runs the dialog with `steps`, then presses OK (and Cancel, should OK be refused).
    INT_PTR run(std::function<void(HWND)> steps, bool ok = true) {
        host_.script([steps, ok](HWND dialog) {
            steps(dialog);
            kp::Click(GetDlgItem(dialog, ok ? IDOK : IDCANCEL));
        });
        host_.script([](HWND dialog) {
            if (IsWindow(dialog)) kp::Click(GetDlgItem(dialog, IDCANCEL));
        });
        return StartPasswordDlg(nullptr, &set_);
    }
    static void type(HWND dialog, int id, const std::string& text) {
        HWND edit = GetDlgItem(dialog, id);
        kp::FocusByUser(edit);
        SendMessage(edit, EM_SETSEL, 0, -1);
        kp::TypeText(edit, text.empty() ? "\b" : text);
    }
    static void check(HWND dialog, int row, int column) {
        kp::Click(GetDlgItem(dialog, PasswordControl(row, column)));
    }
    static bool checked(HWND dialog, int row, int column) {
        return IsDlgButtonChecked(dialog, PasswordControl(row, column)) == BST_CHECKED;
    }
    static std::string text(HWND dialog, int id) {
        char buffer[32] = "";
        GetDlgItemText(dialog, id, buffer, sizeof buffer);
        return buffer;
    }

    kp::HeadlessHost host_;
    WORD pages_ = 12;
    BYTE count_ = 0;
    PasswordSet set_{};
};

}  // namespace

TEST_F(Passwords, OpeningShowsTheStoredRowsAndLeavesTheSystemRowFixed) {
    store({record("1111", 0x1F, 1, 12), record("2222", kPasswordAck | kPasswordAutoLogout, 3, 7)});
    run(
        [&](HWND dialog) {
            EXPECT_EQ(text(dialog, PasswordControl(0, kPasswordCode)), "1111");
            EXPECT_EQ(text(dialog, PasswordControl(1, kPasswordCode)), "2222");
            EXPECT_EQ(text(dialog, PasswordControl(1, kPasswordFirstPage)), "3");
            EXPECT_EQ(text(dialog, PasswordControl(1, kPasswordLastPage)), "7");
            EXPECT_EQ(text(dialog, PasswordControl(5, kPasswordLastPage)), "12");
            EXPECT_EQ(text(dialog, kPasswordTimeout), "300");
            for (int box = 1; box <= 7; ++box) {
                EXPECT_EQ(checked(dialog, 0, box), box <= 5) << box;
                EXPECT_EQ(checked(dialog, 1, box), box == 3 || box == 7) << box;
            }
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, PasswordControl(0, 1))));
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, PasswordControl(1, 1))));
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, PasswordControl(2, 1))));
            type(dialog, PasswordControl(2, kPasswordCode), "3333");
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, PasswordControl(2, 9))));
            check(dialog, 2, 2);
            type(dialog, PasswordControl(2, kPasswordCode), "");
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, PasswordControl(2, 9))));
            EXPECT_FALSE(checked(dialog, 2, 2)) << "emptying a code clears its boxes";
            // Codes refuse letters.
            type(dialog, PasswordControl(3, kPasswordCode), "4a4b44");
            EXPECT_EQ(text(dialog, PasswordControl(3, kPasswordCode)), "4444");
        },
        false);
    EXPECT_EQ(count_, 2) << "Cancel stores nothing";
}

TEST_F(Passwords, LeavingTheTimeoutWrapsValuesOutsideTenTo700) {
    run([&](HWND dialog) {
        type(dialog, kPasswordTimeout, "5");
        kp::FocusByUser(GetDlgItem(dialog, PasswordControl(0, kPasswordCode)));
        EXPECT_EQ(text(dialog, kPasswordTimeout), "700");
        type(dialog, kPasswordTimeout, "900");
        kp::FocusByUser(GetDlgItem(dialog, PasswordControl(0, kPasswordCode)));
        EXPECT_EQ(text(dialog, kPasswordTimeout), "10");
        type(dialog, kPasswordTimeout, "45");
        kp::FocusByUser(GetDlgItem(dialog, PasswordControl(0, kPasswordCode)));
        EXPECT_EQ(text(dialog, kPasswordTimeout), "45");
        type(dialog, kPasswordTimeout, "0");
        kp::PressKey(GetDlgItem(dialog, kPasswordTimeout), VK_RETURN);
    });
    EXPECT_EQ(set_.logoutTimeout, 600) << "0 at OK (Enter, the field not left) means 600";
}

TEST_F(Passwords, AutomaticLoginBelongsToOneRowAndNeverWithLogout) {
    const unsigned beeps = kp::BeepCount();
    store({record("1000", 0x1F, 1, 12), record("2000", 0, 1, 12), record("3000", 0, 1, 12),
           record("4000", 0, 1, 12), record("5000", 0, 1, 12), record("6000", 0, 1, 12)});
    run([&](HWND dialog) {
        check(dialog, 2, kPasswordAutoLoginBox);
        EXPECT_TRUE(host_.messageBoxes().empty()) << "nothing was cleared";
        check(dialog, 5, kPasswordAutoLoginBox);
        EXPECT_FALSE(checked(dialog, 2, kPasswordAutoLoginBox));
        EXPECT_TRUE(checked(dialog, 5, kPasswordAutoLoginBox));
        check(dialog, 5, kPasswordAutoLogoutBox);
        EXPECT_FALSE(checked(dialog, 5, kPasswordAutoLoginBox));
        EXPECT_TRUE(checked(dialog, 5, kPasswordAutoLogoutBox));
        check(dialog, 5, kPasswordAutoLoginBox);
        EXPECT_FALSE(checked(dialog, 5, kPasswordAutoLogoutBox));
    });
    EXPECT_EQ(boxes(), (std::vector<std::string>{kOneAutoLogin, kLoginAndLogout, kLoginAndLogout}));
    EXPECT_EQ(kp::BeepCount() - beeps, 3u) << "each message beeps";
    auto stored = bytes();
    ASSERT_EQ(stored.size(), 6u * 20);
    EXPECT_EQ(stored[5 * 20 + 5], kPasswordAutoLogin);
    EXPECT_EQ(stored[2 * 20 + 5], 0);
}

TEST_F(Passwords, OkRefusesBadRowsWithEveryProblemAndChangesNothing) {
    store({record("1234", 0x1F, 1, 12)});
    const auto before = bytes();
    run([&](HWND dialog) { type(dialog, PasswordControl(3, kPasswordCode), "1234"); });
    EXPECT_EQ(boxes(), (std::vector<std::string>{kIdentical}));
    EXPECT_EQ(bytes(), before);
}

TEST_F(Passwords, ShortReservedAndMissingSystemCodesAndBadPagesAreEachReported) {
    run([&](HWND dialog) {
        type(dialog, PasswordControl(1, kPasswordCode), "12");
        type(dialog, PasswordControl(2, kPasswordCode), "5281");
        type(dialog, PasswordControl(3, kPasswordCode), "7777");
        type(dialog, PasswordControl(3, kPasswordLastPage), "13");
        type(dialog, PasswordControl(4, kPasswordCode), "7777");
    });
    EXPECT_EQ(boxes(),
              (std::vector<std::string>{kSystemFirst, kFourDigits, kFourDigits, kPageRange}))
        << "identical codes are looked for only when nothing else was wrong";
    EXPECT_EQ(set_.passwords, 0u);
    EXPECT_EQ(count_, 0);
}

TEST_F(Passwords, OkStoresTheFilledRowsInOrderAndShrinksTheBlock) {
    PasswordRecord kept = record("9999", 0x20 | kPasswordConf, 2, 2);
    std::memset(kept.carried, 0xAB, sizeof kept.carried);
    store({record("1111", 0x1F, 1, 12), record("2222", 0, 1, 12), kept});
    run([&](HWND dialog) {
        type(dialog, PasswordControl(0, kPasswordCode), "1010");
        type(dialog, PasswordControl(1, kPasswordCode), "");
        check(dialog, 2, 2);  // TIME
        type(dialog, PasswordControl(2, kPasswordFirstPage), "4");
        type(dialog, PasswordControl(2, kPasswordLastPage), "9");
        type(dialog, PasswordControl(7, kPasswordCode), "7007");
        type(dialog, kPasswordTimeout, "120");
    });
    EXPECT_TRUE(host_.messageBoxes().empty());
    ASSERT_EQ(count_, 3);
    // Byte-exact records: code, attributes, first and last page, carried bytes.
    std::vector<std::uint8_t> expected(60, 0);
    auto put = [&](int i, const char* code, std::uint8_t attributes, int first, int last,
                   std::uint8_t fill) {
        std::memcpy(&expected[i * 20], code, 4);
        expected[i * 20 + 5] = attributes;
        expected[i * 20 + 6] = static_cast<std::uint8_t>(first);
        expected[i * 20 + 8] = static_cast<std::uint8_t>(last);
        std::memset(&expected[i * 20 + 10], fill, 10);
    };
    put(0, "1010", 0x1F, 1, 12, 0);
    put(1, "9999", 0x20 | kPasswordConf | kPasswordTime, 4, 9, 0xAB);
    put(2, "7007", 0, 1, 12, 0);
    EXPECT_EQ(bytes(), expected);
    EXPECT_EQ(set_.logoutTimeout, 120);
}

TEST_F(Passwords, AllRowsEmptyStoresNoPassword) {
    store({record("1111", 0x1F, 1, 12), record("2222", 0, 1, 12)});
    EXPECT_EQ(run([&](HWND dialog) {
                  type(dialog, PasswordControl(1, kPasswordCode), "");
                  type(dialog, PasswordControl(0, kPasswordCode), "");
              }),
              1);
    EXPECT_EQ(count_, 0);
    EXPECT_EQ(kestra::mem::Size(set_.passwords), 0u);
}

TEST_F(Passwords, ABlockShorterThanItsCountShowsOnlyWhatItHolds) {
    store({record("1111", 0x1F, 1, 12)});
    count_ = 200;
    run(
        [&](HWND dialog) {
            EXPECT_EQ(text(dialog, PasswordControl(0, kPasswordCode)), "1111");
            EXPECT_EQ(text(dialog, PasswordControl(1, kPasswordCode)), "");
        },
        false);
    EXPECT_EQ(StartPasswordDlg(nullptr, nullptr), 0);
}
