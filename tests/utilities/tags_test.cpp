#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kestra/project.h"
#include "string_table/string_table.h"
#include "utilities/blocks.h"
#include "utilities/k32fabutil1.h"

using namespace kestra;

namespace {

BOOL acceptAll(const void*, const void*, const void*, const void*) {
    return TRUE;
}
BOOL refuseAll(const void*, const void*, const void*, const void*) {
    return FALSE;
}

class TagFolder : public ::testing::Test {
  protected:
    void SetUp() override { StrTabAddText("title", &project_); }
    void TearDown() override {
        DeleteTagFolder(&folder_, &project_);
        StrTabDiscard(&project_);
    }
    // A descriptor whose first byte tells tags apart and whose node key is `node`.
    static std::vector<std::uint8_t> descriptor(std::uint8_t mark, std::uint16_t node = 0) {
        std::vector<std::uint8_t> d(32, 0);
        d[0] = mark;
        WriteLe16(d.data() + TagElement::kNodeKeyInData, node);
        return d;
    }
    DWORD add(const char* name, int parent = 0, bool structure = false, std::uint8_t mark = 0,
              TAGCOMPARE compare = acceptAll) {
        auto d = descriptor(mark);
        return AddTagElement(&folder_, &project_, name, d.data(), parent, structure, compare);
    }
    std::vector<int> keys() {
        std::vector<int> out;
        for (const auto& tag : blocks::RecordsUpTo<TagElement>(folder_.elements, folder_.count))
            out.push_back(tag.key);
        return out;
    }
    std::string name(DWORD key) {
        char buffer[64] = "?";
        GetTagElement(&folder_, &project_, key, nullptr, nullptr, nullptr, buffer, sizeof buffer,
                      nullptr);
        return buffer;
    }
    ProjectBlock project_{};
    TagFolderHeader folder_{};
};

}  // namespace

TEST_F(TagFolder, NewTagsTakeTheSmallestFreeKey) {
    EXPECT_EQ(add("Motor"), 1u);
    EXPECT_EQ(add("Pump"), 2u);
    EXPECT_EQ(add("Valve"), 3u);
    ASSERT_TRUE(DeleteTagElement(&folder_, &project_, 2));
    EXPECT_EQ(keys(), (std::vector<int>{1, 3}));
    EXPECT_EQ(GlobalSize(folder_.elements), 2 * sizeof(TagElement));
    EXPECT_EQ(add("Fan"), 2u);
    EXPECT_EQ(keys(), (std::vector<int>{1, 3, 2}));
    EXPECT_EQ(name(2), "Fan");
    EXPECT_FALSE(DeleteTagElement(&folder_, &project_, 9));
}

TEST_F(TagFolder, GettersReportTagDataParentStructureNameAndPosition) {
    DWORD parent = add("Line", 0, true, 0x11);
    DWORD member = add("Speed", static_cast<int>(parent), false, 0x22);
    std::uint8_t data[32];
    WORD parentKey = 99;
    BOOL structure = TRUE;
    char buffer[4];
    int position = -1;
    EXPECT_EQ(GetTagElement(&folder_, &project_, member, data, &parentKey, &structure, buffer,
                            sizeof buffer, &position),
              member);
    EXPECT_EQ(data[0], 0x22);
    EXPECT_EQ(parentKey, parent);
    EXPECT_FALSE(structure);
    EXPECT_STREQ(buffer, "Spe");  // cut to the buffer
    EXPECT_EQ(position, 1);
    EXPECT_EQ(GetBasedTagElement(&folder_, &project_, 0, nullptr, nullptr, &structure, nullptr, 0,
                                 nullptr),
              parent);
    EXPECT_TRUE(structure);
    EXPECT_EQ(
        GetBasedTagElement(&folder_, &project_, 2, nullptr, nullptr, nullptr, nullptr, 0, nullptr),
        0u);
    EXPECT_EQ(GetTagElement(&folder_, &project_, 0, nullptr, nullptr, nullptr, nullptr, 0, nullptr),
              0u);
}

TEST_F(TagFolder, AddingAnExistingTagUpdatesItInPlace) {
    DWORD key = add("Motor", 0, false, 1);
    TagElement& tag = blocks::RecordsUpTo<TagElement>(folder_.elements, folder_.count)[0];
    tag.data[28] = 0xAA;  // the word at element offset 32
    tag.data[29] = 0xBB;
    tag.data[25] = 0xFF;  // the byte at element offset 29
    auto d = descriptor(2);
    d[28] = 0x12;
    d[25] = 0x80;
    EXPECT_EQ(AddTagElement(&folder_, &project_, "Motor", d.data(), 0, TRUE, acceptAll), key);
    ASSERT_EQ(folder_.count, 1);
    TagElement& updated = blocks::RecordsUpTo<TagElement>(folder_.elements, folder_.count)[0];
    EXPECT_EQ(updated.data[0], 2);
    EXPECT_EQ(ReadLe16(updated.data + 28), 0);  // cleared on every add
    EXPECT_EQ(updated.data[25], 0x00);          // bit 7 cleared on every add
    EXPECT_TRUE(updated.isStructure());
    EXPECT_EQ(StrTabReferenceCount(updated.nameId, &project_), 1u);  // no extra reference kept

    // The comparison decides: a tag it refuses is another tag of the same name.
    EXPECT_EQ(add("Motor", 0, false, 3, refuseAll), 2u);
    EXPECT_EQ(folder_.count, 2);
}

TEST_F(TagFolder, ParentsDecideWhichTagOfAGivenNameIsMeant) {
    DWORD lineA = add("LineA", 0, true);
    DWORD lineB = add("LineB", 0, true);
    DWORD speedA = add("Speed", static_cast<int>(lineA));
    DWORD speedB = add("Speed", static_cast<int>(lineB));
    EXPECT_NE(speedA, speedB);
    EXPECT_EQ(add("Speed", static_cast<int>(lineB)), speedB);
    DWORD top = add("Speed", 0);  // a top-level tag of the same name is a third tag
    EXPECT_NE(top, speedA);
    EXPECT_NE(top, speedB);

    auto d = descriptor(0);
    int position = -1;
    EXPECT_EQ(ScanForExistingTag(&folder_, &project_, "LineB\tSpeed", d.data(), nullptr, &position,
                                 acceptAll),
              speedB);
    EXPECT_EQ(position, 3);
    EXPECT_EQ(
        ScanForExistingTag(&folder_, &project_, "\tSpeed", d.data(), nullptr, nullptr, acceptAll),
        top);
    EXPECT_EQ(
        ScanForExistingTag(&folder_, &project_, "Speed", d.data(), nullptr, nullptr, acceptAll),
        speedA);
    EXPECT_EQ(ScanForExistingTag(&folder_, &project_, "LineC\tSpeed", d.data(), nullptr, nullptr,
                                 acceptAll),
              0u);
    EXPECT_EQ(
        ScanForExistingTag(&folder_, &project_, "Nothing", d.data(), nullptr, nullptr, acceptAll),
        0u);

    // -1 finds the tag under any parent and keeps that parent.
    auto moved = descriptor(9);
    EXPECT_EQ(AddTagElement(&folder_, &project_, "Speed", moved.data(), -1, FALSE, acceptAll),
              speedA);
    WORD parent = 0;
    GetTagElement(&folder_, &project_, speedA, nullptr, &parent, nullptr, nullptr, 0, nullptr);
    EXPECT_EQ(parent, lineA);
}

