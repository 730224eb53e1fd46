#include <gtest/gtest.h>

#include <cstring>

#include "plc_s5/k32plc1.h"
#include "plc_s5/tables.h"
#include "s5_project.h"
#include "utilities/tags.h"

using namespace kestra;
using namespace kestra::s5;
using kestra::s5::testing::TestProject;

namespace {

// The tag data the driver keeps for a tag: a PLC reference padded to 32 bytes.
struct TagData {
    uPLCADR ref;
    std::uint8_t tail[2];
};

TagData Address(std::uint8_t db, std::uint16_t offset, std::uint8_t format) {
    TagData t{};
    t.ref.dataBlock = db;
    t.ref.byteOffset = offset;
    t.ref.dataFormat = format;
    t.ref.dataType = 1;
    return t;
}

DWORD AddTag(TestProject& project, const char* name, const TagData& data) {
    return AddTagElement(&project.block().ext.tagFolder, &project.block(), name, &data, -1, FALSE,
                         &TagCheckFunction);
}

}  // namespace

TEST(LogicalTags, NamesBindReferencesAndWriteBackAsNames) {
    TestProject project;
    uPLCSETUP setup{};
    setup.model = 1;
    AddTag(project, "Level", Address(11, 0, kWord));
    const DWORD speed = AddTag(project, "Speed", Address(12, 6, kWord));
    ASSERT_NE(speed, 0u);

    uPLCADR ref{};
    ref.flags = uPLCADR::kHighPriority;
    ASSERT_TRUE(
        ExpDecodeLogicalAddressString("Speed", &project.block(), &setup, &ref, 0, FALSE, 0));
    EXPECT_EQ(ref.tagIndex.get(), speed);
    EXPECT_EQ(ref.flags, uPLCADR::kBoundToTag | uPLCADR::kHighPriority);
    EXPECT_EQ(ref.dataBlock, 12);
    EXPECT_EQ(ref.byteOffset.get(), 6);
    EXPECT_EQ(ref.dataType.get(), 1);

    char text[101];
    ASSERT_TRUE(ExpWriteLogicalAddressString(text, &project.block(), &setup, &ref, 0, FALSE, 0));
    EXPECT_STREQ(text, "Speed");
    ASSERT_TRUE(ExpWriteLogicalAddressString(text, &project.block(), &setup, &ref, 0, FALSE, 1));
    EXPECT_STREQ(text, "DB12 DW3");  // tag mode 1 writes the address itself

    // An address text unbinds the reference.
    ASSERT_TRUE(
        ExpDecodeLogicalAddressString("DB10 DW5", &project.block(), &setup, &ref, 0, FALSE, 0));
    EXPECT_EQ(ref.flags, uPLCADR::kHighPriority);
    EXPECT_EQ(ref.dataBlock, 10);
    EXPECT_FALSE(
        ExpDecodeLogicalAddressString("Nothing", &project.block(), &setup, &ref, 0, FALSE, 0));
    // Tag mode 1 never looks names up.
    EXPECT_FALSE(
        ExpDecodeLogicalAddressString("Speed", &project.block(), &setup, &ref, 0, FALSE, 1));
}

TEST(LogicalTags, ValidationFollowsTheTagOrDropsTheBinding) {
    TestProject project;
    uPLCSETUP setup{};
    const DWORD key = AddTag(project, "Flow", Address(20, 10, kDword));
    uPLCADR ref{};
    ASSERT_TRUE(ExpDecodeLogicalAddressString("Flow", &project.block(), &setup, &ref, 0, FALSE, 0));
    EXPECT_EQ(ref.dataFormat, kDword);

    ASSERT_EQ(AddTag(project, "Flow", Address(21, 4, kWord)), key);  // the tag moves
    EXPECT_TRUE(ExpValidatePLCAddress(&ref, &setup, &project.block(), 0));
    EXPECT_EQ(ref.dataBlock, 21);
    EXPECT_EQ(ref.byteOffset.get(), 4);
    EXPECT_EQ(ref.dataFormat, kWord);
    EXPECT_TRUE(ref.flags & uPLCADR::kBoundToTag);

    ASSERT_TRUE(DeleteTagElement(&project.block().ext.tagFolder, &project.block(), key));
    char text[101];
    ASSERT_TRUE(ExpWriteLogicalAddressString(text, &project.block(), &setup, &ref, 0, FALSE, 0));
    EXPECT_STREQ(text, "DB21 DW2");  // a vanished tag writes as its last address
    EXPECT_TRUE(ExpValidatePLCAddress(&ref, &setup, &project.block(), 0));
    EXPECT_EQ(ref.tagIndex.get(), 0);
    EXPECT_FALSE(ref.flags & uPLCADR::kBoundToTag);
    EXPECT_EQ(ref.dataBlock, 21);
}

TEST(LogicalTags, SetToTagAddressCopiesOnlyTheAddress) {
    uPLCADR destination{};
    destination.networkNode = 5;
    destination.flags = 0x81;
    const TagData tag = Address(30, 0x0102, kByte);
    SetToTagAddress(&destination, &tag.ref, nullptr);
    EXPECT_EQ(destination.dataBlock, 30);
    EXPECT_EQ(destination.byteOffset.get(), 0x0102);
    EXPECT_EQ(destination.dataType.get(), 1);
    EXPECT_EQ(destination.networkNode.get(), 5);
    EXPECT_EQ(destination.flags, 0x81);
    EXPECT_TRUE(TagCheckFunction(nullptr, nullptr, nullptr, nullptr));
}
