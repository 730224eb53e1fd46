// Page format of the card: ECC, spare area labels and the directory block.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <random>

#include "card_service/card_errors.h"
#include "card_service/crc32.h"
#include "card_service/directory.h"
#include "card_service/ecc.h"
#include "card_service/spare_area.h"

using namespace kestra::card;

namespace {

std::array<std::uint8_t, kEccArea> RandomArea(unsigned seed) {
    std::mt19937 random(seed);
    std::array<std::uint8_t, kEccArea> area;
    for (auto& b : area) b = static_cast<std::uint8_t>(random());
    return area;
}

}  // namespace

TEST(Ecc, ErasedAreaCarriesErasedCode) {
    std::array<std::uint8_t, kEccArea> erased;
    erased.fill(0xFF);
    EXPECT_EQ(ComputeEcc(erased), (EccCode{0xFF, 0xFF, 0xFF}));
    erased.fill(0x00);
    EXPECT_EQ(ComputeEcc(erased), (EccCode{0xFF, 0xFF, 0xFF}));
}

TEST(Ecc, KnownCodeOfOneSetBit) {
    // Only bit 3 of byte 5 set: the odd-parity byte is index 5 (LP1, LP5 and LP2k for the
    // clear index bits), column 3 (CP1, CP3, CP4).
    std::array<std::uint8_t, kEccArea> area{};
    area[5] = 0x08;
    const std::uint32_t lines = 0b0101010101'100110u;  // LP15..LP0 = 0101 0101 0110 0110
    const EccCode code = ComputeEcc(area);
    EXPECT_EQ(code[0], static_cast<std::uint8_t>(~lines & 0xFF));
    EXPECT_EQ(code[1], static_cast<std::uint8_t>(~(lines >> 8) & 0xFF));
    EXPECT_EQ(code[2], static_cast<std::uint8_t>(((~0b011010u & 0x3F) << 2) | 3));
}

