#include "string_table/string_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kestra/project.h"
#include "platform/module.h"

using kestra::ProjectBlock;

namespace {

class StringTable : public ::testing::Test {
  protected:
    void TearDown() override {
        StrTabDiscard(&first_);
        StrTabDiscard(&second_);
    }
    std::string text(WORD id, ProjectBlock& project, DWORD room = 256) {
        std::vector<char> buffer(room + 1, '#');
        if (!StrTabGetText(id, &project, buffer.data(), room, 0)) return "<none>";
        return buffer.data();
    }
    ProjectBlock first_{};
    ProjectBlock second_{};
};

}  // namespace

TEST_F(StringTable, IdentifiersAreDenseInOrderOfFirstAdditionAndRepeatForEqualTexts) {
    EXPECT_EQ(StrTabAddText("Title", &first_), 0);
    EXPECT_EQ(StrTabAddText("Page 1", &first_), 1);
    EXPECT_EQ(StrTabAddText("Title", &first_), 0);
    EXPECT_EQ(StrTabAddText("", &first_), 2);
    EXPECT_EQ(StrTabAddText(nullptr, &first_), 2);  // no text is the empty text
    EXPECT_EQ(first_.record.stringCount, 3);
    EXPECT_EQ(text(1, first_), "Page 1");
    EXPECT_EQ(text(2, first_), "");
    // A table that holds nothing but the empty text.
    EXPECT_EQ(StrTabAddText("", &second_), 0);
    EXPECT_EQ(text(0, second_), "");
}

TEST_F(StringTable, EachProjectBlockHasItsOwnTable) {
    StrTabAddText("alpha", &first_);
    EXPECT_EQ(StrTabAddText("beta", &second_), 0);
    EXPECT_EQ(text(0, first_), "alpha");
    EXPECT_EQ(text(0, second_), "beta");
    EXPECT_EQ(second_.record.stringCount, 1);
}

TEST_F(StringTable, ReferencesAreCountedAndReleasedByFetchWithFlag1) {
    WORD id = StrTabAddText("shared", &first_);
    EXPECT_EQ(StrTabReferenceCount(id, &first_), 1u);
    StrTabAddText("shared", &first_);
    EXPECT_TRUE(StrTabAddReference(nullptr, id, &first_));
    EXPECT_EQ(StrTabReferenceCount(id, &first_), 3u);
    char buffer[16];
    EXPECT_TRUE(StrTabGetText(id, &first_, buffer, sizeof buffer, 1));
    EXPECT_EQ(StrTabReferenceCount(id, &first_), 2u);
    EXPECT_TRUE(StrTabGetText(id, &first_, nullptr, 0, 1));  // release only
    EXPECT_TRUE(StrTabGetText(id, &first_, nullptr, 0, 1));
    EXPECT_EQ(StrTabReferenceCount(id, &first_), 0u);
    // The identifier stays valid and dense after its last release.
    EXPECT_EQ(text(id, first_), "shared");
    EXPECT_EQ(StrTabAddText("next", &first_), 1);
    EXPECT_EQ(StrTabAddText("shared", &first_), id);
}

TEST_F(StringTable, TextsAreCutToTheRoomAndAlwaysTerminated) {
    WORD id = StrTabAddText("abcdefgh", &first_);
    EXPECT_EQ(text(id, first_, 4), "abc");
    EXPECT_EQ(text(id, first_, 1), "");
    char untouched = 'x';
    EXPECT_FALSE(StrTabGetText(id, &first_, &untouched, 0, 0));
    EXPECT_EQ(untouched, 'x');
}

TEST_F(StringTable, UnknownIdentifiersFailCleanly) {
    StrTabAddText("only", &first_);
    EXPECT_EQ(text(1, first_), "<none>");
    EXPECT_EQ(text(0xFFFF, first_), "<none>");
    EXPECT_FALSE(StrTabAddReference(nullptr, 7, &first_));
    EXPECT_FALSE(StrTabGetText(7, &first_, nullptr, 0, 1));
    EXPECT_EQ(text(0, second_), "<none>");
    EXPECT_EQ(StrTabAddText("x", nullptr), kNoStringId);
    EXPECT_FALSE(StrTabGetText(0, nullptr, nullptr, 0, 1));
}

TEST_F(StringTable, ALowerProjectCountDropsTheIdentifiersAboveIt) {
    StrTabAddText("old 0", &first_);
    StrTabAddText("old 1", &first_);
    // A loader copies a record and sets its count to 0 before it adds the image's texts.
    first_.record.stringCount = 0;
    EXPECT_EQ(StrTabAddText("new 0", &first_), 0);
    EXPECT_EQ(StrTabAddText("old 1", &first_), 1);  // a fresh identifier, not a stale one
    EXPECT_EQ(first_.record.stringCount, 2);
    EXPECT_EQ(text(0, first_), "new 0");
}

