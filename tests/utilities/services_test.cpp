#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kestra/logfont.h"
#include "platform/module.h"
#include "support/temp_folder.h"
#include "utilities/k32fabutil1.h"

using kestra::testing::TempFolder;

namespace {
// Runs the tokenizer to the end and collects the tokens (a null result ends the run).
std::vector<std::string> tokens(const char* text, const char* delimiters, int maxLength) {
    std::string copy = text;
    char* cursor = copy.data();
    std::vector<std::string> out;
    char token[64];
    while (GetNextToken(token, &cursor, delimiters, maxLength)) {
        out.emplace_back(token);
        if (out.size() > 20) break;
    }
    EXPECT_EQ(cursor, nullptr);
    return out;
}
}  // namespace

TEST(HostAllocator, IsNullUntilRegisteredAndThenReturnedAsIs) {
    auto previous = GetAppFmalloc();
    SetAppFmalloc(nullptr);
    EXPECT_EQ(GetAppFmalloc(), nullptr);
    EXPECT_EQ(SetAppFmalloc(&kestra::mem::HostAllocate), &kestra::mem::HostAllocate);
    EXPECT_EQ(GetAppFmalloc(), &kestra::mem::HostAllocate);
    SetAppFmalloc(previous);
}

TEST(FarPointers, AddTheOffsetAndFreeIsANoOp) {
    char block[16];
    EXPECT_EQ(GetFarPtrFromHuge(block, 5), block + 5);
    EXPECT_EQ(ChangeFarPtrBase(block, 15), block + 15);
    EXPECT_EQ(FreeOurFarPtr(block), TRUE);
}

TEST(GetNextToken, EmptyTokensBetweenAdjacentDelimiters) {
    EXPECT_EQ(tokens("a  b", " ", 10), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(tokens("501 fixrmenufield", " ", 32767),
              (std::vector<std::string>{"501", "fixrmenufield"}));
    EXPECT_EQ(tokens("x,", ",", 10), (std::vector<std::string>{"x"}));
    EXPECT_EQ(tokens(",", ",", 10), (std::vector<std::string>{""}));
}

TEST(GetNextToken, LongTokensAreCutButTheCursorMovesPastThemWhole) {
    EXPECT_EQ(tokens("abcdef gh", " ", 3), (std::vector<std::string>{"abc", "gh"}));
    EXPECT_EQ(tokens("abc", " ", 0), (std::vector<std::string>{""}));
}

TEST(GetNextToken, NullAndEmptyCursors) {
    char token[8];
    char* cursor = nullptr;
    EXPECT_EQ(GetNextToken(token, &cursor, " ", 7), nullptr);
    char empty[] = "";
    cursor = empty;
    EXPECT_EQ(GetNextToken(token, &cursor, " ", 7), nullptr);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(GetNextToken(token, nullptr, " ", 7), nullptr);
}

TEST(GetIniRangeNumbers, CountsGroupsAndNumbersOfTheCurrentGroup) {
    int values[8] = {};
    EXPECT_EQ(GetIniRangeNumbers(nullptr, nullptr, nullptr, "1,2;3", values, 8), 0);
    EXPECT_EQ(std::vector<int>(values, values + 5), (std::vector<int>{2, 2, 1, 2, 3}));

    int single[4] = {};
    EXPECT_EQ(GetIniRangeNumbers(nullptr, nullptr, nullptr, "42", single, 4), 0);
    EXPECT_EQ(std::vector<int>(single, single + 3), (std::vector<int>{1, 1, 42}));

    int dotted[8] = {};
    EXPECT_EQ(GetIniRangeNumbers(nullptr, nullptr, nullptr, "7.5.-3", dotted, 8), 0);
    EXPECT_EQ(std::vector<int>(dotted, dotted + 5), (std::vector<int>{1, 3, 7, 5, -3}));
}

TEST(GetIniRangeNumbers, RunningOutOfSlotsOrArgumentsGives1) {
    int values[4] = {-9, -9, -9, -9};
    EXPECT_EQ(GetIniRangeNumbers(nullptr, nullptr, nullptr, "1,2,3", values, 4), 1);
    EXPECT_EQ(values[2], 1);
    EXPECT_EQ(values[3], 2);
    EXPECT_EQ(GetIniRangeNumbers(nullptr, nullptr, nullptr, "1", values, 2), 1);
    EXPECT_EQ(GetIniRangeNumbers(nullptr, nullptr, nullptr, nullptr, values, 8), 1);
    EXPECT_EQ(GetIniRangeNumbers(nullptr, nullptr, nullptr, "1", nullptr, 8), 1);
    // Overlong numbers saturate instead of overflowing.
    int big[4] = {};
    EXPECT_EQ(GetIniRangeNumbers(nullptr, nullptr, nullptr, "99999999999999", big, 4), 0);
    EXPECT_EQ(big[2], 2147483647);
}

TEST(GetIniRangeNumbers, ReadsTheKeyFromAnIniFileOrFallsBackToTheDefault) {
    TempFolder folder;
    std::string file = folder.write("ranges.ini", "[Ranges]\nPorts=1,2,3;10\n");
    int values[8] = {};
    EXPECT_EQ(GetIniRangeNumbers(file.c_str(), "ranges", "ports", "0", values, 8), 0);
    EXPECT_EQ(std::vector<int>(values, values + 6), (std::vector<int>{2, 3, 1, 2, 3, 10}));
    EXPECT_EQ(GetIniRangeNumbers(file.c_str(), "ranges", "missing", "4;5", values, 8), 0);
    EXPECT_EQ(std::vector<int>(values, values + 4), (std::vector<int>{2, 1, 4, 5}));
}

TEST(DecodeLibVersion, ReadsStringOneOfTheModule) {
    HMODULE module = LoadLibrary("KTestModule");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(DecodeLibVersion(module), 0x0501u);  // its string 1 is "5.01"
    FreeLibrary(module);
    HMODULE self = LoadLibrary("K32FABUTIL1");
    EXPECT_EQ(DecodeLibVersion(self), 0x0200u);
    FreeLibrary(self);
    EXPECT_EQ(DecodeLibVersion(nullptr), 0u);  // the test program has no version string
}

TEST(LogFont, ConversionsCutAndWidenTheFiveValuesAndKeepTheRest) {
    kestra::LogFont32 wide{};
    wide.height = -13;
    wide.width = 0x12345;  // cut to 16 bits
    wide.weight = 700;
    wide.italic = 1;
    wide.pitchAndFamily = 0x22;
    std::strcpy(wide.faceName, "Panel Sans");
    auto* narrow = static_cast<kestra::LogFont16*>(LogFont32to16(&wide));
    EXPECT_EQ(narrow->height.get(), -13);
    EXPECT_EQ(narrow->width.get(), 0x2345);
    EXPECT_EQ(narrow->weight.get(), 700);
    EXPECT_EQ(narrow->italic, 1);
    EXPECT_EQ(narrow->pitchAndFamily, 0x22);
    EXPECT_STREQ(narrow->faceName, "Panel Sans");

    auto* back = static_cast<kestra::LogFont32*>(LogFont16to32(narrow));
    EXPECT_EQ(back->height.get(), -13);  // widened with its sign
    EXPECT_EQ(back->width.get(), 0x2345);
    EXPECT_STREQ(back->faceName, "Panel Sans");
    // Each function has one buffer that the next call overwrites.
    wide.height = 20;
    EXPECT_EQ(LogFont32to16(&wide), narrow);
    EXPECT_EQ(narrow->height.get(), 20);
}
