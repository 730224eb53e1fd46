// Changes of the tag folder as the workbench makes them, on the sample project (three plain
// tags at the top level, keys 1 to 3): names refused where a tag could not be found by them,
// structures that cannot be moved into themselves, nesting limits, deletion with members, and
// tag data that are a PLC reference bound to no tag.
#include "workbench/hosted/tag_edits.h"

#include <cstring>

#include "hosted_test_support.h"
#include "plc_s5/tables.h"
#include "string_table/string_table.h"

namespace kestra::workbench::testing {
namespace {

uPLCADR Word(std::uint8_t dataBlock, std::uint16_t word) {
    uPLCADR ref{};
    ref.dataBlock = dataBlock;
    ref.byteOffset = static_cast<std::uint16_t>(word * 2);
    ref.dataFormat = s5::kWord;
    ref.dataType = s5::kDataBlock;
    return ref;
}

class TagEdits : public HostedTest {
  protected:
    // "Plant" (structure) > "Tanks" (structure) > "Level" (tag at DB10 DW3).
    void SetUp() override {
        HostedTest::SetUp();
        plant = AddTag(block(), "Plant", 0, true, {});
        tanks = AddTag(block(), "Tanks", plant, true, {});
        level = AddTag(block(), "Level", tanks, false, Word(10, 3));
        ASSERT_NE(plant * tanks * level, 0);
    }
    TagElement tag(std::uint16_t key) {
        const auto at = TagPosition(block(), key);
        EXPECT_TRUE(at.has_value()) << key;
        return at ? TagsOf(block())[*at] : TagElement{};
    }
    std::uint16_t plant = 0, tanks = 0, level = 0;
};

struct NameCase {
    const char* name;
    std::string tagName;
    int parent;   // -1: "Plant", -2: "Tanks"
    int renamed;  // -3: "Level"
    const char* problem;
};

class TagNames : public TagEdits, public ::testing::WithParamInterface<NameCase> {
  protected:
    std::uint16_t keyOf(int which) const {
        return which == -1   ? plant
               : which == -2 ? tanks
               : which == -3 ? level
                             : static_cast<std::uint16_t>(which);
    }
};

TEST_P(TagNames, AreRefusedWhereNoTagCouldBeFoundByThem) {
    const NameCase& c = GetParam();
    const auto problem = TagNameProblem(block(), c.tagName, keyOf(c.parent), keyOf(c.renamed));
    if (!c.problem) {
        EXPECT_EQ(problem, std::nullopt) << *problem;
        return;
    }
    ASSERT_TRUE(problem.has_value());
    EXPECT_EQ(*problem, c.problem);
}

INSTANTIATE_TEST_SUITE_P(
    TagEdits, TagNames,
    ::testing::Values(NameCase{"Empty", "", 0, 0, "A tag needs a name."},
                      NameCase{"WithATab", "Tank\t1", 0, 0, "A tag's name cannot hold a tab."},
                      NameCase{"TooLong", std::string(100, 'x'), 0, 0,
                               "A tag's name has at most 99 characters."},
                      NameCase{"LongestThatFits", std::string(99, 'x'), 0, 0, nullptr},
                      NameCase{"TakenAtTheTopLevel", "Tank level", 0, 0,
                               "There is a tag \"Tank level\" at the top level already."},
                      NameCase{"TakenInAStructure", "Level", -2, 0,
                               "There is a tag \"Level\" in \"Tanks\" already."},
                      NameCase{"ItsOwnNameKept", "Level", -2, -3, nullptr},
                      NameCase{"TheSameNameInAnotherStructure", "Level", -1, 0, nullptr},
                      NameCase{"CaseMatters", "level", -2, 0, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TagEdits, ANewTagHoldsItsReferenceUnboundAndItsParent) {
    uPLCADR bound = Word(20, 4);
    bound.flags = uPLCADR::kBoundToTag | uPLCADR::kHighPriority;
    bound.tagIndex = 2;
    const std::uint16_t key = AddTag(block(), "Flow", plant, false, bound);
    ASSERT_EQ(key, 7) << "the smallest key no tag uses";
    const TagElement flow = tag(key);
    EXPECT_EQ(TagName(block(), flow), "Flow");
    EXPECT_EQ(flow.parentKey.get(), plant);
    EXPECT_FALSE(flow.isStructure());
    uPLCADR expected = bound;
    expected.flags = uPLCADR::kHighPriority;
    expected.tagIndex = 0;
    const uPLCADR stored = TagReference(flow);
    EXPECT_EQ(std::memcmp(&stored, &expected, sizeof expected), 0);

    EXPECT_TRUE(SetTagReference(block(), key, Word(30, 9)));
    EXPECT_EQ(TagReference(tag(key)).dataBlock, 30);
    EXPECT_FALSE(SetTagReference(block(), plant, Word(30, 9))) << "a structure names no address";
    EXPECT_EQ(AddTag(block(), "Flow", plant, false, bound), 0) << "the name is taken there";
}

TEST_F(TagEdits, AStructureMovesNeitherIntoItselfNorIntoItsMembers) {
    EXPECT_EQ(PossibleParents(block(), plant), std::vector<std::uint16_t>{});
    EXPECT_EQ(PossibleParents(block(), tanks), std::vector<std::uint16_t>{plant});
    EXPECT_EQ(PossibleParents(block(), level), (std::vector<std::uint16_t>{plant, tanks}));
    EXPECT_EQ(PossibleParents(block(), 0), (std::vector<std::uint16_t>{plant, tanks}));

    const host::Bytes before = image();
    EXPECT_FALSE(MoveTag(block(), plant, tanks));
    EXPECT_FALSE(MoveTag(block(), plant, plant));
    EXPECT_FALSE(MoveTag(block(), level, 1)) << "tag 1 is no structure";
    EXPECT_FALSE(MoveTag(block(), level, 99));
    ASSERT_NE(AddTag(block(), "Level", plant, false, Word(10, 4)), 0);
    const host::Bytes withSecondLevel = image();
    EXPECT_FALSE(MoveTag(block(), level, plant)) << "a second \"Level\" in \"Plant\"";
    EXPECT_EQ(image(), withSecondLevel);
    EXPECT_NE(before, withSecondLevel);

    EXPECT_TRUE(MoveTag(block(), tanks, 0));
    EXPECT_EQ(tag(tanks).parentKey.get(), 0);
    EXPECT_TRUE(MoveTag(block(), plant, tanks));
    EXPECT_EQ(tag(plant).parentKey.get(), tanks);
}

TEST_F(TagEdits, RenamingLetsTheOldNameGoAndKeepsTheKey) {
    const WORD old = tag(level).nameId;
    const DWORD held = StrTabReferenceCount(old, &block());
    EXPECT_TRUE(RenameTag(block(), level, "Height"));
    EXPECT_EQ(TagName(block(), tag(level)), "Height");
    EXPECT_EQ(StrTabReferenceCount(old, &block()), held - 1);
    EXPECT_FALSE(RenameTag(block(), level, "")) << "refused, and nothing changed";
    EXPECT_EQ(TagName(block(), tag(level)), "Height");
    EXPECT_FALSE(RenameTag(block(), 99, "Nobody"));
}

TEST_F(TagEdits, DeletingAStructureDeletesItsMembersAndFreesTheirKeys) {
    EXPECT_EQ(TagAndMembers(block(), plant), (std::vector<std::uint16_t>{plant, tanks, level}));
    EXPECT_TRUE(DeleteTag(block(), plant));
    ASSERT_EQ(TagsOf(block()).size(), 3u);
    for (const TagElement& t : TagsOf(block())) EXPECT_LE(t.key.get(), 3);
    EXPECT_EQ(AddTag(block(), "Again", 0, false, Word(10, 1)), plant) << "the first free key";
    EXPECT_FALSE(DeleteTag(block(), 99));
    EXPECT_FALSE(DeleteTag(block(), 0));
}

TEST_F(TagEdits, StructuresNestSeventeenLevelsAtMost) {
    std::uint16_t parent = 0;
    int levels = 0;
    for (; levels < 20; ++levels) {
        const std::uint16_t key =
            AddTag(block(), "Level " + std::to_string(levels), parent, true, {});
        if (key == 0) break;
        parent = key;
    }
    EXPECT_EQ(levels, kMaxTagNesting + 1);
    // The deepest structure can take no tag; "Plant", at the top, can be moved under it no more
    // than under any structure whose depth leaves its own two levels no room.
    EXPECT_EQ(AddTag(block(), "Too deep", parent, false, Word(10, 1)), 0);
    const auto parents = PossibleParents(block(), plant);
    EXPECT_EQ(std::find(parents.begin(), parents.end(), parent), parents.end());
}

}  // namespace
}  // namespace kestra::workbench::testing
