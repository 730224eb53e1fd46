// What the card device service builds on besides the file system: whole-card images, the
// read test, file kinds and versions, and the progress display.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "card_service/card_files.h"
#include "card_service/card_names.h"
#include "card_service/raw_image.h"
#include "card_service/surface_test.h"
#include "card_service/terminal_progress.h"
#include "card_test_support.h"
#include "memory_card.h"
#include "support/temp_folder.h"

using namespace kestra::card;
using namespace kestra::card::testing;
using kestra::testing::TempFolder;

namespace {

constexpr CardGeometry kGeometry{32, 4};

class MemoryRawCard : public RawCard {
  public:
    explicit MemoryRawCard(MemoryCard& card) : card_(card) {}
    unsigned blocks() const override { return card_.geometry().blocks; }
    unsigned pagesPerBlock() const override { return card_.geometry().pagesPerBlock; }
    unsigned pageSize() const override { return kRawPage; }
    DeviceResult readRaw(unsigned row, std::span<std::uint8_t> page) override {
        return card_.readPage(row, page.first<kRawPage>());
    }
    DeviceResult programRaw(unsigned row, std::span<const std::uint8_t> page) override {
        return card_.programPage(row, page.first<kRawPage>());
    }
    DeviceResult eraseRawBlock(unsigned block) override { return card_.eraseBlock(block); }

  private:
    MemoryCard& card_;
};

std::vector<std::uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A formatted card with two files.
MemoryCard FilledCard() {
    MemoryCard card(kGeometry);
    CardFileSystem fs(card);
    fs.mount();
    fs.format();
    fs.store(Meta(4, 1, "firm"), Contents(5000, 1), "t");
    fs.store(Meta(17, 0, "rom"), Contents(3000, 2), "t");
    return card;
}

}  // namespace

TEST(RawImage, UploadIsTheCardByteForByteAndDownloadRebuildsIt) {
    TempFolder folder;
    MemoryCard card = FilledCard();
    MemoryRawCard raw(card);
    UploadRawImage(raw, folder.file("card.img"), kWholeCard, nullptr);
    EXPECT_EQ(FileBytes(folder.file("card.img")), card.bytes());
    EXPECT_FALSE(kestra::platform::FileExists(folder.file("card.img.part")));

    MemoryCard copy(kGeometry);
    MemoryRawCard rawCopy(copy);
    DownloadRawImage(rawCopy, folder.file("card.img"), kWholeCard, nullptr);
    EXPECT_EQ(copy.bytes(), card.bytes());
    CardFileSystem fs(copy);
    ASSERT_EQ(fs.mount(), MountState::Formatted);
    EXPECT_EQ(fs.load({4, 1}, "t"), Contents(5000, 1));

    UploadRawImage(raw, folder.file("part.img"), 3, nullptr);
    EXPECT_EQ(FileBytes(folder.file("part.img")).size(), 3 * kGeometry.blockRawBytes());
}

TEST(RawImage, BadBlocksOfTheCardAreNotTouchedAndLossesAreReported) {
    TempFolder folder;
    MemoryCard source = FilledCard();
    MemoryRawCard rawSource(source);
    UploadRawImage(rawSource, folder.file("card.img"), kWholeCard, nullptr);
    // Which image blocks hold something, and which are empty.
    std::vector<unsigned> used, empty;
    for (unsigned b = 0; b < kGeometry.blocks; ++b) {
        const auto* first = source.page(b * kGeometry.pagesPerBlock);
        (std::all_of(first, first + kGeometry.blockRawBytes(), [](auto v) { return v == 0xFF; })
             ? empty
             : used)
            .push_back(b);
    }
    ASSERT_FALSE(used.empty());
    ASSERT_FALSE(empty.empty());

    MemoryCard target(kGeometry);
    target.markFactoryBad(used[0]);
    target.markFactoryBad(empty[0], 1);
    const auto badBefore =
        std::vector<std::uint8_t>(target.page(used[0] * 4), target.page(used[0] * 4) + kRawPage);
    MemoryRawCard raw(target);
    try {
        DownloadRawImage(raw, folder.file("card.img"), kWholeCard, nullptr);
        FAIL() << "the loss was not reported";
    } catch (const CardError& error) {
        EXPECT_EQ(error.code(), KESSSFDC_DOWNLOAD_FAILED);
        EXPECT_NE(std::string(error.what()).find("1 of its blocks"), std::string::npos)
            << error.what();
        EXPECT_NE(std::string(error.what()).find("blocks " + std::to_string(used[0])),
                  std::string::npos);
    }
    EXPECT_EQ(target.eraseAttempts.count(used[0]), 0u);
    EXPECT_EQ(target.eraseAttempts.count(empty[0]), 0u);
    EXPECT_EQ(
        std::vector<std::uint8_t>(target.page(used[0] * 4), target.page(used[0] * 4) + kRawPage),
        badBefore);
    for (unsigned b : used)
        if (b != used[0])
            EXPECT_TRUE(std::equal(target.page(b * 4),
                                   target.page(b * 4) + kGeometry.blockRawBytes(),
                                   source.page(b * 4)));
}