TEST_F(TagFolder, OnANetworkOnlyTagsOfTheDescriptorsNodeMatch) {
    project_.record.onNetwork = 1;
    NetworkNode station{};
    station.nodeKey = 7;
    ASSERT_TRUE(ExpRegisterNetNodeData(&project_.ext.nodeB, &station));
    auto onSeven = descriptor(1, 7);
    auto onEight = descriptor(2, 8);
    DWORD seven = AddTagElement(&folder_, &project_, "Level", onSeven.data(), 0, FALSE, acceptAll);
    DWORD eight = AddTagElement(&folder_, &project_, "Level", onEight.data(), 0, FALSE, acceptAll);
    EXPECT_NE(seven, eight);
    static std::uint16_t seenNode;
    auto recordNode = [](const void*, const void*, const void*, const void* node) -> BOOL {
        seenNode = RecordAt<NetworkNode>(node).nodeKey;
        return TRUE;
    };
    EXPECT_EQ(ScanForExistingTag(&folder_, &project_, "Level", onSeven.data(), nullptr, nullptr,
                                 recordNode),
              seven);
    EXPECT_EQ(seenNode, 7);  // the callback sees the tag's own network node
    ExpDeleteNetworkFolder(&project_.ext.nodeB);
}

TEST_F(TagFolder, DeletingAStructureDeletesItsWholeSubtree) {
    DWORD plant = add("Plant", 0, true);
    DWORD line = add("Line", static_cast<int>(plant), true);
    add("Speed", static_cast<int>(line));
    add("Temp", static_cast<int>(plant));
    DWORD other = add("Other");
    ASSERT_TRUE(DeleteTagElement(&folder_, &project_, plant));
    EXPECT_EQ(keys(), (std::vector<int>{static_cast<int>(other)}));
}

TEST_F(TagFolder, RefusesEmptyNamesAndAFullFolder) {
    EXPECT_EQ(add(""), 0u);
    auto d = descriptor(0);
    EXPECT_EQ(AddTagElement(&folder_, &project_, nullptr, d.data(), 0, FALSE, acceptAll), 0u);
    for (int i = 0; i < kMaxTags; ++i)
        ASSERT_NE(add(("T" + std::to_string(i)).c_str(), 0, false, 0, refuseAll), 0u) << i;
    EXPECT_EQ(folder_.count, kMaxTags);
    EXPECT_EQ(add("one more"), 0u);
    EXPECT_EQ(add("T5"), 0u);  // even an update is refused once the folder is full
    EXPECT_EQ(folder_.count, kMaxTags);
}

TEST_F(TagFolder, DuplicatingAndDeletingFoldersCountNameReferences) {
    folder_.nameId = StrTabAddText("Tags", &project_);
    DWORD key = add("Motor");
    WORD nameId = blocks::RecordsUpTo<TagElement>(folder_.elements, folder_.count)[0].nameId;
    TagFolderHeader copy{};
    ASSERT_TRUE(DuplicateTagFolder(&copy, &folder_, &project_));
    EXPECT_NE(copy.elements, folder_.elements);
    EXPECT_EQ(copy.count, 1);
    EXPECT_EQ(StrTabReferenceCount(nameId, &project_), 2u);
    EXPECT_EQ(StrTabReferenceCount(folder_.nameId, &project_), 2u);
    EXPECT_EQ(GetTagElement(&copy, &project_, key, nullptr, nullptr, nullptr, nullptr, 0, nullptr),
              key);
    ASSERT_TRUE(DeleteTagFolder(&copy, &project_));
    EXPECT_EQ(copy.count, 0);
    EXPECT_EQ(copy.elements, 0u);
    EXPECT_EQ(StrTabReferenceCount(nameId, &project_), 1u);
    EXPECT_EQ(StrTabReferenceCount(folder_.nameId, &project_), 1u);
}

TEST_F(TagFolder, ADamagedFolderIsRefused) {
    add("Motor");
    folder_.count = 5;  // more than its block holds
    EXPECT_EQ(GetTagElement(&folder_, &project_, 1, nullptr, nullptr, nullptr, nullptr, 0, nullptr),
              0u);
    EXPECT_EQ(add("Pump"), 0u);
    EXPECT_FALSE(DeleteTagElement(&folder_, &project_, 1));
    TagFolderHeader copy{};
    EXPECT_FALSE(DuplicateTagFolder(&copy, &folder_, &project_));
    EXPECT_EQ(copy.elements, 0u);
    EXPECT_TRUE(DeleteTagFolder(&folder_, &project_));
}