TEST(Ecc, EverySingleDataBitIsCorrected) {
    const auto original = RandomArea(7);
    const EccCode code = ComputeEcc(original);
    for (unsigned bit = 0; bit < kEccArea * 8; ++bit) {
        auto damaged = original;
        damaged[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        ASSERT_EQ(CheckAndCorrect(damaged, code), EccResult::CorrectedData) << bit;
        ASSERT_EQ(damaged, original) << bit;
    }
}

TEST(Ecc, SingleCodeBitErrorLeavesDataAloneAndDoubleErrorsAreDetected) {
    auto area = RandomArea(11);
    const auto original = area;
    const EccCode code = ComputeEcc(area);
    for (unsigned bit = 0; bit < 24; ++bit) {
        if (bit == 16 || bit == 17) continue;  // the two constant bits of the third byte
        EccCode damaged = code;
        damaged[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        EXPECT_EQ(CheckAndCorrect(area, damaged), EccResult::CodeError) << bit;
        EXPECT_EQ(area, original);
    }
    std::mt19937 random(3);
    for (int trial = 0; trial < 500; ++trial) {
        auto damaged = original;
        const unsigned a = random() % 2048, b = (a + 1 + random() % 2047) % 2048;
        damaged[a / 8] ^= static_cast<std::uint8_t>(1u << (a % 8));
        damaged[b / 8] ^= static_cast<std::uint8_t>(1u << (b % 8));
        EXPECT_EQ(CheckAndCorrect(damaged, code), EccResult::Uncorrectable) << a << " " << b;
    }
}

TEST(SpareArea, BlockAddressFieldHasMarkAndEvenParity) {
    EXPECT_EQ(EncodeBlockAddress(0), 0x1001);
    EXPECT_EQ(EncodeBlockAddress(1), 0x1002);
    EXPECT_EQ(EncodeBlockAddress(999), 0x17CF);
    for (unsigned address = 0; address <= kMaxZoneAddress; ++address) {
        const std::uint16_t field = EncodeBlockAddress(address);
        ASSERT_EQ(DecodeBlockAddress(field), address);
        for (unsigned bit = 0; bit < 16; ++bit)
            ASSERT_FALSE(DecodeBlockAddress(field ^ (1u << bit))) << address << " " << bit;
    }
    EXPECT_FALSE(DecodeBlockAddress(0xFFFF));
    EXPECT_FALSE(DecodeBlockAddress(0x0000));
}

TEST(SpareArea, LabelledPageReadsBackWithItsBytesInPlace) {
    std::array<std::uint8_t, kRawPage> page;
    std::iota(page.begin(), page.end(), 0);
    LabelPage(page, 42);
    const std::uint8_t* spare = page.data() + kPageData;
    EXPECT_EQ(spare[0], 0xFF) << "bytes 0 to 3 stay erased";
    EXPECT_EQ(spare[1], 0xFF);
    EXPECT_EQ(spare[2], 0xFF);
    EXPECT_EQ(spare[3], 0xFF);
    EXPECT_EQ(spare[4], 0xFF);
    EXPECT_EQ(spare[5], 0xFF);
    const std::uint16_t field = EncodeBlockAddress(42);
    EXPECT_EQ(spare[6], field >> 8);
    EXPECT_EQ(spare[7], field & 0xFF);
    EXPECT_EQ(spare[11], field >> 8);
    EXPECT_EQ(spare[12], field & 0xFF);
    const EccCode low = ComputeEcc(std::span(page).first<kEccArea>());
    const EccCode high = ComputeEcc(std::span(page).subspan<kEccArea, kEccArea>());
    EXPECT_TRUE(std::equal(low.begin(), low.end(), spare + 13));
    EXPECT_TRUE(std::equal(high.begin(), high.end(), spare + 8));

    const PageLabel label = ReadLabel(page);
    EXPECT_TRUE(label.blockGood && label.dataValid && !label.erased);
    EXPECT_EQ(label.zoneAddress, 42u);
    EXPECT_TRUE(label.reservedErased);
    EXPECT_FALSE(label.legacyGeneration);
    EXPECT_EQ(CheckPageData(page), PageCheck::Clean);
    page[300] ^= 0x10;
    EXPECT_EQ(CheckPageData(page), PageCheck::Corrected);
    EXPECT_EQ(page[300], 300 & 0xFF);
}

TEST(SpareArea, DamagedLabelsAreRecognised) {
    std::array<std::uint8_t, kRawPage> page;
    page.fill(0xFF);
    EXPECT_TRUE(ReadLabel(page).erased);
    LabelPage(page, 7);
    std::uint8_t* spare = page.data() + kPageData;

    auto copy = page;
    copy[kPageData + 6] ^= 0x04;  // one copy of the address damaged: the other one serves
    EXPECT_EQ(ReadLabel(copy).zoneAddress, 7u);
    copy = page;
    const std::uint16_t other = EncodeBlockAddress(8);
    copy[kPageData + 11] = static_cast<std::uint8_t>(other >> 8);
    copy[kPageData + 12] = static_cast<std::uint8_t>(other);
    EXPECT_FALSE(ReadLabel(copy).zoneAddress) << "two readable copies that disagree";

    // One 0 bit in the reserved bytes is tolerated, as a standard reader tolerates it.
    copy = page;
    copy[kPageData + 2] = 0xF7;
    EXPECT_TRUE(ReadLabel(copy).reservedErased);
    EXPECT_FALSE(ReadLabel(copy).legacyGeneration);
    copy[kPageData + 0] = 0xFE;
    EXPECT_FALSE(ReadLabel(copy).reservedErased);

    copy = page;
    copy[kPageData + 5] = 0xFE;  // one bit off: still good
    EXPECT_TRUE(ReadLabel(copy).blockGood);
    copy[kPageData + 5] = 0xFC;
    EXPECT_FALSE(ReadLabel(copy).blockGood);
    (void)spare;

    MakeBadBlockMark(copy);
    EXPECT_FALSE(ReadLabel(copy).blockGood);
    EXPECT_FALSE(ReadLabel(copy).dataValid);
}

TEST(SpareArea, StatusBytesAreReadWithTheFormatsThresholds) {
    std::array<std::uint8_t, kRawPage> page;
    page.fill(0xFF);
    LabelPage(page, 3);
    struct Case {
        std::uint8_t value;
        bool valid;  // as a data status
        bool good;   // as a block status
    };
    const Case cases[] = {
        {0xFF, true, true},   {0xFE, true, true},   {0x7F, true, true},   {0xFC, true, false},
        {0xF8, true, false},  {0x1F, true, false},  {0xF1, true, false},  {0x0F, false, false},
        {0xF0, false, false}, {0x00, false, false}, {0x17, false, false},
    };
    for (const Case& c : cases) {
        auto copy = page;
        copy[kPageData + 4] = c.value;
        EXPECT_EQ(ReadLabel(copy).dataValid, c.valid) << int(c.value);
        copy = page;
        copy[kPageData + 5] = c.value;
        EXPECT_EQ(ReadLabel(copy).blockGood, c.good) << int(c.value);
    }
}

TEST(SpareArea, EarlierLayoutsGenerationIsStillRead) {
    std::array<std::uint8_t, kRawPage> page;
    page.fill(0xFF);
    LabelPage(page, 9);
    const std::uint8_t earlier[4] = {0x34, 0x12, 0xCB, 0xED};
    std::copy(std::begin(earlier), std::end(earlier), page.begin() + kPageData);
    const PageLabel label = ReadLabel(page);
    EXPECT_EQ(label.legacyGeneration, 0x1234);
    EXPECT_FALSE(label.reservedErased);
    EXPECT_EQ(label.zoneAddress, 9u);
    page[kPageData + 0] |= 0x80;  // a torn write: the complement no longer matches
    EXPECT_FALSE(ReadLabel(page).legacyGeneration);
}

TEST(SpareArea, GenerationsCompareAcrossTheWrap) {
    EXPECT_TRUE(NewerGeneration(1, 0));
    EXPECT_TRUE(NewerGeneration(0, 0xFFFF));
    EXPECT_FALSE(NewerGeneration(0xFFFF, 0));
    EXPECT_FALSE(NewerGeneration(5, 5));
}

TEST(Crc32, StandardCheckValue) {
    const char* text = "123456789";
    EXPECT_EQ(Crc32({reinterpret_cast<const std::uint8_t*>(text), 9}), 0xCBF43926u);
    // Continued over two pieces it is the same.
    const std::uint32_t first = Crc32({reinterpret_cast<const std::uint8_t*>(text), 4});
    EXPECT_EQ(Crc32({reinterpret_cast<const std::uint8_t*>(text) + 4, 5}, first), 0xCBF43926u);
}

namespace {

const DirectoryShape kShape{62, 8, 8 * kPageData};

Directory SampleDirectory() {
    Directory directory;
    directory.commitNumber = 9;
    CardFile code{{4, 1}, false, "firmware.bin", "2.14 build 7", 5000, 0xDEADBEEF, {{1, 2}}};
    CardFile fs{{40, 3}, true, "WCE", "", 3 * 4096, 0, {{10, 1}, {20, 2}}};
    directory.files = {code, fs};
    return directory;
}

}  // namespace

TEST(Directory, RoundTripAndByteLayout) {
    const Directory directory = SampleDirectory();
    const std::vector<std::uint8_t> block = EncodeDirectory(directory, kShape);
    ASSERT_EQ(block.size(), kShape.blockBytes);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data()), 8), "KESTRAFS");
    EXPECT_EQ(kestra::ReadLe16(&block[8]), 1);
    EXPECT_EQ(kestra::ReadLe16(&block[10]), 2);
    const std::uint32_t used = 32 + 84 + 88;
    EXPECT_EQ(kestra::ReadLe32(&block[12]), used);
    EXPECT_EQ(kestra::ReadLe32(&block[16]), 9u);
    EXPECT_EQ(kestra::ReadLe16(&block[20]), 62);
    EXPECT_EQ(kestra::ReadLe16(&block[22]), 8);
    EXPECT_EQ(block[used], 0xFF);
    // First entry: length, type, subtype, flags, extents, file length, CRC, name, version.
    const std::uint8_t* entry = &block[32];
    EXPECT_EQ(kestra::ReadLe16(entry), 84);
    EXPECT_EQ(entry[2], 4);
    EXPECT_EQ(entry[3], 1);
    EXPECT_EQ(entry[4], 0);
    EXPECT_EQ(kestra::ReadLe16(entry + 6), 1);
    EXPECT_EQ(kestra::ReadLe32(entry + 8), 5000u);
    EXPECT_EQ(kestra::ReadLe32(entry + 12), 0xDEADBEEFu);
    EXPECT_STREQ(reinterpret_cast<const char*>(entry + 16), "firmware.bin");
    EXPECT_STREQ(reinterpret_cast<const char*>(entry + 56), "2.14 build 7");
    EXPECT_EQ(kestra::ReadLe16(entry + 80), 1);
    EXPECT_EQ(kestra::ReadLe16(entry + 82), 2);
    EXPECT_EQ(block[32 + 84 + 4], kPlaceholderFlag);
    // The checksum covers the bytes in use with its own field as zero.
    std::vector<std::uint8_t> copy(block.begin(), block.begin() + used);
    kestra::WriteLe32(&copy[24], 0);
    EXPECT_EQ(kestra::ReadLe32(&block[24]), Crc32(copy));

    const DecodedDirectory decoded = DecodeDirectory(block, kShape);
    ASSERT_TRUE(decoded.directory) << decoded.problem;
    EXPECT_EQ(decoded.directory->commitNumber, 9u);
    EXPECT_EQ(decoded.directory->files, directory.files);
}