TEST(RawImage, BlockMarkedBadInTheImageIsLeftErased) {
    TempFolder folder;
    MemoryCard source(kGeometry);
    source.markFactoryBad(7);
    source.page(7 * 4)[0] = 0x00;
    MemoryRawCard rawSource(source);
    UploadRawImage(rawSource, folder.file("card.img"), kWholeCard, nullptr);
    MemoryCard target(kGeometry);
    std::fill_n(target.page(7 * 4), kPageData, 0x12);  // old contents: erased by the download
    MemoryRawCard raw(target);
    DownloadRawImage(raw, folder.file("card.img"), kWholeCard, nullptr);
    EXPECT_TRUE(
        std::all_of(target.page(7 * 4), target.page(8 * 4), [](auto v) { return v == 0xFF; }));
}

TEST(RawImage, ImagesThatDoNotFitAreRefusedBeforeWriting) {
    TempFolder folder;
    MemoryCard card(kGeometry);
    MemoryRawCard raw(card);
    auto codeOf = [&](const std::string& name, unsigned blocks) {
        return ErrorOf([&] { DownloadRawImage(raw, folder.file(name), blocks, nullptr); });
    };
    EXPECT_EQ(codeOf("missing.img", kWholeCard), KESSSFDC_FILE_NOT_FOUND);
    WriteBytes(folder.file("odd.img"), std::vector<std::uint8_t>(kGeometry.blockRawBytes() + 1, 0));
    EXPECT_EQ(codeOf("odd.img", kWholeCard), KESSSFDC_BAD_ARGUMENT);
    WriteBytes(folder.file("empty.img"), {});
    EXPECT_EQ(codeOf("empty.img", kWholeCard), KESSSFDC_BAD_ARGUMENT);
    // Pages of zeros, each with a good block status.
    auto blocksOfZeros = [](unsigned blocks) {
        std::vector<std::uint8_t> image(blocks * kGeometry.blockRawBytes(), 0);
        for (std::size_t page = 0; page < image.size() / kRawPage; ++page)
            image[page * kRawPage + BlockStatusOffset(kRawPage)] = 0xFF;
        return image;
    };
    WriteBytes(folder.file("big.img"), blocksOfZeros(33));
    EXPECT_EQ(codeOf("big.img", kWholeCard), KESSSFDC_BAD_ARGUMENT);
    EXPECT_EQ(codeOf("big.img", 2), KESSSFDC_BAD_ARGUMENT) << "larger than the card";
    WriteBytes(folder.file("part.img"), blocksOfZeros(3));
    EXPECT_EQ(codeOf("part.img", kWholeCard), KESSSFDC_BAD_ARGUMENT) << "not the whole card";
    EXPECT_EQ(codeOf("part.img", 4), KESSSFDC_BAD_ARGUMENT) << "fewer blocks than asked for";
    EXPECT_EQ(codeOf("part.img", 0), KESSSFDC_BAD_ARGUMENT);
    EXPECT_EQ(codeOf("part.img", 33), KESSSFDC_BAD_ARGUMENT);
    EXPECT_EQ(card.erases + card.programs, 0u);
    // Only the blocks asked for are written.
    EXPECT_EQ(codeOf("part.img", 2), KESSSFDC_OK);
    EXPECT_EQ(card.erases, 2u);
    EXPECT_EQ(card.page(0)[0], 0x00);
    EXPECT_EQ(card.page(2 * 4)[0], 0xFF);
    // A whole image of the card is taken as it is.
    WriteBytes(folder.file("whole.img"), blocksOfZeros(32));
    EXPECT_EQ(codeOf("whole.img", kWholeCard), KESSSFDC_OK);
    EXPECT_EQ(card.page(31 * 4)[0], 0x00);
}

