#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "kestra/project.h"
#include "string_table/string_table.h"
#include "utilities/blocks.h"
#include "utilities/k32fabutil1.h"

using namespace kestra;

namespace {

using Range = std::pair<int, int>;
struct Entry {
    int first, last;
    DWORD value;
    bool operator==(const Entry&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Entry& e) {
    return out << "[" << e.first << ", " << e.last << "] = " << e.value;
}

class ParameterFolder : public ::testing::Test {
  protected:
    // Identifier 0 stands for "no text" in folders; a project's first text is its title.
    void SetUp() override { StrTabAddText("title", &project_); }
    void TearDown() override {
        ExpDeleteFolder(&numeric_, &project_);
        ExpDeleteFolder(&strings_, &project_);
        StrTabDiscard(&project_);
    }
    std::vector<Entry> entries(const FolderHeader& folder) {
        std::vector<Entry> out;
        if (folder.count <= 0) return out;
        auto records =
            blocks::Records<ListEntry>(folder.block, static_cast<std::size_t>(folder.count.get()));
        EXPECT_TRUE(records);
        for (const ListEntry& e : *records)
            out.push_back(
                {e.firstKey, e.lastKey,
                 folder.numeric != 0 ? static_cast<DWORD>(e.value.get()) : e.textId.get()});
        return out;
    }
    // A new text with one reference, as a caller hands it to the folder.
    WORD text(const char* s) { return StrTabAddText(s, &project_); }
    DWORD references(WORD id) { return StrTabReferenceCount(id, &project_); }
    void place(FolderHeader& folder, int key, DWORD value) {
        ASSERT_TRUE(ExpPlaceValueInFolder(&folder, key, value, &project_)) << key;
    }

