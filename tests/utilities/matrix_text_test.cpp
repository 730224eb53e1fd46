#include "utilities/matrix_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace kestra::utilities;

namespace {

std::vector<std::byte> words(std::vector<std::uint16_t> values) {
    std::vector<std::byte> out;
    for (auto v : values) {
        out.push_back(static_cast<std::byte>(v & 0xFF));
        out.push_back(static_cast<std::byte>(v >> 8));
    }
    return out;
}

}  // namespace

TEST(MatrixText, ABlockIsCopiedAsTabsAndLineEnds) {
    CellBlock block{{"1", "2", "3"}, {"a", "", "c"}};
    EXPECT_EQ(FormatCellBlock(block), "1\t2\t3\r\na\t\tc\r\n");
    EXPECT_EQ(ParseCellBlock(FormatCellBlock(block), 10, 10, 100), block);
}

TEST(MatrixText, PastedTextTakesAnyLineEndAndRaggedRows) {
    EXPECT_EQ(ParseCellBlock("1\t2\n3\r4\r\n\t5", 10, 10, 100),
              (CellBlock{{"1", "2"}, {"3"}, {"4"}, {"", "5"}}));
    EXPECT_EQ(ParseCellBlock("x\r\n\r\ny\r\n", 10, 10, 100), (CellBlock{{"x"}, {""}, {"y"}}));
    EXPECT_TRUE(ParseCellBlock("", 10, 10, 100).empty());
}

TEST(MatrixText, RowsColumnsAndCellTextBeyondTheLimitsAreLeftOut) {
    EXPECT_EQ(ParseCellBlock("1\t2\t3\n4\t5\t6\n7\t8\t9\n", 2, 2, 100),
              (CellBlock{{"1", "2"}, {"4", "5"}}));
    EXPECT_EQ(ParseCellBlock("abcdef\tgh", 5, 5, 3), (CellBlock{{"abc", "gh"}}));
    EXPECT_TRUE(ParseCellBlock("1\t2", 0, 5, 3).empty());
}

TEST(MultipageList, KeysAreAddedToAndRemovedFromGroupZeroOnly) {
    auto list = words({2, 2, 7, 9, 1, 7});
    EXPECT_EQ(MultipageHasKey(list, 9), true);
    EXPECT_EQ(MultipageHasKey(list, 5), false);
    EXPECT_EQ(MultipageWithKey(list, 5), words({2, 3, 7, 9, 5, 1, 7}));
    EXPECT_EQ(MultipageWithoutKey(list, 7), words({2, 1, 9, 1, 7})) << "group 1 keeps its 7";
    EXPECT_EQ(MultipageWithKey({}, 4), words({1, 1, 4})) << "a new list of one group";
    EXPECT_EQ(MultipageHasKey({}, 4), false);
}

TEST(MultipageList, ListsThatRunPastTheirBytesAreRefused) {
    for (auto bad : {words({2, 2, 7, 9, 3, 1}), words({1, 5, 1}), words({0}), words({1})}) {
        EXPECT_EQ(MultipageHasKey(bad, 7), std::nullopt);
        EXPECT_EQ(MultipageWithKey(bad, 7), std::nullopt);
        EXPECT_EQ(MultipageWithoutKey(bad, 7), std::nullopt);
    }
    auto odd = words({1, 1, 7});
    odd.push_back(std::byte{1});
    EXPECT_EQ(MultipageHasKey(odd, 7), true) << "a trailing byte is carried, not read";
    EXPECT_EQ(MultipageWithKey(odd, 8)->size(), odd.size() + 2);
}