TEST(SurfaceTest, CountsBadErasedCorrectedAndDamagedPages) {
    MemoryCard card = FilledCard();
    card.markFactoryBad(30);
    CardFileSystem fs(card);
    fs.mount();
    const unsigned firm = *fs.blockMap().physicalOf(fs.find({4, 1})->extents[0].first);
    const unsigned rom = *fs.blockMap().physicalOf(fs.find({17, 0})->extents[0].first);
    card.flipBit(firm * 4, 3, 3);
    card.flipBit(rom * 4 + 1, 10, 1);
    card.flipBit(rom * 4 + 1, 11, 1);
    const auto writes = card.programs + card.erases;
    const SurfaceReport report = TestSurface(card, nullptr);
    EXPECT_EQ(card.programs + card.erases, writes) << "the test only reads";
    EXPECT_EQ(report.blocks, 32u);
    EXPECT_EQ(report.badBlocks, 1u);
    EXPECT_EQ(report.correctedPages, 1u);
    EXPECT_EQ(report.damagedPages, 1u);
    EXPECT_EQ(report.erasedBlocks, 32u - 1u - 7u)
        << "CIS, directory, three blocks of firmware, two of ROM";
}

TEST(CardFiles, FontKindFromTheEndOfTheName) {
    EXPECT_EQ(FontKindOfFile("fonts/base-d.rom"), FONT_D);
    EXPECT_EQ(FontKindOfFile("BASE-L.ROM"), FONT_L);
    EXPECT_EQ(FontKindOfFile("base-xl.rom"), FONT_XL);
    EXPECT_EQ(FontKindOfFile("base-xl.bin"), FONT_OTHER);
    EXPECT_EQ(FontKindOfFile("basel.rom"), FONT_OTHER);
    EXPECT_EQ(FontKindOfFile(""), FONT_OTHER);
}

TEST(CardFiles, VersionTextAfterItsMark) {
    auto bytes = [](const std::string& text) {
        return std::vector<std::uint8_t>(text.begin(), text.end());
    };
    EXPECT_EQ(FindVersionText(bytes(std::string("\x01\x02KVER:2.14 build 7\0tail", 24))),
              "2.14 build 7");
    EXPECT_EQ(FindVersionText(bytes("KVER:1.0\r\nnext")), "1.0");
    EXPECT_EQ(FindVersionText(bytes("KVER:1.0   ")), "1.0");
    EXPECT_EQ(FindVersionText(bytes("xxKVER:")), "");
    EXPECT_EQ(FindVersionText(bytes("KVER:" + std::string(40, 'a'))), std::string(23, 'a'));
    EXPECT_FALSE(FindVersionText(bytes("no version here; KVER 1.0")));
    EXPECT_FALSE(FindVersionText(bytes(std::string(64 * 1024, ' ') + "KVER:9")));
    EXPECT_EQ(FindVersionText(bytes(std::string(64 * 1024 - 5, ' ') + "KVER:9")), "9");
}

