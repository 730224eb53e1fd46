// Cards as a standard SmartMedia reader sees them: the card information structure, the spare
// bytes the format reserves, the first-valid-copy rule, and cards of the earlier layout.
#include <gtest/gtest.h>

#include <cstring>

#include "card_service/ecc.h"
#include "card_test_support.h"
#include "memory_card.h"

using namespace kestra::card;
using namespace kestra::card::testing;

namespace {

constexpr CardGeometry kSmall{64, 8};  // one zone: 62 logical blocks, 2 spare blocks

// The CIS tuples as the card carries them at bytes 0 and 256 of its first page.
const std::uint8_t kExpectedTuples[] = {0x01, 0x03, 0xD9, 0x01, 0xFF, 0x18, 0x02, 0xDF,
                                        0x01, 0x20, 0x04, 0x00, 0x00, 0x00, 0x00, 0x21,
                                        0x02, 0x04, 0x01, 0x22, 0x02, 0x01, 0x01, 0xFF};

std::vector<std::uint8_t> RawBlock(MemoryCard& card, unsigned block) {
    const CardGeometry geometry = card.geometry();
    const std::uint8_t* first = card.page(block * geometry.pagesPerBlock);
    return {first, first + geometry.blockRawBytes()};
}

// Programs a whole block for logical block `address` of the zone, pages [from, to) labelled.
void WriteBlock(MemoryCard& card, unsigned block, unsigned address, std::uint8_t fill,
                unsigned from = 0, unsigned to = kSmall.pagesPerBlock) {
    for (unsigned p = from; p < to; ++p) {
        std::uint8_t* page = card.page(block * kSmall.pagesPerBlock + p);
        std::memset(page, fill + p, kPageData);
        LabelPage(RawPage(page, kRawPage), address);
    }
}

MemoryCard FormattedCard() {
    MemoryCard card(kSmall);
    CardFileSystem fs(card);
    fs.mount();
    fs.format();
    return card;
}

}  // namespace

TEST(StandardLayer, FormatWritesTheCisIntoTheFirstGoodBlock) {
    constexpr CardGeometry kWide{256, 8};  // 250 logical blocks: the CIS among the first 6
    MemoryCard card(kWide);
    card.markFactoryBad(0);
    card.markFactoryBad(1, 1);  // marked in its second page only
    CardFileSystem fs(card);
    fs.mount();
    fs.format();

    const auto cis = FindCis(card);
    ASSERT_TRUE(cis);
    EXPECT_EQ(cis->block, 2u);
    EXPECT_EQ(cis->page, 0u);
    EXPECT_EQ(cis->offset, 0u);

    std::vector<std::uint8_t> data(kPageData, 0xFF);
    std::copy(std::begin(kExpectedTuples), std::end(kExpectedTuples), data.begin());
    std::copy(std::begin(kExpectedTuples), std::end(kExpectedTuples), data.begin() + 256);
    EXPECT_EQ(CisPageData(), data);
    const EccCode first = ComputeEcc(std::span(data).first<kEccArea>());
    const EccCode second = ComputeEcc(std::span(data).subspan<kEccArea, kEccArea>());
    const std::uint8_t spare[16] = {0xFF, 0xFF,     0xFF,      0xFF,      0xFF,      0xFF,
                                    0x00, 0x00,     second[0], second[1], second[2], 0x00,
                                    0x00, first[0], first[1],  first[2]};
    const std::vector<std::uint8_t> block = RawBlock(card, 2);
    for (unsigned p = 0; p < kWide.pagesPerBlock; ++p) {
        const auto page = block.begin() + std::ptrdiff_t(p * kRawPage);
        if (p < 2) {
            EXPECT_TRUE(std::equal(data.begin(), data.end(), page)) << p;
            EXPECT_TRUE(std::equal(std::begin(spare), std::end(spare), page + kPageData)) << p;
        } else {
            EXPECT_TRUE(std::all_of(page, page + kRawPage, [](auto b) { return b == 0xFF; }));
        }
    }
    EXPECT_EQ(card.page(kWide.pagesPerBlock)[kPageData + 5], 0x00)
        << "the block marked in its second page is now marked in its first";

    // The CIS stays where it is through every later change, formatting included.
    card.eraseAttempts.clear();
    for (std::uint8_t i = 0; i < 40; ++i) fs.store(Meta(6, i), Contents(20000, i), "t");
    fs.unformat();
    fs.format();
    EXPECT_EQ(card.eraseAttempts.count(2), 0u);
    EXPECT_EQ(RawBlock(card, 2), block);
    EXPECT_EQ(FindCis(card)->block, 2u);
}

