#include "platform/profile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/temp_folder.h"

using kestra::testing::TempFolder;
using kestra::testing::WindowsFolderScope;

namespace {

// A double-zero-terminated list as a vector of its texts.
std::vector<std::string> splitList(const char* buffer) {
    std::vector<std::string> items;
    for (const char* p = buffer; *p; p += std::strlen(p) + 1) items.emplace_back(p);
    return items;
}

const char* kSample =
    "; panel settings\r\n"
    "stray line before any section\r\n"
    "[Comm]\r\n"
    "  Baud = 57600  \r\n"
    "Parity=\"even\"\r\n"
    "; a comment inside\r\n"
    "line without equals\r\n"
    "Hex=0x1F\r\n"
    "Negative=-12abc\r\n"
    "Text=abc\r\n"
    "\r\n"
    "[ Other ]\r\n"
    "Key=first\r\n"
    "key=second\r\n"
    "[comm]\r\n"
    "Late=never seen\r\n";

class Profile : public ::testing::Test {
  protected:
    TempFolder folder_;
    WindowsFolderScope windows_{folder_.path()};
    std::string file_ = folder_.write("Fabricon.ini", kSample);
};

}  // namespace

TEST_F(Profile, NamesIgnoreCaseAndBlanksAndValuesLoseBlanksAndQuotes) {
    char buffer[64];
    EXPECT_EQ(GetPrivateProfileString("COMM", "baud", "x", buffer, sizeof buffer, file_.c_str()),
              5u);
    EXPECT_STREQ(buffer, "57600");
    GetPrivateProfileString("comm", "PARITY", "", buffer, sizeof buffer, file_.c_str());
    EXPECT_STREQ(buffer, "even");
    GetPrivateProfileString("other", "KEY", "", buffer, sizeof buffer, file_.c_str());
    EXPECT_STREQ(buffer, "first");  // the first of two equal keys
    // A second section of the same name is not consulted.
    EXPECT_EQ(
        GetPrivateProfileString("Comm", "Late", "dflt  ", buffer, sizeof buffer, file_.c_str()),
        4u);
    EXPECT_STREQ(buffer, "dflt");  // trailing blanks of the default are dropped
    GetPrivateProfileString("Comm", "Missing", nullptr, buffer, sizeof buffer, file_.c_str());
    EXPECT_STREQ(buffer, "");
}

TEST_F(Profile, BareFileNamesResolveInTheWindowsFolderIgnoringCase) {
    char buffer[16];
    GetPrivateProfileString("Comm", "Baud", "", buffer, sizeof buffer, "FABRICON.INI");
    EXPECT_STREQ(buffer, "57600");
    EXPECT_EQ(GetPrivateProfileString("Comm", "Baud", "none", buffer, sizeof buffer, "absent.ini"),
              4u);
    EXPECT_STREQ(buffer, "none");
}

TEST_F(Profile, ValuesAreCutToTheBuffer) {
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(GetPrivateProfileString("Comm", "Baud", "", buffer, sizeof buffer, file_.c_str()),
              3u);
    EXPECT_STREQ(buffer, "576");
    EXPECT_EQ(GetPrivateProfileString("Comm", "Baud", "", buffer, 0, file_.c_str()), 0u);
}

TEST_F(Profile, SectionAndKeyListsEndWithAnEmptyString) {
    char buffer[256];
    DWORD n = GetPrivateProfileSectionNames(buffer, sizeof buffer, file_.c_str());
    EXPECT_EQ(splitList(buffer), (std::vector<std::string>{"Comm", "Other", "comm"}));
    EXPECT_EQ(n, 16u);  // "Comm\0Other\0comm\0" without the list's final zero
    EXPECT_EQ(buffer[n], 0);

    GetPrivateProfileString("comm", nullptr, "", buffer, sizeof buffer, file_.c_str());
    EXPECT_EQ(splitList(buffer),
              (std::vector<std::string>{"Baud", "Parity", "Hex", "Negative", "Text"}));

    n = GetPrivateProfileString("Nowhere", nullptr, "", buffer, sizeof buffer, file_.c_str());
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[1], 0);

    GetPrivateProfileSection("Other", buffer, sizeof buffer, file_.c_str());
    EXPECT_EQ(splitList(buffer), (std::vector<std::string>{"Key=first", "key=second"}));
}