TEST_F(StringTable, ReferencesAddedTogetherCountAsManyAsAddedOneByOne) {
    const WORD id = StrTabAddText("met often", &first_);
    EXPECT_TRUE(StrTabAddReferences(id, &first_, 41));
    EXPECT_EQ(StrTabReferenceCount(id, &first_), 42u);
    EXPECT_TRUE(StrTabAddReferences(id, &first_, 0));
    EXPECT_EQ(StrTabReferenceCount(id, &first_), 42u);
    EXPECT_FALSE(StrTabAddReferences(id + 1, &first_, 5));  // unknown identifier
    EXPECT_FALSE(StrTabAddReferences(id, nullptr, 5));
    EXPECT_TRUE(StrTabAddReferences(id, &first_, 0xFFFFFFFFu));  // the count stops at its top
    EXPECT_EQ(StrTabReferenceCount(id, &first_), 0xFFFFFFFFu);
}

// Counts handed over together end where the same counts handed over one identifier at a time
// end, unknown identifiers included.
TEST_F(StringTable, ReferenceCountsHandedOverTogetherCountAsOneByOne) {
    struct Case {
        const char* name;
        std::vector<WORD> ids;
        std::vector<DWORD> counts;
    };
    const Case cases[] = {
        {"none", {}, {}},
        {"each once", {0, 1, 2}, {1, 1, 1}},
        {"one many times, zero counts", {2, 0, 2, 1}, {5, 0, 7, 0}},
        {"unknown among known", {1, 9, 0}, {3, 4, 5}},
        {"up to the top", {0, 0}, {0xFFFFFFF0u, 0x20u}},
    };
    for (const Case& c : cases) {
        for (ProjectBlock* p : {&first_, &second_}) {
            StrTabDiscard(p);
            *p = ProjectBlock{};
            for (const char* t : {"zero", "one", "two"}) StrTabAddText(t, p);
        }
        BOOL oneByOne = TRUE;
        for (std::size_t i = 0; i < c.ids.size(); ++i)
            oneByOne &= StrTabAddReferences(c.ids[i], &second_, c.counts[i]);
        EXPECT_EQ(StrTabAddReferenceCounts(&first_, c.ids.data(), c.counts.data(),
                                           static_cast<DWORD>(c.ids.size())),
                  oneByOne)
            << c.name;
        for (WORD id = 0; id < 4; ++id)
            EXPECT_EQ(StrTabReferenceCount(id, &first_), StrTabReferenceCount(id, &second_))
                << c.name << ", identifier " << id;
    }
    const WORD id = 0;
    const DWORD count = 1;
    EXPECT_FALSE(StrTabAddReferenceCounts(nullptr, &id, &count, 1));
}

// Adding texts while they are new leaves the table as adding the same texts one at a time
// does, up to the first text the table holds already; nothing of that text or after it.
TEST_F(StringTable, NewTextsAddedTogetherStopAtTheFirstTextTheTableHolds) {
    const struct {
        const char* name;
        std::vector<const char*> before;  // added one at a time first
        std::vector<const char*> texts;
        DWORD added;
    } cases[] = {
        {"all new, into an empty table", {}, {"a", "b", "", "c"}, 4},
        {"all new, after others", {"x", "y"}, {"a", "b"}, 2},
        {"none", {"x"}, {}, 0},
        {"stops at one held before", {"x", "b"}, {"a", "b", "c"}, 1},
        {"stops at the first one", {"a"}, {"a", "b"}, 0},
        {"stops at a repeat of the call's own", {}, {"a", "b", "a", "c"}, 2},
        {"no text is the empty text", {""}, {"a", nullptr, "c"}, 1},
    };
    for (const auto& c : cases) {
        StrTabDiscard(&first_);
        StrTabDiscard(&second_);
        first_.record.stringCount = second_.record.stringCount = 0;
        for (const char* t : c.before) {
            StrTabAddText(t, &first_);
            StrTabAddText(t, &second_);
        }
        WORD first = 0xABCD;
        EXPECT_EQ(
            StrTabAddNewTexts(&first_, c.texts.data(), static_cast<DWORD>(c.texts.size()), &first),
            c.added)
            << c.name;
        EXPECT_EQ(first, c.before.size()) << c.name;
        for (DWORD i = 0; i < c.added; ++i)
            EXPECT_EQ(StrTabAddText(c.texts[i], &second_), c.before.size() + i) << c.name;
        ASSERT_EQ(first_.record.stringCount, second_.record.stringCount) << c.name;
        for (WORD id = 0; id < first_.record.stringCount; ++id) {
            EXPECT_EQ(text(id, first_), text(id, second_)) << c.name << ", identifier " << id;
            EXPECT_EQ(StrTabReferenceCount(id, &first_), StrTabReferenceCount(id, &second_))
                << c.name << ", identifier " << id;
        }
    }
    const char* one = "one";
    EXPECT_EQ(StrTabAddNewTexts(nullptr, &one, 1, nullptr), 0u);
}

TEST_F(StringTable, NewTextsAddedTogetherStopWhenTheTableIsFull) {
    for (int i = 0; i < 0xFFFF - 1; ++i)
        ASSERT_EQ(StrTabAddText(std::to_string(i).c_str(), &first_), i);
    const char* texts[] = {"last", "one too many"};
    EXPECT_EQ(StrTabAddNewTexts(&first_, texts, 2, nullptr), 1u);
    EXPECT_EQ(first_.record.stringCount, 0xFFFF);
    EXPECT_EQ(StrTabAddText("last", &first_), 0xFFFF - 1);
}

TEST_F(StringTable, ManyTextsKeepTheirIdentifiersWhenTheTableGrowsAndWhenItIsCut) {
    // Texts that differ late, early or only in length, so that the index is tried hard.
    std::vector<std::string> texts;
    for (int i = 0; i < 3000; ++i)
        texts.push_back(i % 3 == 0   ? "text " + std::to_string(i)
                        : i % 3 == 1 ? std::to_string(i) + " text"
                                     : std::string(static_cast<std::size_t>(i % 200), 'x') +
                                           std::to_string(i));
    for (std::size_t i = 0; i < texts.size(); ++i)
        ASSERT_EQ(StrTabAddText(texts[i].c_str(), &first_), i);
    for (std::size_t i = 0; i < texts.size(); i += 7) {
        ASSERT_EQ(StrTabAddText(texts[i].c_str(), &first_), i);
        ASSERT_EQ(text(static_cast<WORD>(i), first_, 1024), texts[i]);
    }
    first_.record.stringCount = 1000;  // the identifiers above go
    for (std::size_t i = 0; i < 1000; i += 7)
        ASSERT_EQ(StrTabAddText(texts[i].c_str(), &first_), i);
    EXPECT_EQ(text(1000, first_), "<none>");
    EXPECT_EQ(StrTabAddText(texts[2999].c_str(), &first_), 1000);
    EXPECT_EQ(text(1000, first_, 1024), texts[2999]);
    EXPECT_EQ(first_.record.stringCount, 1001);
}

TEST_F(StringTable, FullTableRefusesNewTextsButKeepsFindingOldOnes) {
    for (int i = 0; i < 0xFFFF; ++i)
        ASSERT_EQ(StrTabAddText(std::to_string(i).c_str(), &first_), i);
    EXPECT_EQ(StrTabAddText("one too many", &first_), kNoStringId);
    EXPECT_EQ(StrTabAddText("17", &first_), 17);
    EXPECT_EQ(first_.record.stringCount, 0xFFFF);
}

// Visiting hands over what fetching each identifier in turn gives: the texts of the known
// identifiers, with their own lengths, and the empty text for the others.
TEST_F(StringTable, VisitingGivesEveryTextAsFetchingItWould) {
    for (const char* t : {"Title", "", "Page 1", "a longer text of the table"})
        StrTabAddText(t, &first_);
    for (DWORD count : {0u, 2u, 4u, 7u}) {
        std::vector<std::string> visited;
        ASSERT_TRUE(StrTabVisitTexts(
            &first_, count,
            [](void* into, const char* text, DWORD length) {
                static_cast<std::vector<std::string>*>(into)->emplace_back(text, length);
            },
            &visited));
        ASSERT_EQ(visited.size(), count);
        for (DWORD id = 0; id < count; ++id) {
            const std::string fetched = text(static_cast<WORD>(id), first_);
            EXPECT_EQ(visited[id], fetched == "<none>" ? "" : fetched) << id;
        }
    }
    EXPECT_EQ(StrTabReferenceCount(0, &first_), 1u);  // visiting releases nothing
    EXPECT_FALSE(StrTabVisitTexts(nullptr, 1, [](void*, const char*, DWORD) {}, nullptr));
}

TEST(StringTableList, FormatsTheAddedTextsIntoOneLine) {
    auto list = StrTabListPrepare(nullptr);
    ASSERT_NE(list, 0u);
    StrTabListAdd(list, "English");
    StrTabListAdd(list, "Deutsch");
    char line[32];
    EXPECT_EQ(StrTabListFormat(list, line, sizeof line), 17u);
    EXPECT_STREQ(line, "English / Deutsch");
    EXPECT_EQ(StrTabListFormat(list, line, 5), 4u);
    EXPECT_STREQ(line, "Engl");
    StrTabListRelease(list);
}

TEST(StringTableModule, ServiceOrdinalsBindToTheirExports) {
    HMODULE module = LoadLibrary("K32FABUTIL2");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCE(2)), reinterpret_cast<void*>(&StrTabAddText));
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCE(3)),
              reinterpret_cast<void*>(&StrTabAddReference));
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCE(5)), reinterpret_cast<void*>(&StrTabGetText));
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCE(6)),
              reinterpret_cast<void*>(&StrTabListPrepare));
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCE(7)), reinterpret_cast<void*>(&StrTabListAdd));
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCE(10)),
              reinterpret_cast<void*>(&StrTabListFormat));
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCE(19)),
              reinterpret_cast<void*>(&StrTabListRelease));
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCE(22)),
              reinterpret_cast<void*>(&StrTabAddReferences));
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCE(23)),
              reinterpret_cast<void*>(&StrTabVisitTexts));
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCE(24)),
              reinterpret_cast<void*>(&StrTabAddReferenceCounts));
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCE(25)),
              reinterpret_cast<void*>(&StrTabAddNewTexts));
    FreeLibrary(module);
}