TEST(StandardLayer, EveryWrittenPageLeavesTheReservedBytesErased) {
    MemoryCard card(kSmall);
    card.eraseFails = [](unsigned block) { return block == 9; };
    CardFileSystem fs(card);
    fs.mount();
    fs.format();
    for (std::uint8_t i = 0; i < 12; ++i) fs.store(Meta(16, i), Contents(6000 + i, i), "t");
    const FileKey gone[] = {{16, 3}, {16, 4}};
    fs.remove(gone);
    fs.reserve(Meta(40, 0), 3);
    fs.store(Meta(16, 1), Contents(20000, 99), "t");
    EXPECT_GT(fs.blockMap().statistics().grownBadBlocks, 0u) << "a block was marked bad too";
    EXPECT_EQ(PagesWithReservedBytesUsed(card), 0u);

    // What a standard reader shows is what the file system holds.
    StandardView view(card);
    EXPECT_TRUE(view.image.unreadablePages.empty());
    ASSERT_EQ(view.fs->state(), MountState::Formatted);
    EXPECT_EQ(Summary(view.fs->files()), Summary(fs.files()));
    for (const CardFile& file : fs.files())
        if (!file.placeholder) EXPECT_EQ(view.fs->load(file.key, "t"), fs.load(file.key, "t"));
}

TEST(StandardLayer, FirstWholeCopyWinsAndDamagedLabelsAreSkipped) {
    MemoryCard card = FormattedCard();
    WriteBlock(card, 10, 5, 0x10);
    WriteBlock(card, 20, 5, 0x20);        // a second whole copy: the first in order wins
    WriteBlock(card, 11, 6, 0x30, 0, 4);  // written half-way: sliced
    WriteBlock(card, 21, 6, 0x40);        // whole: wins over the sliced one
    WriteBlock(card, 12, 7, 0x50);
    card.page(12 * 8)[kPageData + 1] = 0xBF;  // one 0 bit in the reserved bytes is tolerated
    WriteBlock(card, 13, 8, 0x60);
    card.page(13 * 8)[kPageData + 7] ^= 0x06;     // copies of the address two bits apart
    WriteBlock(card, 14, 61, 0x70);               // the last logical block of the zone
    WriteBlock(card, 15, 62, 0x70);               // beyond it
    card.page(10 * 8 + 2)[kPageData + 4] = 0x0F;  // page 2 of logical 5: data not valid

    const StandardMap map = MapLikeStandardLayer(card);
    EXPECT_EQ(map.logicalBlocks, 62u);
    EXPECT_EQ(map.physical[5], 10u);
    EXPECT_EQ(map.physical[6], 21u);
    EXPECT_EQ(map.physical[7], 12u);
    EXPECT_FALSE(map.physical[8]);
    EXPECT_EQ(map.physical[61], 14u);
    const LogicalImage image = ReadLogicalImage(card);
    EXPECT_EQ(image.unreadablePages, (std::vector<UnreadablePage>{{5, 2}}));
    EXPECT_EQ(image.bytes[6 * 4096 + 512], 0x41);
    EXPECT_EQ(image.bytes[5 * 4096 + 2 * 512], 0x00);
    EXPECT_EQ(image.bytes[9 * 4096], 0xFF) << "a logical block without a physical one";

    card.page(12 * 8)[kPageData + 1] = 0x3F;  // two 0 bits: the page, and so the zone, fail
    EXPECT_EQ(ErrorOf([&] { MapLikeStandardLayer(card); }), KESSSFDC_BAD_CARD);
}

TEST(StandardLayer, CardWithoutCisIsRefused) {
    MemoryCard card(kSmall);
    EXPECT_FALSE(FindCis(card));
    EXPECT_EQ(ErrorOf([&] { ReadLogicalImage(card); }), KESSSFDC_NOT_FORMATTED);
    card = FormattedCard();
    const unsigned cisBlock = FindCis(card)->block;
    card.page(cisBlock * 8)[3] ^= 0x01;  // a bit error in the signature is corrected
    EXPECT_TRUE(FindCis(card));
    card.page(cisBlock * 8)[2] = 0x00;
    EXPECT_FALSE(FindCis(card)) << "the second copy at byte 256 is checked in the same page";
}