TEST(CardNames, NamesThatDoNotFitAreToldWithTheRuleTheyBreak) {
    std::string umlauts;
    for (int i = 0; i < 20; ++i) umlauts += "\xC3\xA4";
    struct Case {
        std::string name;
        std::string problem;  // empty: a name on the card
        bool onlyTooLong;
    };
    const std::vector<Case> cases = {
        {"project.kpr", "", false},
        {std::string(39, 'n'), "", false},
        {umlauts.substr(0, 38), "", false},
        {std::string(40, 'n'),
         "is 40 bytes long; a name on the card holds at most 39 bytes of UTF-8", true},
        {umlauts, "is 40 bytes long; a name on the card holds at most 39 bytes of UTF-8", true},
        {"", "is empty", false},
        {"a\nb", "holds a control character (\\n); a name on the card holds none", false},
        {"del\x7F", "holds a control character (\\x7F); a name on the card holds none", false},
        {"next\xC2\x85line",
         "holds a control character (\\xC2\\x85); a name on the card holds "
         "none",
         false},
        {std::string(45, 'n') + "\n",
         "holds a control character (\\n); a name on the card holds "
         "none",
         false},
        {"bad\xFF", "is not UTF-8 text, as a name on the card must be", false},
        {"cut\xC3", "is not UTF-8 text, as a name on the card must be", false},
        {"overlong\xC0\xAF", "is not UTF-8 text, as a name on the card must be", false},
        {"surrogate\xED\xA0\x80", "is not UTF-8 text, as a name on the card must be", false},
        {"beyond\xF4\x90\x80\x80", "is not UTF-8 text, as a name on the card must be", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(PrintableName(c.name));
        EXPECT_EQ(CardNameProblem(c.name).value_or(""), c.problem);
        EXPECT_EQ(OnlyTooLong(c.name), c.onlyTooLong);
    }
    // Shortening keeps whole characters; a name from a file of this computer always fits.
    EXPECT_EQ(WholeCharacters(umlauts, kMaxNameBytes), umlauts.substr(0, 38));
    EXPECT_EQ(WholeCharacters("ab\xFF\xC3\xA4", 3), "ab\xFF");
    EXPECT_EQ(CardNameOfFile("a\nb\xFF.kpr"), "a?b?.kpr");
    EXPECT_EQ(CardNameOfFile(umlauts + "x"), umlauts.substr(0, 38));
    EXPECT_EQ(PrintableName("a\tb\\c\x01\xC3\xA4"), "a\\tb\\\\c\\x01\xC3\xA4");

    // The directory never keeps half a character, whatever it is given.
    MemoryCard card(kGeometry);
    CardFileSystem fs(card);
    fs.mount();
    fs.format();
    fs.store(Meta(4, 1, umlauts), Contents(10, 1), "t");
    CardFileSystem again(card);
    again.mount();
    EXPECT_EQ(again.files().at(0).name, umlauts.substr(0, 38));
}

TEST(CardFiles, TypesKeptForTheServicesOwnFiles) {
    for (int type : {4, 6, 16, 17, 18, 19}) EXPECT_TRUE(IsReservedType(type)) << type;
    for (int type : {0, 1, 2, 5, 20, 32, 255}) EXPECT_FALSE(IsReservedType(type)) << type;
    EXPECT_EQ(DescribeFileType(4, 1, false), "firmware");
    EXPECT_EQ(DescribeFileType(16, 4, false), "font xl");
    EXPECT_EQ(DescribeFileType(1, 2, false), "Windows CE file");
    EXPECT_EQ(DescribeFileType(32, 0, true), "Windows CE file system");
}

TEST(Progress, LineShowsPercentBytesRateAndTimeLeft) {
    EXPECT_EQ(FormatProgressLine("Writing", 1048576, 4194304, 2.0, false),
              "Writing: 25% 1048576/4194304 bytes, 512.0 KB/s, 0:06 left");
    EXPECT_EQ(FormatProgressLine("Writing", 4194304, 4194304, 8.0, true),
              "Writing: 100% 4194304/4194304 bytes, 512.0 KB/s, 0:08");
    EXPECT_EQ(FormatProgressLine("Reading", 0, 10, 0.0, false), "Reading: 0% 0/10 bytes");
    EXPECT_EQ(FormatProgressLine("Big", 3ull << 30, 6ull << 30, 4096.0, false),
              "Big: 50% 3221225472/6442450944 bytes, 768.0 KB/s, 1:08:16 left");
    EXPECT_EQ(FormatProgressLine("Empty", 0, 0, 1.0, true), "Empty: 100% 0/0 bytes");
}

TEST(Progress, DisplayThreadShowsEachTaskAndUnlocksWhenAskedToEnd) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        TerminalProgress progress(out, true);
        progress.start();
        EXPECT_TRUE(progress.sync().IsLocked());
        progress.begin("First", 100);
        progress.advance(100);
        progress.end(true);
        progress.begin("Second", 50);
        progress.advance(20);
        progress.end(false);
        EXPECT_TRUE(progress.sync().WaitToUnlock(true));
        EXPECT_FALSE(progress.sync().IsLocked());
        // Tasks after the thread ended are still shown when they end.
        progress.begin("Third", 1);
        progress.advance(1);
        progress.end(true);
    }
    std::rewind(out);
    char buffer[512] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
    std::fclose(out);
    const std::string text(buffer, n);
    const auto first = text.find("First: 100% 100/100 bytes");
    const auto second = text.find("Second: 40% 20/50 bytes");
    const auto third = text.find("Third: 100% 1/1 bytes");
    ASSERT_NE(first, std::string::npos) << text;
    ASSERT_NE(second, std::string::npos) << text;
    ASSERT_NE(third, std::string::npos) << text;
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
    EXPECT_NE(text.find("- stopped"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << "a file gets one line per task";
}

TEST(Progress, WaitingOnAThreadThatNeverStartedReturnsAtOnce) {
    CThreadSync sync;
    EXPECT_TRUE(sync.WaitToUnlock(true));
    TerminalProgress progress(nullptr, false);
    progress.begin("x", 1);
    progress.end(true);
}
