// A power cut at every single operation of a change leaves a card that mounts with either the
// old or the new directory, whose files all read back intact, and that takes the next change.
// A standard reader (first valid copy of every logical block) sees old or new contents too.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "card_test_support.h"
#include "earlier_layout.h"
#include "memory_card.h"

using namespace kestra::card;
using namespace kestra::card::testing;

namespace {

constexpr CardGeometry kGeometry{48, 4};  // 2 KB blocks, 46 logical blocks

using Contents_ = std::map<FileKey, std::vector<std::uint8_t>>;

struct CardState {
    bool formatted = true;
    std::vector<FileSummary> listing;
    Contents_ contents;
};

CardState Capture(CardFileSystem& fs) {
    CardState state;
    state.formatted = fs.state() == MountState::Formatted;
    state.listing = Summary(fs.files());
    for (const CardFile& file : fs.files())
        if (!file.placeholder) state.contents[file.key] = fs.load(file.key, "check");
    return state;
}

struct Change {
    const char* name;
    std::function<void(CardFileSystem&)> apply;
};

// A formatted card with three files and a placeholder.
MemoryCard BaseCard() {
    MemoryCard card(kGeometry);
    CardFileSystem fs(card);
    fs.mount();
    fs.format();
    fs.store(Meta(4, 1, "firmware", "1.0"), Contents(5000, 1), "t");
    fs.store(Meta(16, 2, "font-d"), Contents(1500, 2), "t");
    fs.store(Meta(6, 1, "keys"), Contents(300, 3), "t");
    fs.reserve(Meta(40, 0, "WCE"), 2);
    return card;
}

// The base card in the layout of the cards written before the card information structure:
// a write generation in spare bytes 0 to 3 and no CIS (its block was left erased).
MemoryCard EarlierLayoutCard() {
    MemoryCard card = BaseCard();
    ToEarlierLayout(card, 3);
    return card;
}

void CheckEveryCut(const Change& change, const MemoryCard& base = BaseCard(),
                   bool standardReaderBefore = true) {
    CardState before, after;
    std::uint64_t operations = 0;
    {
        MemoryCard card = base;
        CardFileSystem fs(card);
        fs.mount();
        before = Capture(fs);
        const std::uint64_t start = card.operations();
        change.apply(fs);
        operations = card.operations() - start;
        fs.mount();
        after = Capture(fs);
    }
    ASSERT_NE(before.listing, after.listing) << change.name << " changes nothing";
    ASSERT_GT(operations, 0u);
    ::testing::Test::RecordProperty("operations", static_cast<int>(operations));

    unsigned sawOld = 0, sawNew = 0;
    for (std::uint64_t cut = 1; cut <= operations; ++cut) {
        for (MemoryCard::Cut mode : {MemoryCard::Cut::Dropped, MemoryCard::Cut::Torn}) {
            SCOPED_TRACE(std::string(change.name) + " cut at " + std::to_string(cut) +
                         (mode == MemoryCard::Cut::Torn ? " torn" : " dropped"));
            MemoryCard card = base;
            {
                CardFileSystem fs(card);
                fs.mount();
                card.cutPowerAt(cut, mode, static_cast<std::uint32_t>(cut));
                const KESSSFDCERRORCODE error = ErrorOf([&] { change.apply(fs); });
                ASSERT_TRUE(error == KESSSFDC_READER_FAULT || error == KESSSFDC_OK) << error;
                ASSERT_TRUE(card.powerCut());
            }
            card.restorePower();
            if (standardReaderBefore) {
                StandardView view(card);
                ASSERT_TRUE(view.fs);
                ASSERT_NE(view.fs->state(), MountState::BrokenHeader) << view.fs->headerProblem();
                const CardState shown = Capture(*view.fs);
                const bool isOld =
                    shown.formatted == before.formatted && shown.listing == before.listing;
                const bool isNew =
                    shown.formatted == after.formatted && shown.listing == after.listing;
                ASSERT_TRUE(isOld || isNew) << "through a standard reader";
                ASSERT_EQ(shown.contents, isOld ? before.contents : after.contents);
            }
            CardFileSystem fs(card);
            fs.mount();
            ASSERT_NE(fs.state(), MountState::BrokenHeader) << fs.headerProblem();
            const CardState seen = Capture(fs);
            const bool isOld = seen.formatted == before.formatted && seen.listing == before.listing;
            const bool isNew = seen.formatted == after.formatted && seen.listing == after.listing;
            ASSERT_TRUE(isOld || isNew);
            ASSERT_EQ(seen.contents, isOld ? before.contents : after.contents);
            sawOld += isOld;
            sawNew += isNew && !isOld;

            // The card takes the next change, and keeps everything it had.
            if (!seen.formatted) fs.format();
            fs.store(Meta(6, 9, "next"), Contents(700, 99), "t");
            fs.mount();
            ASSERT_EQ(fs.load({6, 9}, "t"), Contents(700, 99));
            for (const auto& [key, bytes] : seen.contents) ASSERT_EQ(fs.load(key, "t"), bytes);
            ASSERT_EQ(PagesWithReservedBytesUsed(card), 0u);
            ASSERT_TRUE(FindCis(card));
        }
    }
    EXPECT_GT(sawOld, 0u);
    EXPECT_GT(sawNew, 0u) << "a cut at the very last operation leaves the new state";
}

}  // namespace

TEST(PowerCut, DownloadReplacingAFile) {
    CheckEveryCut({"replace", [](CardFileSystem& fs) {
                       fs.store(Meta(4, 1, "firmware", "2.0"), Contents(7000, 11), "t");
                   }});
}

TEST(PowerCut, DownloadOfANewFile) {
    CheckEveryCut({"new file", [](CardFileSystem& fs) {
                       fs.store(Meta(17, 0, "rom"), Contents(4500, 12), "t");
                   }});
}

TEST(PowerCut, DeletingFiles) {
    CheckEveryCut({"delete", [](CardFileSystem& fs) {
                       const FileKey keys[] = {{4, 1}, {6, 1}};
                       fs.remove(keys);
                   }});
}

TEST(PowerCut, ReservingAPlaceholder) {
    CheckEveryCut({"reserve", [](CardFileSystem& fs) { fs.reserve(Meta(40, 0, "WCE2"), 5); }});
}

TEST(PowerCut, Formatting) {
    CheckEveryCut({"format", [](CardFileSystem& fs) { fs.format(); }});
}

TEST(PowerCut, Unformatting) {
    CheckEveryCut({"unformat", [](CardFileSystem& fs) { fs.unformat(); }});
}

TEST(PowerCut, FirstChangeOnACardOfTheEarlierLayout) {
    const MemoryCard earlier = EarlierLayoutCard();
    MemoryCard check = earlier;
    ASSERT_FALSE(FindCis(check));
    ASSERT_GT(PagesWithReservedBytesUsed(check), 0u);
    CheckEveryCut(
        {"first change",
         [](CardFileSystem& fs) { fs.store(Meta(17, 0, "rom"), Contents(4500, 12), "t"); }},
        earlier, false);
}