TEST(EarlierLayout, CardMountsAndIsRewrittenInTheCurrentLayout) {
    MemoryCard card = FormattedCard();
    std::map<FileKey, std::vector<std::uint8_t>> contents;
    {
        CardFileSystem fs(card);
        fs.mount();
        for (std::uint8_t i = 0; i < 5; ++i) {
            contents[{17, i}] = Contents(5000 * (i + 1), i);
            fs.store(Meta(17, i), contents[{17, i}], "t");
        }
    }
    // The earlier layout: a write generation in every labelled page, no CIS, and the
    // directory in the block where the CIS is to go.
    const unsigned cisBlock = FindCis(card)->block;
    unsigned directoryBlock = 0;
    for (unsigned row = 0; row < kSmall.pages(); ++row) {
        std::uint8_t* page = card.page(row);
        const PageLabel label = ReadLabel(ConstRawPage(page, kRawPage));
        if (!label.zoneAddress) continue;
        if (*label.zoneAddress == 0) directoryBlock = row / 8;
        const std::uint8_t generation[4] = {2, 0, 0xFD, 0xFF};
        std::copy(std::begin(generation), std::end(generation), page + kPageData);
    }
    std::copy_n(card.page(directoryBlock * 8), kSmall.blockRawBytes(), card.page(cisBlock * 8));
    std::fill_n(card.page(directoryBlock * 8), kSmall.blockRawBytes(), 0xFF);
    ASSERT_FALSE(FindCis(card));
    ASSERT_GT(PagesWithReservedBytesUsed(card), 0u);

    // A bit error in the generation of a block's first page: the last page's serves.
    unsigned fileBlock = 0;
    while (ReadLabel(ConstRawPage(card.page(fileBlock * 8), kRawPage)).zoneAddress.value_or(0) == 0)
        ++fileBlock;
    card.flipBit(fileBlock * 8, kPageData + 0, 2);

    CardFileSystem fs(card);
    ASSERT_EQ(fs.mount(), MountState::Formatted);
    EXPECT_EQ(fs.blockMap().physicalOf(0), cisBlock);
    for (const auto& [key, bytes] : contents) EXPECT_EQ(fs.load(key, "t"), bytes);
    EXPECT_TRUE(fs.blockMap().needsLayoutUpdate());

    const FileKey gone{17, 2};
    fs.remove(std::span(&gone, 1));
    contents.erase(gone);
    EXPECT_FALSE(fs.blockMap().needsLayoutUpdate());
    EXPECT_EQ(FindCis(card)->block, cisBlock);
    EXPECT_EQ(PagesWithReservedBytesUsed(card), 0u);
    EXPECT_NE(fs.blockMap().physicalOf(0), cisBlock);

    ASSERT_EQ(fs.mount(), MountState::Formatted);
    for (const auto& [key, bytes] : contents) EXPECT_EQ(fs.load(key, "t"), bytes);
    StandardView view(card);
    ASSERT_EQ(view.fs->state(), MountState::Formatted);
    for (const auto& [key, bytes] : contents) EXPECT_EQ(view.fs->load(key, "t"), bytes);
}

TEST(EarlierLayout, TwoCopiesOfTheDirectoryAreRankedByCommitNumber) {
    MemoryCard card = FormattedCard();
    CardFileSystem fs(card);
    fs.mount();
    fs.store(Meta(4, 1, "old"), Contents(3000, 1), "t");
    const std::vector<std::uint8_t> older = RawBlock(card, *fs.blockMap().physicalOf(0));
    fs.store(Meta(4, 2, "new"), Contents(3000, 2), "t");
    const unsigned newer = *fs.blockMap().physicalOf(0);
    // Put the older directory back in a block before the newer one, as a power cut between
    // writing a new copy and erasing the old one leaves it.
    unsigned free = 0;
    while (free < newer &&
           !std::all_of(card.page(free * 8), card.page(free * 8) + kSmall.blockRawBytes(),
                        [](auto b) { return b == 0xFF; }))
        ++free;
    ASSERT_LT(free, newer);
    std::copy(older.begin(), older.end(), card.page(free * 8));

    ASSERT_EQ(fs.mount(), MountState::Formatted);
    EXPECT_EQ(fs.files().size(), 2u) << "the higher commit number holds";
    EXPECT_EQ(fs.blockMap().physicalOf(0), newer);
    StandardView view(card);
    EXPECT_EQ(view.fs->files().size(), 1u) << "a standard reader keeps the first copy: the old one";
    EXPECT_EQ(view.fs->load({4, 1}, "t"), Contents(3000, 1));
}
