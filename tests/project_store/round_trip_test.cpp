// Projects saved, loaded back and saved again: the project read back holds the same data
// (texts compared as texts), and from the first load on saving and loading change nothing.
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

INSTANTIATE_TEST_SUITE_P(Projects, RoundTrip, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });
