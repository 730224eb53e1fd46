// The card file system on a card in memory: files of every kind, full cards, bad blocks,
// failing erases and programs, bit errors, unformatting and broken directories.
#include <gtest/gtest.h>

#include <map>
#include <new>
#include <random>

#include "card_test_support.h"
#include "memory_card.h"

using namespace kestra::card;
using namespace kestra::card::testing;

namespace {

constexpr CardGeometry kSmall{64, 8};  // 4 KB blocks, 62 logical blocks in one zone

struct Fixture {
    explicit Fixture(CardGeometry geometry = kSmall) : card(geometry), fs(card) {}
    // A new file system over the same card, as after taking the card out and back in.
    MountState remount() {
        fs.~CardFileSystem();
        new (&fs) CardFileSystem(card);
        return fs.mount();
    }
    MemoryCard card;
    CardFileSystem fs;
};

}  // namespace

TEST(CardFileSystem, BlankCardIsNotFormattedUntilFormatted) {
    Fixture f;
    EXPECT_EQ(f.fs.mount(), MountState::NotFormatted);
    EXPECT_EQ(f.card.programs, 0u) << "mounting never writes";
    EXPECT_EQ(ErrorOf([&] { f.fs.store(Meta(4, 1), Contents(10, 1), "x"); }),
              KESSSFDC_NOT_FORMATTED);
    f.fs.format();
    EXPECT_EQ(f.fs.state(), MountState::Formatted);
    EXPECT_EQ(f.remount(), MountState::Formatted);
    EXPECT_TRUE(f.fs.files().empty());
    const CardUsage usage = f.fs.usage();
    EXPECT_EQ(usage.physicalBlocks, 64u);
    EXPECT_EQ(usage.logicalBlocks, 62u);
    EXPECT_EQ(usage.badBlocks, 0u);
    EXPECT_EQ(usage.usedBytes, 0u);
    // 62 logical blocks less the directory's, limited by the blocks kept for its copies and
    // the block of the card information structure.
    EXPECT_EQ(usage.freeBytes, 60u * 4096);
}

TEST(CardFileSystem, FilesOfEveryKindAndSizeComeBackIdenticalAfterRemount) {
    Fixture f;
    f.fs.mount();
    f.fs.format();
    const std::map<FileKey, std::size_t> sizes = {
        {{4, 0}, 1},      {{4, 1}, 4095}, {{4, 2}, 4096}, {{4, 3}, 4097},
        {{16, 2}, 9000},  {{16, 5}, 511}, {{17, 0}, 513}, {{18, 0}, 0},
        {{19, 0}, 12288}, {{6, 1}, 700},  {{6, 255}, 20}, {{200, 9}, 3000}};
    std::map<FileKey, unsigned> seeds;
    for (const auto& [key, size] : sizes) {
        const unsigned seed = static_cast<unsigned>(seeds.size()) + 1;
        seeds[key] = seed;
        f.fs.store(Meta(key.type, key.subtype, "n" + std::to_string(seed), "v1"),
                   Contents(size, seed), "t");
    }
    f.fs.reserve(Meta(40, 1, "WCE"), 3);

    ASSERT_EQ(f.remount(), MountState::Formatted);
    ASSERT_EQ(f.fs.files().size(), sizes.size() + 1);
    for (const auto& [key, size] : sizes) {
        const CardFile* file = f.fs.find(key);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(file->name, "n" + std::to_string(seeds[key]));
        EXPECT_EQ(file->version, "v1");
        EXPECT_EQ(file->length, size);
        EXPECT_EQ(f.fs.load(key, "t"), Contents(size, seeds[key]))
            << int(key.type) << "/" << int(key.subtype);
    }
    const auto fourth = Contents(4097, seeds[{4, 3}]);
    EXPECT_EQ(f.fs.head({4, 3}, 100),
              std::vector<std::uint8_t>(fourth.begin(), fourth.begin() + 100));
    EXPECT_EQ(f.fs.head({4, 0}, 100).size(), 1u);
    const CardFile* placeholder = f.fs.find({40, 1});
    ASSERT_NE(placeholder, nullptr);
    EXPECT_TRUE(placeholder->placeholder);
    EXPECT_EQ(placeholder->blocks(), 3u);
    EXPECT_EQ(ErrorOf([&] { f.fs.load({40, 1}, "t"); }), KESSSFDC_FILE_NOT_FOUND);
    EXPECT_EQ(ErrorOf([&] { f.fs.load({4, 9}, "t"); }), KESSSFDC_FILE_NOT_FOUND);

    const std::vector<FileKey> gone = {{4, 1}, {16, 2}, {99, 99}};
    f.fs.remove(gone);
    ASSERT_EQ(f.remount(), MountState::Formatted);
    EXPECT_EQ(f.fs.find({4, 1}), nullptr);
    EXPECT_EQ(f.fs.find({16, 2}), nullptr);
    EXPECT_EQ(f.fs.files().size(), sizes.size() - 1);
    EXPECT_EQ(f.fs.load({19, 0}, "t"), Contents(12288, seeds[{19, 0}]));
}

TEST(CardFileSystem, FillsToTheLastBlockThenRefusesAndRecoversAfterDeleting) {
    Fixture f;
    f.fs.mount();
    f.fs.format();
    f.fs.store(Meta(6, 200), Contents(2 * 4096, 200), "t");
    unsigned stored = 0;
    KESSSFDCERRORCODE error = KESSSFDC_OK;
    while ((error = ErrorOf([&] {
                f.fs.store(Meta(6, stored + 1), Contents(3 * 4096, stored), "t");
            })) == KESSSFDC_OK)
        ++stored;
    EXPECT_EQ(error, KESSSFDC_CARD_FULL);
    EXPECT_EQ(stored, 19u);  // 58 free blocks hold 19 files of 3 blocks
    EXPECT_EQ(f.fs.allocatableBlocks(), 1u);
    f.fs.store(Meta(6, 100), Contents(4000, 77), "t");  // the last block still takes a small file
    EXPECT_EQ(f.fs.usage().freeBytes, 0u);

    ASSERT_EQ(f.remount(), MountState::Formatted);
    for (unsigned i = 0; i < stored; ++i)
        ASSERT_EQ(f.fs.load({6, static_cast<std::uint8_t>(i + 1)}, "t"), Contents(3 * 4096, i));
    const FileKey first{6, 1};
    f.fs.remove(std::span(&first, 1));
    f.fs.store(Meta(6, 1), Contents(3 * 4096, 1000), "t");
    ASSERT_EQ(f.remount(), MountState::Formatted);
    EXPECT_EQ(f.fs.load({6, 1}, "t"), Contents(3 * 4096, 1000));
    EXPECT_EQ(f.fs.load({6, 100}, "t"), Contents(4000, 77));
}

TEST(CardFileSystem, ReplacingKeepsTheOldFileUntilTheNewOneIsComplete) {
    Fixture f;
    f.fs.mount();
    f.fs.format();
    f.fs.store(Meta(17, 0, "big"), Contents(40 * 4096, 1), "t");
    // 20 blocks are free: a 30-block successor does not fit beside the 40-block original.
    EXPECT_EQ(ErrorOf([&] { f.fs.store(Meta(17, 0, "bigger"), Contents(30 * 4096, 2), "t"); }),
              KESSSFDC_CARD_FULL);
    ASSERT_EQ(f.remount(), MountState::Formatted);
    EXPECT_EQ(f.fs.find({17, 0})->name, "big");
    EXPECT_EQ(f.fs.load({17, 0}, "t"), Contents(40 * 4096, 1));
    f.fs.store(Meta(17, 0, "smaller"), Contents(20 * 4096, 3), "t");
    EXPECT_EQ(f.fs.usage().freeBytes, 40u * 4096) << "the original's blocks are free again";
}

TEST(CardFileSystem, FullDirectoryIsRefusedBeforeAnythingIsWritten) {
    Fixture f;
    f.fs.mount();
    f.fs.format();
    for (unsigned i = 1; i <= 48; ++i)
        f.fs.store(Meta(6, static_cast<std::uint8_t>(i)), Contents(1, i), "t");
    const auto programs = f.card.programs;
    EXPECT_EQ(ErrorOf([&] { f.fs.store(Meta(6, 49), Contents(1, 49), "t"); }), KESSSFDC_CARD_FULL);
    EXPECT_EQ(f.card.programs, programs);
    f.fs.store(Meta(6, 48), Contents(2, 48), "t");  // replacing still works
}

TEST(CardFileSystem, FactoryBadBlocksAreNeverErasedOrUsed) {
    Fixture f;
    const std::vector<unsigned> bad = {0, 1, 5, 17, 33, 63};
    for (unsigned block : bad) f.card.markFactoryBad(block, block % 2);
    f.fs.mount();
    f.fs.format();
    for (unsigned i = 0; i < 8; ++i)
        f.fs.store(Meta(16, static_cast<std::uint8_t>(i)), Contents(5000, i), "t");
    ASSERT_EQ(f.remount(), MountState::Formatted);
    for (unsigned i = 0; i < 8; ++i)
        EXPECT_EQ(f.fs.load({16, static_cast<std::uint8_t>(i)}, "t"), Contents(5000, i));
    for (unsigned block : bad) EXPECT_EQ(f.card.eraseAttempts.count(block), 0u) << block;
    EXPECT_EQ(f.fs.usage().badBlocks, 6u);
    f.fs.format();
    for (unsigned block : bad) EXPECT_EQ(f.card.eraseAttempts.count(block), 0u) << block;
}