TEST(Directory, LongTextsAreCutToTheirFields) {
    Directory directory;
    directory.files = {{{4, 0}, false, std::string(60, 'n'), std::string(30, 'v'), 1, 0, {{1, 1}}}};
    const DecodedDirectory decoded = DecodeDirectory(EncodeDirectory(directory, kShape), kShape);
    ASSERT_TRUE(decoded.directory);
    EXPECT_EQ(decoded.directory->files[0].name, std::string(39, 'n'));
    EXPECT_EQ(decoded.directory->files[0].version, std::string(23, 'v'));
}

TEST(Directory, EveryInconsistencyIsRefused) {
    // Each case breaks one thing and then repairs the checksum, so that the check that
    // refuses it is the one for that thing.
    struct Case {
        const char* what;
        std::function<void(Directory&)> breakDirectory;
        std::function<void(std::vector<std::uint8_t>&)> breakBytes;
    };
    const std::vector<Case> cases = {
        {"block outside the card",
         [](Directory& d) {
             d.files[0].extents = {{61, 2}};
         },
         {}},
        {"block zero is the directory",
         [](Directory& d) {
             d.files[0].extents = {{0, 2}};
         },
         {}},
        {"two files on one block",
         [](Directory& d) {
             d.files[1].extents = {{2, 3}};
         },
         {}},
        {"length needs more blocks", [](Directory& d) { d.files[0].length = 3 * 4096; }, {}},
        {"length needs fewer blocks", [](Directory& d) { d.files[0].length = 100; }, {}},
        {"placeholder length", [](Directory& d) { d.files[1].length -= 1; }, {}},
        {"empty extent",
         [](Directory& d) {
             d.files[0].extents.push_back({30, 0});
         },
         {}},
        {"same key twice", [](Directory& d) { d.files[1].key = d.files[0].key; }, {}},
        {"other card", {}, [](std::vector<std::uint8_t>& b) { b[20] = 63; }},
        {"other block size", {}, [](std::vector<std::uint8_t>& b) { b[22] = 16; }},
        {"unknown format", {}, [](std::vector<std::uint8_t>& b) { b[8] = 2; }},
        {"entry length", {}, [](std::vector<std::uint8_t>& b) { b[32] = 85; }},
        {"entry count beyond the bytes", {}, [](std::vector<std::uint8_t>& b) { b[10] = 200; }},
        {"bytes in use too large",
         {},
         [](std::vector<std::uint8_t>& b) { kestra::WriteLe32(&b[12], 5000); }},
        {"bytes in use too small",
         {},
         [](std::vector<std::uint8_t>& b) { kestra::WriteLe32(&b[12], 31); }},
        {"trailing bytes",
         {},
         [](std::vector<std::uint8_t>& b) { kestra::WriteLe32(&b[12], 32 + 84 + 88 + 4); }},
    };
    for (const Case& c : cases) {
        Directory directory = SampleDirectory();
        if (c.breakDirectory) c.breakDirectory(directory);
        std::vector<std::uint8_t> block = EncodeDirectory(directory, kShape);
        if (c.breakBytes) {
            c.breakBytes(block);
            const std::uint32_t used =
                std::min<std::uint32_t>(kestra::ReadLe32(&block[12]), block.size());
            if (used >= 32) {
                std::vector<std::uint8_t> copy(block.begin(), block.begin() + used);
                kestra::WriteLe32(&copy[24], 0);
                kestra::WriteLe32(&block[24], Crc32(copy));
            }
        }
        const DecodedDirectory decoded = DecodeDirectory(block, kShape);
        EXPECT_FALSE(decoded.directory) << c.what;
        EXPECT_FALSE(decoded.problem.empty()) << c.what;
    }
    std::vector<std::uint8_t> block = EncodeDirectory(SampleDirectory(), kShape);
    block[40] ^= 1;
    EXPECT_EQ(DecodeDirectory(block, kShape).problem, "directory checksum mismatch");
    std::fill(block.begin(), block.end(), 0xFF);
    EXPECT_EQ(DecodeDirectory(block, kShape).problem, "no directory mark");
    EXPECT_FALSE(DecodeDirectory(std::span(block).first(10), kShape).directory);
}

TEST(Directory, TooManyEntriesForOneBlockIsCardFull) {
    Directory directory;
    for (unsigned i = 0; i < 48; ++i)
        directory.files.push_back({{6, static_cast<std::uint8_t>(i + 1)},
                                   false,
                                   "k",
                                   "",
                                   1,
                                   0,
                                   {{static_cast<std::uint16_t>(i + 1), 1}}});
    EXPECT_NO_THROW(EncodeDirectory(directory, kShape));  // 32 + 48 * 84 = 4064 bytes
    directory.files.push_back({{6, 49}, false, "k", "", 1, 0, {{49, 1}}});
    try {
        EncodeDirectory(directory, kShape);
        FAIL() << "no error";
    } catch (const CardError& error) {
        EXPECT_EQ(error.code(), KESSSFDC_CARD_FULL);
    }
}