TEST_F(Profile, ListsThatDoNotFitEndWithTwoZerosAndReturnSizeMinusTwo) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileSectionNames(buffer, sizeof buffer, file_.c_str()), 6u);
    EXPECT_EQ(std::string(buffer, 8), std::string("Comm\0O\0\0", 8));
}

TEST_F(Profile, IntegersAreDecimalOrHexadecimalAfter0x) {
    EXPECT_EQ(GetPrivateProfileInt("Comm", "Baud", 0, file_.c_str()), 57600u);
    EXPECT_EQ(GetPrivateProfileInt("Comm", "Hex", 0, file_.c_str()), 31u);
    EXPECT_EQ(static_cast<int>(GetPrivateProfileInt("Comm", "Negative", 0, file_.c_str())), -12);
    EXPECT_EQ(GetPrivateProfileInt("Comm", "Text", 5, file_.c_str()), 0u);  // present, not a number
    EXPECT_EQ(GetPrivateProfileInt("Comm", "Missing", 9600, file_.c_str()), 9600u);
    EXPECT_EQ(GetPrivateProfileInt("Comm", "Missing", 9600, "absent.ini"), 9600u);
}

TEST_F(Profile, WritingAKeyKeepsEveryOtherLine) {
    ASSERT_TRUE(WritePrivateProfileString("comm", "BAUD", "9600", file_.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("Other", "New", "1", file_.c_str()));
    std::string expected = kSample;
    expected.replace(expected.find("  Baud = 57600  "), 16, "BAUD=9600");
    expected.replace(expected.find("key=second\r\n") + 12, 0, "New=1\r\n");
    EXPECT_EQ(folder_.read("Fabricon.ini"), expected);
}

TEST_F(Profile, WritingCreatesSectionsAndFilesAndDeletes) {
    std::string fresh = folder_.file("fresh.ini");
    ASSERT_TRUE(WritePrivateProfileString("A", "k", "v", fresh.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("B", "k", "w", fresh.c_str()));
    EXPECT_EQ(folder_.read("fresh.ini"), "[A]\nk=v\n\n[B]\nk=w\n");
    ASSERT_TRUE(WritePrivateProfileString("A", "k", nullptr, fresh.c_str()));
    EXPECT_EQ(folder_.read("fresh.ini"), "[A]\n\n[B]\nk=w\n");
    ASSERT_TRUE(WritePrivateProfileString("a", nullptr, nullptr, fresh.c_str()));
    EXPECT_EQ(folder_.read("fresh.ini"), "[B]\nk=w\n");
    ASSERT_TRUE(WritePrivateProfileSection("B", "x=1\0y=2\0", fresh.c_str()));
    EXPECT_EQ(folder_.read("fresh.ini"), "[B]\nx=1\ny=2\n");
    // A bare name writes into the Windows folder.
    ASSERT_TRUE(WritePrivateProfileString("S", "K", "V", "bare.ini"));
    EXPECT_EQ(folder_.read("bare.ini"), "[S]\nK=V\n");
}

TEST_F(Profile, WritingIntoAnUnwritableFolderFailsAndLeavesNothing) {
    EXPECT_FALSE(WritePrivateProfileString("A", "k", "v", "/nonexistent-folder/x.ini"));
    EXPECT_FALSE(WritePrivateProfileString(nullptr, "k", "v", file_.c_str()));
    EXPECT_EQ(folder_.read("Fabricon.ini"), kSample);
}