TEST(CardFileSystem, CardWhoseErasesFailAtRandomStillKeepsEveryFile) {
    Fixture f(CardGeometry{256, 8});
    std::mt19937 random(5);
    f.card.eraseFails = [&](unsigned) { return random() % 10 == 0; };
    f.fs.mount();
    f.fs.format();
    const unsigned badAfterFormat = f.fs.usage().badBlocks;
    EXPECT_GT(badAfterFormat, 10u);
    std::map<int, unsigned> onCard;  // subtype -> seed
    for (unsigned round = 0; round < 120; ++round) {
        const int subtype = static_cast<int>(random() % 30);
        const FileKey key{6, static_cast<std::uint8_t>(subtype)};
        if (random() % 4 == 0) {
            const KESSSFDCERRORCODE error = ErrorOf([&] { f.fs.remove(std::span(&key, 1)); });
            if (error == KESSSFDC_OK) onCard.erase(subtype);
            ASSERT_TRUE(error == KESSSFDC_OK || error == KESSSFDC_CARD_FULL) << error;
            continue;
        }
        const std::size_t size = 1 + random() % (5 * 4096);
        const KESSSFDCERRORCODE error =
            ErrorOf([&] { f.fs.store(Meta(6, key.subtype), Contents(size, round), "t"); });
        if (error == KESSSFDC_OK) onCard[subtype] = round;
        ASSERT_TRUE(error == KESSSFDC_OK || error == KESSSFDC_CARD_FULL) << error;
    }
    EXPECT_GT(f.fs.usage().badBlocks, badAfterFormat);
    f.card.eraseFails = nullptr;
    ASSERT_EQ(f.remount(), MountState::Formatted);
    ASSERT_EQ(f.fs.files().size(), onCard.size());
    for (const auto& [subtype, seed] : onCard) {
        const CardFile* file = f.fs.find({6, static_cast<std::uint8_t>(subtype)});
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(f.fs.load(file->key, "t"), Contents(file->length, seed));
    }
}

TEST(CardFileSystem, ProgramThatDoesNotTakeMovesToAnotherBlockAndMarksTheBadOne) {
    Fixture f;
    f.fs.mount();
    f.fs.format();
    // Every page of blocks 4 to 39 refuses to take what is programmed.
    f.card.programFails = [&](unsigned row) { return row / 8 >= 4 && row / 8 < 40; };
    for (unsigned i = 0; i < 6; ++i)
        f.fs.store(Meta(4, static_cast<std::uint8_t>(i)), Contents(6000, i), "t");
    EXPECT_GT(f.fs.blockMap().statistics().grownBadBlocks, 0u);
    f.card.programFails = nullptr;
    ASSERT_EQ(f.remount(), MountState::Formatted);
    for (unsigned i = 0; i < 6; ++i)
        EXPECT_EQ(f.fs.load({4, static_cast<std::uint8_t>(i)}, "t"), Contents(6000, i));
    EXPECT_EQ(f.fs.usage().badBlocks, f.fs.blockMap().badBlocks());
    EXPECT_GT(f.fs.usage().badBlocks, 0u) << "the marks survive a remount";
}

TEST(CardFileSystem, SingleFlippedBitIsCorrectedAndTwoAreReported) {
    Fixture f;
    f.fs.mount();
    f.fs.format();
    f.fs.store(Meta(17, 0), Contents(10000, 3), "t");
    const unsigned physical = *f.fs.blockMap().physicalOf(f.fs.find({17, 0})->extents[0].first);
    const unsigned row = physical * 8 + 3;
    f.card.flipBit(row, 77, 5);
    ASSERT_EQ(f.remount(), MountState::Formatted);
    EXPECT_EQ(f.fs.load({17, 0}, "t"), Contents(10000, 3));
    EXPECT_EQ(f.fs.blockMap().statistics().correctedPages, 1u);
    // A flipped bit in the spare area's ECC is harmless too.
    f.card.flipBit(row + 1, kPageData + 14, 2);
    EXPECT_EQ(f.fs.load({17, 0}, "t"), Contents(10000, 3));

    f.card.flipBit(row, 78, 1);
    EXPECT_EQ(ErrorOf([&] { f.fs.load({17, 0}, "t"); }), KESSSFDC_UPLOAD_FAILED);
}

TEST(CardFileSystem, FlippedBitInABlocksLabelDoesNotLoseTheBlock) {
    Fixture f;
    f.fs.mount();
    f.fs.format();
    f.fs.store(Meta(17, 0), Contents(10000, 3), "t");
    const unsigned physical =
        *f.fs.blockMap().physicalOf(f.fs.find({17, 0})->extents[0].first + 1u);
    f.card.flipBit(physical * 8, kPageData + 1, 6);  // a reserved byte of the first page
    f.card.flipBit(physical * 8, kPageData + 7, 3);  // one copy of the block address
    ASSERT_EQ(f.remount(), MountState::Formatted);
    EXPECT_EQ(f.fs.blockMap().physicalOf(f.fs.find({17, 0})->extents[0].first + 1u), physical);
    f.fs.store(Meta(4, 0), Contents(50000, 4), "t");  // a change: the block is not taken as free
    EXPECT_EQ(f.fs.load({17, 0}, "t"), Contents(10000, 3));
}