    ProjectBlock project_{};
    FolderHeader numeric_{0, 0, 1, 0};
    FolderHeader strings_{};
};

}  // namespace

TEST_F(ParameterFolder, NeighbouringKeysWithTheSameValueJoinOneRange) {
    for (int key : {0, 1, 2}) place(numeric_, key, 7);
    EXPECT_EQ(entries(numeric_), (std::vector<Entry>{{0, 2, 7}}));
}

TEST_F(ParameterFolder, AKeyInsideARangeSplitsIt) {
    place(numeric_, 0, 3);
    for (int key = 1; key <= 9; ++key) place(numeric_, key, 3);
    place(numeric_, 5, 7);
    EXPECT_EQ(entries(numeric_), (std::vector<Entry>{{0, 4, 3}, {5, 5, 7}, {6, 9, 3}}));
}

TEST_F(ParameterFolder, ANewKeyJoinsTheRangeAboveButNotTheOneBelowAlone) {
    for (int key = 0; key <= 4; ++key) place(numeric_, key, 3);
    for (int key = 10; key <= 12; ++key) place(numeric_, key, 8);
    place(numeric_, 5, 3);
    EXPECT_EQ(entries(numeric_), (std::vector<Entry>{{0, 4, 3}, {5, 5, 3}, {10, 12, 8}}));

    ExpDeleteFolder(&numeric_, &project_);
    for (int key = 0; key <= 4; ++key) place(numeric_, key, 3);
    for (int key = 6; key <= 9; ++key) place(numeric_, key, 3);
    ASSERT_EQ(entries(numeric_).size(), 2u);
    place(numeric_, 5, 3);  // closes the gap: both ranges become one
    EXPECT_EQ(entries(numeric_), (std::vector<Entry>{{0, 9, 3}}));
}

TEST_F(ParameterFolder, KeysAreSigned16BitAndValuesSigned32Bit) {
    place(numeric_, -5, static_cast<DWORD>(-100));
    place(numeric_, 0x10007, 1);  // taken as key 7
    DWORD value = 0;
    ASSERT_TRUE(ExpGetValueFromFolder(&numeric_, -5, &value, &project_));
    EXPECT_EQ(static_cast<std::int32_t>(value), -100);
    ASSERT_TRUE(ExpGetValueFromFolder(&numeric_, 7, &value, &project_));
    EXPECT_EQ(value, 1u);
    EXPECT_FALSE(ExpGetValueFromFolder(&numeric_, 6, &value, &project_));
    EXPECT_EQ(entries(numeric_),
              (std::vector<Entry>{{-5, -5, static_cast<DWORD>(-100)}, {7, 7, 1}}));
}

TEST_F(ParameterFolder, EveryStringEntryHoldsExactlyOneReference) {
    WORD a = text("alpha");
    place(strings_, 0, a);
    place(strings_, 1, text("alpha"));  // joins: the folder gives the extra reference back
    place(strings_, 2, text("alpha"));
    EXPECT_EQ(entries(strings_), (std::vector<Entry>{{0, 2, a}}));
    EXPECT_EQ(references(a), 1u);

    WORD b = text("beta");
    place(strings_, 1, b);  // splits [0, 2]: both halves share alpha
    EXPECT_EQ(entries(strings_), (std::vector<Entry>{{0, 0, a}, {1, 1, b}, {2, 2, a}}));
    EXPECT_EQ(references(a), 2u);
    EXPECT_EQ(references(b), 1u);

    place(strings_, 1, text("alpha"));  // rejoins all three
    EXPECT_EQ(entries(strings_), (std::vector<Entry>{{0, 2, a}}));
    EXPECT_EQ(references(a), 1u);
    EXPECT_EQ(references(b), 0u);

    place(strings_, 1, text("alpha"));  // already that value
    EXPECT_EQ(references(a), 1u);

    FolderHeader copy{};
    ASSERT_TRUE(ExpDuplicateFolder(&copy, &strings_, &project_));
    EXPECT_EQ(references(a), 2u);
    EXPECT_NE(copy.block, strings_.block);
    EXPECT_EQ(GlobalSize(copy.block), 2 * sizeof(ListEntry));  // room for one more entry
    EXPECT_EQ(entries(copy), entries(strings_));
    ExpDeleteFolder(&copy, &project_);
    EXPECT_EQ(references(a), 1u);
    EXPECT_EQ(copy.count, 0);
    EXPECT_EQ(copy.block, 0u);
}

TEST_F(ParameterFolder, ReplacingTheOnlySingleKeyReleasesTheOldText) {
    WORD a = text("a");
    place(strings_, 4, a);
    WORD b = text("b");
    place(strings_, 4, b);
    EXPECT_EQ(entries(strings_), (std::vector<Entry>{{4, 4, b}}));
    EXPECT_EQ(references(a), 0u);
}

TEST_F(ParameterFolder, ValidationCutsKeysAboveTheLastSet) {
    for (int key = 0; key <= 9; ++key) place(numeric_, key, 1);
    place(numeric_, 12, 2);
    ASSERT_TRUE(ExpValidateFolder(&numeric_, 5, 0, &project_));
    EXPECT_EQ(entries(numeric_), (std::vector<Entry>{{0, 4, 1}}));
    ASSERT_TRUE(ExpValidateFolder(&numeric_, 4, 1, &project_));
    EXPECT_EQ(entries(numeric_), (std::vector<Entry>{{0, 2, 1}}));
    ASSERT_TRUE(ExpValidateFolder(&numeric_, 0, 0, &project_));
    EXPECT_EQ(numeric_.count, 0);
    EXPECT_EQ(numeric_.block, 0u);

    WORD gone = text("gone");
    place(strings_, 7, gone);
    ASSERT_TRUE(ExpValidateFolder(&strings_, 3, 0, &project_));
    EXPECT_EQ(references(gone), 0u);
}

TEST_F(ParameterFolder, AFolderHoldsAtMost4095Entries) {
    for (int i = 0; i < kMaxFolderEntries; ++i) place(numeric_, 2 * i, static_cast<DWORD>(i));
    const HGLOBAL block = numeric_.block;
    EXPECT_FALSE(ExpPlaceValueInFolder(&numeric_, 2 * kMaxFolderEntries, 99999, &project_));
    EXPECT_EQ(numeric_.count, kMaxFolderEntries);
    EXPECT_EQ(numeric_.block, block);
    place(numeric_, 1, 1);  // joins the range above and needs no new entry
}

TEST_F(ParameterFolder, ADamagedFolderIsRefusedAndLeftAlone) {
    place(numeric_, 0, 5);
    numeric_.count = 3;  // claims more entries than its block holds
    DWORD value;
    EXPECT_FALSE(ExpGetValueFromFolder(&numeric_, 0, &value, &project_));
    EXPECT_FALSE(ExpPlaceValueInFolder(&numeric_, 1, 5, &project_));
    EXPECT_FALSE(ExpValidateFolder(&numeric_, 1, 0, &project_));
    FolderHeader copy{};
    EXPECT_FALSE(ExpDuplicateFolder(&copy, &numeric_, &project_));
    EXPECT_EQ(copy.block, 0u);
    EXPECT_EQ(numeric_.count, 3);
    EXPECT_TRUE(ExpDeleteFolder(&numeric_, &project_));  // frees what is there
    EXPECT_EQ(numeric_.block, 0u);
}

TEST(ParameterMatrix, EveryRowGetsAValueForEverySetAndTextsAreCut) {
    ProjectBlock* project =
        static_cast<ProjectBlock*>(GlobalLock(GlobalAlloc(GHND, sizeof(ProjectBlock))));
    HGLOBAL projectHandle = mem::Locate(project)->ref;
    struct Row {
        std::uint8_t r0[4];
        FolderHeader folder;
        std::uint8_t r14[14];
        std::uint8_t maxTextLength;
        std::uint8_t r29[3];
    };
    static_assert(sizeof(Row) == 32);
    HGLOBAL rowsHandle = GlobalAlloc(GHND, 2 * sizeof(Row));
    auto rows = *blocks::Records<Row>(rowsHandle, 2);
    rows[0].maxTextLength = 3;
    rows[1].folder.numeric = 1;
    StrTabAddText("title", project);
    WORD longText = StrTabAddText("abcdef", project);
    ASSERT_TRUE(ExpPlaceValueInFolder(&rows[0].folder, 0, longText, project));
    ASSERT_TRUE(ExpPlaceValueInFolder(&rows[1].folder, 5, 42, project));

    std::uint8_t matrix[128] = {};
    WriteLe16(matrix + 4, 3);  // sets
    WriteLe16(matrix + 6, 0);  // base
    WriteLe16(matrix + 8, 2);  // rows
    WriteLe32(matrix + 12, rowsHandle);
    WriteLe32(matrix + 124, projectHandle);
    ASSERT_TRUE(ValidateParSets(matrix));

    char buffer[16];
    for (int set = 0; set < 3; ++set) {
        DWORD id = 0;
        ASSERT_TRUE(ExpGetValueFromFolder(&rows[0].folder, set, &id, project)) << set;
        StrTabGetText(static_cast<WORD>(id), project, buffer, sizeof buffer, 0);
        EXPECT_STREQ(buffer, set == 0 ? "abc" : "") << set;
        DWORD number = 7;
        ASSERT_TRUE(ExpGetValueFromFolder(&rows[1].folder, set, &number, project)) << set;
        EXPECT_EQ(number, 0u);
    }
    DWORD dropped;
    EXPECT_FALSE(ExpGetValueFromFolder(&rows[1].folder, 5, &dropped, project));  // above the sets
    EXPECT_EQ(StrTabReferenceCount(longText, project), 0u);

    ExpDeleteFolder(&rows[0].folder, project);
    ExpDeleteFolder(&rows[1].folder, project);
    GlobalFree(rowsHandle);
    StrTabDiscard(project);
    GlobalFree(projectHandle);
}

namespace {

class NetworkFolder : public ::testing::Test {
  protected:
    void SetUp() override { baseline_ = mem::LiveBlocks(mem::Kind::Global); }
    void TearDown() override {
        ExpDeleteNetworkFolder(&folder_);
        EXPECT_EQ(mem::LiveBlocks(mem::Kind::Global), baseline_);
    }
    static NetworkNode node(int key, std::uint8_t tag = 0) {
        NetworkNode n{};
        n.nodeKey = static_cast<std::uint16_t>(key);
        n.editor3[0] = tag;
        return n;
    }
    std::vector<int> keys(const NetworkNode& folder) {
        std::vector<int> out;
        for (const auto& child :
             blocks::RecordsUpTo<NetworkNode>(folder.children, folder.childCount))
            out.push_back(child.nodeKey);
        return out;
    }
    NetworkNode folder_{};
    std::size_t baseline_ = 0;
};

}  // namespace

TEST_F(NetworkFolder, RegisteringAppendsOrReplacesByKey) {
    for (int key : {10, 20, 30}) {
        NetworkNode n = node(key);
        ASSERT_TRUE(ExpRegisterNetNodeData(&folder_, &n));
    }
    EXPECT_EQ(keys(folder_), (std::vector<int>{10, 20, 30}));
    EXPECT_EQ(folder_.flags & 1, 0);  // registering leaves the flag to the caller
    NetworkNode replacement = node(20, 0x55);
    ASSERT_TRUE(ExpRegisterNetNodeData(&folder_, &replacement));
    EXPECT_EQ(keys(folder_), (std::vector<int>{10, 20, 30}));
    NetworkNode out{};
    ASSERT_TRUE(ExpGetNetNodeData(&folder_, TRUE, 20, &out));
    EXPECT_EQ(out.editor3[0], 0x55);
    ASSERT_TRUE(ExpGetNetNodeData(&folder_, FALSE, 2, &out));
    EXPECT_EQ(out.nodeKey, 30);
    EXPECT_FALSE(ExpGetNetNodeData(&folder_, FALSE, 3, &out));
    EXPECT_FALSE(ExpGetNetNodeData(&folder_, FALSE, -1, &out));
    EXPECT_FALSE(ExpGetNetNodeData(&folder_, TRUE, 40, &out));
}

TEST_F(NetworkFolder, ReplacingAChildWithOtherChildrenFreesItsOldDescendants) {
    NetworkNode parent = node(1);
    NetworkNode grandchild = node(100);
    ASSERT_TRUE(ExpRegisterNetNodeData(&parent, &grandchild));
    ASSERT_TRUE(ExpRegisterNetNodeData(&folder_, &parent));
    const std::size_t withGrandchild = mem::LiveBlocks(mem::Kind::Global);
    NetworkNode bare = node(1);
    ASSERT_TRUE(ExpRegisterNetNodeData(&folder_, &bare));
    EXPECT_EQ(mem::LiveBlocks(mem::Kind::Global), withGrandchild - 1);
}

TEST_F(NetworkFolder, DeletingAChildFreesItsDescendantsAndShrinksTheBlock) {
    for (int key : {1, 2, 3}) {
        NetworkNode child = node(key);
        NetworkNode grandchild = node(key * 10);
        ASSERT_TRUE(ExpRegisterNetNodeData(&child, &grandchild));
        ASSERT_TRUE(ExpRegisterNetNodeData(&folder_, &child));
    }
    ASSERT_TRUE(ExpDeleteNetNodeData(&folder_, 2));
    EXPECT_EQ(keys(folder_), (std::vector<int>{1, 3}));
    EXPECT_EQ(GlobalSize(folder_.children), 2 * sizeof(NetworkNode));
    EXPECT_FALSE(ExpDeleteNetNodeData(&folder_, 2));
    ASSERT_TRUE(ExpDeleteNetNodeData(&folder_, 1));
    ASSERT_TRUE(ExpDeleteNetNodeData(&folder_, 3));
    EXPECT_EQ(folder_.children, 0u);
    EXPECT_EQ(folder_.childCount, 0);
}

TEST_F(NetworkFolder, DuplicatesAreDeepAndIndependent) {
    NetworkNode child = node(5);
    NetworkNode grandchild = node(50, 0x77);
    ASSERT_TRUE(ExpRegisterNetNodeData(&child, &grandchild));
    child.flags = 1;
    ASSERT_TRUE(ExpRegisterNetNodeData(&folder_, &child));
    folder_.flags = 1;

    NetworkNode copy{};
    ASSERT_TRUE(ExpDuplicateNetworkFolder(&copy, &folder_));
    EXPECT_NE(copy.children, folder_.children);
    NetworkNode copiedChild{}, originalChild{};
    ASSERT_TRUE(ExpGetNetNodeData(&copy, TRUE, 5, &copiedChild));
    ASSERT_TRUE(ExpGetNetNodeData(&folder_, TRUE, 5, &originalChild));
    EXPECT_NE(copiedChild.children, originalChild.children);
    NetworkNode copiedGrandchild{};
    ASSERT_TRUE(ExpGetNetNodeData(&copiedChild, TRUE, 50, &copiedGrandchild));
    EXPECT_EQ(copiedGrandchild.editor3[0], 0x77);

    ASSERT_TRUE(ExpDeleteNetworkFolder(&copy));
    EXPECT_EQ(copy.children, 0u);
    EXPECT_EQ(copy.childCount, 0);
    EXPECT_EQ(copy.flags & 1, 0);
    ASSERT_TRUE(ExpGetNetNodeData(&originalChild, TRUE, 50, &copiedGrandchild));  // untouched
}

TEST_F(NetworkFolder, ABlockSharedByTwoNodesIsFreedOnce) {
    NetworkNode child = node(1);
    NetworkNode grandchild = node(2);
    ASSERT_TRUE(ExpRegisterNetNodeData(&child, &grandchild));
    ASSERT_TRUE(ExpRegisterNetNodeData(&folder_, &child));
    // Damage: the grandchild names the folder's own block as its children.
    auto kids = blocks::RecordsUpTo<NetworkNode>(folder_.children, folder_.childCount);
    auto grandkids = blocks::RecordsUpTo<NetworkNode>(kids[0].children, kids[0].childCount);
    grandkids[0].children = folder_.children;
    grandkids[0].childCount = 1;
    EXPECT_TRUE(ExpDeleteNetworkFolder(&folder_));  // no double free, no endless walk
}
