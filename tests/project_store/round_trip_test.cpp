// Projects saved, loaded back and saved again: the project read back holds the same data
// (texts compared as texts), and from the first load on saving and loading change nothing.
#include <algorithm>

#include "project_store/describe.h"
#include "project_store/store_test.h"

using namespace kestra;
using namespace kestra::testing;

namespace {

struct Case {
    const char* name;
    ProjectShape shape;
};

ProjectShape shape(void (*adjust)(ProjectShape&)) {
    ProjectShape s;
    adjust(s);
    return s;
}

const Case kCases[] = {
    {"Bare", shape([](ProjectShape& s) { s.pages = 1, s.fieldsPerPage = 0; })},
    {"OneLanguageEverySection", shape([](ProjectShape& s) {
         s.pages = 3, s.recordTables = true, s.keyed = true, s.network = true, s.optionLayout = 1;
         s.resources = true, s.tags = true, s.closing = true, s.extraTexts = 3;
     })},
    {"GroupsInsteadOfSection2a",
     shape([](ProjectShape& s) { s.recordTables = true, s.groups = true; })},
    {"ThreeLanguagesBitmapsBlobs", shape([](ProjectShape& s) {
         s.pages = 3, s.languages = 3, s.bitmaps = 6, s.pageBlobs = true, s.resources = true;
         s.keyed = true, s.optionLayout = 2, s.tags = true, s.closing = true, s.network = true;
     })},
    {"TwoLanguagesWithoutResources",
     shape([](ProjectShape& s) { s.languages = 2, s.keyed = true; })},
    {"ShortOptionElements",
     shape([](ProjectShape& s) { s.optionLayout = 1, s.shortOptionElements = true; })},
    {"BitmapsWithoutLanguages", shape([](ProjectShape& s) { s.bitmaps = 4; })},
    {"PageBlobsOnly", shape([](ProjectShape& s) { s.pageBlobs = true; })},
};

class RoundTrip : public StoreTest, public ::testing::WithParamInterface<Case> {};

}  // namespace

TEST_P(RoundTrip, ReadBackHoldsTheSameDataAndSavingAgainGivesTheSameImage) {
    HGLOBAL original = build(GetParam().shape);
    HGLOBAL first = save(original);
    ASSERT_NE(first, 0u);
    // Saving changes a project a little (the saved mark, page names), so it is described after.
    const std::string expected = DescribeProject(original);

    HGLOBAL loaded = load(first);
    ASSERT_NE(loaded, 0u);
    // Handed over unlocked, like the images.
    EXPECT_EQ(mem::LockCount(loaded), 0u);
    EXPECT_EQ(mem::LockCount(first), 0u);
    EXPECT_EQ(mem::LockCount(original), 0u);
    EXPECT_EQ(DescribeProject(loaded), expected);

    HGLOBAL second = save(loaded);
    HGLOBAL again = load(second);
    ASSERT_NE(again, 0u);
    EXPECT_EQ(DescribeProject(again), expected);
    HGLOBAL third = save(again);
    EXPECT_EQ(bytes(second), bytes(third));
    EXPECT_TRUE(messages.empty());
}

// Releasing a loaded project frees every block of it once (blocks two records share included).
TEST_P(RoundTrip, ReleasingALoadedProjectFreesEveryBlockOfIt) {
    HGLOBAL image = save(build(GetParam().shape));
    const auto live = [] {
        return mem::LiveBlocks(mem::Kind::Global) + mem::LiveBlocks(mem::Kind::Host);
    };
    const std::size_t before = live();
    HGLOBAL loaded = GetProject(image, 0);
    ASSERT_NE(loaded, 0u);
    store::ReleaseProject(loaded);
    EXPECT_EQ(live(), before);
}

INSTANTIATE_TEST_SUITE_P(Projects, RoundTrip, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// An image may keep a sub-entry's parts out of slot order. Loading it must not make the texts'
// string indices depend on that order, or the next load would number them differently.
TEST_F(StoreTest, KeyedPartsStoredOutOfSlotOrderRoundTripFromTheFirstLoad) {
    std::vector<std::uint8_t> image =
        bytes(save(build({.pages = 2, .keyed = true, .keyedNamedParts = true})));
    // Each entry's sub-entry 0x23: key, 3 parts, three lengths, then the parts in slots 1, 4, 7.
    const std::vector<std::uint8_t> head = {0x23, 0, 3, 0};
    int reordered = 0;
    for (auto at = std::search(image.begin(), image.end(), head.begin(), head.end());
         at != image.end(); at = std::search(at + 1, image.end(), head.begin(), head.end())) {
        const std::size_t lengthsAt = static_cast<std::size_t>(at - image.begin()) + 4;
        std::vector<std::vector<std::uint8_t>> parts;
        std::size_t partAt = lengthsAt + 6;
        for (int i = 0; i < 3; ++i) {
            const std::size_t length = ReadLe16(&image[lengthsAt + 2 * i]);
            parts.emplace_back(&image[partAt], &image[partAt + length]);
            partAt += length;
        }
        ASSERT_EQ(ReadLe16(parts[0].data()), 1);
        ASSERT_EQ(ReadLe16(parts[2].data()), 7);
        std::size_t out = lengthsAt + 6;
        for (int i = 0; i < 3; ++i) {
            const auto& part = parts[2 - i];
            WriteLe16(&image[lengthsAt + 2 * i], static_cast<std::uint16_t>(part.size()));
            std::copy(part.begin(), part.end(), image.begin() + static_cast<std::ptrdiff_t>(out));
            out += part.size();
        }
        ++reordered;
    }
    ASSERT_EQ(reordered, 2);

    HGLOBAL loaded = load(imageOf(image));
    ASSERT_NE(loaded, 0u);
    HGLOBAL first = save(loaded);
    HGLOBAL again = load(first);
    ASSERT_NE(again, 0u);
    EXPECT_EQ(bytes(first), bytes(save(again)));
    EXPECT_TRUE(messages.empty());
}