TEST(CardFileSystem, UnformatRemovesTheDirectoryAndFormatStartsAfresh) {
    Fixture f;
    f.fs.mount();
    f.fs.format();
    f.fs.store(Meta(4, 1), Contents(9000, 1), "t");
    f.fs.unformat();
    EXPECT_EQ(f.fs.state(), MountState::NotFormatted);
    ASSERT_EQ(f.remount(), MountState::NotFormatted);
    f.fs.format();
    EXPECT_TRUE(f.fs.files().empty());
    EXPECT_EQ(f.fs.usage().freeBytes, 60u * 4096) << "the old file's blocks were erased";
    ASSERT_EQ(f.remount(), MountState::Formatted);
    EXPECT_TRUE(f.fs.files().empty());
}

TEST(CardFileSystem, DamagedDirectoryIsABrokenHeaderThatFormatMends) {
    Fixture f;
    f.fs.mount();
    f.fs.format();
    f.fs.store(Meta(4, 1), Contents(100, 1), "t");
    const unsigned physical = *f.fs.blockMap().physicalOf(0);
    // Two bits in one ECC area of the directory's first page: it cannot be read.
    f.card.flipBit(physical * 8, 40, 0);
    f.card.flipBit(physical * 8, 41, 0);
    ASSERT_EQ(f.remount(), MountState::BrokenHeader);
    EXPECT_FALSE(f.fs.headerProblem().empty());
    EXPECT_EQ(ErrorOf([&] { f.fs.load({4, 1}, "t"); }), KESSSFDC_NOT_FORMATTED);
    f.fs.unformat();
    ASSERT_EQ(f.remount(), MountState::NotFormatted);
    f.fs.format();
    ASSERT_EQ(f.remount(), MountState::Formatted);
}

TEST(CardFileSystem, DirectoryFromACardOfAnotherSizeIsNotTaken) {
    Fixture f;
    f.fs.mount();
    f.fs.format();
    // The same pages seen as a card with more blocks: the directory names the wrong size.
    MemoryCard larger(CardGeometry{128, 8});
    std::copy(f.card.bytes().begin(), f.card.bytes().end(), larger.bytes().begin());
    CardFileSystem other(larger);
    EXPECT_EQ(other.mount(), MountState::BrokenHeader);
}

TEST(CardFileSystem, FilesSpanZonesOnLargeCards) {
    Fixture f(CardGeometry{2048, 2});  // two zones of 1000 logical blocks of 1 KB
    f.fs.mount();
    f.fs.format();
    EXPECT_EQ(f.fs.usage().logicalBlocks, 2000u);
    f.fs.store(Meta(17, 0), Contents(1500 * 1024, 1), "t");
    ASSERT_EQ(f.remount(), MountState::Formatted);
    const CardFile* file = f.fs.find({17, 0});
    ASSERT_GT(file->extents.size(), 1u);
    EXPECT_EQ(f.fs.load({17, 0}, "t"), Contents(1500 * 1024, 1));
    const unsigned last = file->extents.back().first + file->extents.back().count - 1;
    EXPECT_GE(last, 1000u);
    EXPECT_EQ(f.fs.blockMap().zoneOf(last), 1u);
    EXPECT_GE(*f.fs.blockMap().physicalOf(last), 1024u) << "a logical block stays in its zone";
}

TEST(CardFileSystem, BlocksLeftByAnInterruptedDownloadAreReleasedByTheNextChange) {
    Fixture f;
    f.fs.mount();
    f.fs.format();
    f.card.cutPowerAt(60, MemoryCard::Cut::Dropped);  // in the middle of the data blocks
    EXPECT_EQ(ErrorOf([&] { f.fs.store(Meta(17, 0), Contents(30 * 4096, 1), "t"); }),
              KESSSFDC_READER_FAULT);
    f.card.restorePower();
    ASSERT_EQ(f.remount(), MountState::Formatted);
    EXPECT_TRUE(f.fs.files().empty());
    EXPECT_GT(f.fs.blockMap().mappedLogicalBlocks().size(), 1u)
        << "orphaned blocks are on the card";
    f.fs.store(Meta(4, 0), Contents(10, 1), "t");
    EXPECT_EQ(f.fs.blockMap().mappedLogicalBlocks().size(), 2u);
    EXPECT_EQ(f.fs.usage().freeBytes, 59u * 4096);
}
