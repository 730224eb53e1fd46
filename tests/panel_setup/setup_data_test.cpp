// The data chunks, the compact setup form and the setup exchange block.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "panel_setup/data_chunk.h"
#include "panel_setup/exchange_block.h"

namespace kestra::panel {
namespace {

std::vector<std::uint8_t> PatternBlock(int nodes) {
    std::vector<std::uint8_t> b(block::kFixedSize + block::kNodeSize * nodes);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 7 + 3);
    for (std::size_t i = 0; i < 4; ++i) b[i] = 0;
    WriteLe16(&b[block::kNodeCount], static_cast<std::uint16_t>(nodes));
    b[block::kPassword + 5] = 0;  // a short password
    return b;
}

TEST(DataChunk, SerialNumbersTypesAndDefaults) {
    const auto next = CDataChunk::NextSerialNumber();
    EXPECT_GE(next, 100u);
    CTargetSetupData setup;
    CPanelDisplayData display;
    CPanelRPTData rpt;
    EXPECT_EQ(setup.SerialNumber(), next);
    EXPECT_EQ(display.SerialNumber(), next + 1);
    EXPECT_EQ(rpt.SerialNumber(), next + 2);
    EXPECT_EQ(setup.ChunkType(), 0x54570053u);
    EXPECT_EQ(display.ChunkType(), 0x445B0050u);
    EXPECT_EQ(rpt.ChunkType(), 0x50520054u);
    EXPECT_EQ(setup.FormatVersion(), 256);
    EXPECT_EQ(setup.GetState(), 1);
    EXPECT_FALSE(setup.IsModified());
    std::array<std::uint8_t, 2> stored{};
    setup.Serialize(stored);
    EXPECT_EQ(stored, (std::array<std::uint8_t, 2>{0x00, 0x01}));

    std::array<std::uint8_t, setup::kSize> expected{};
    expected[415] = 60;
    expected[416] = 3;
    expected[417] = 30;
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), setup.Record().begin()));
    setup.Byte(414) = 0xFF;
    setup.SetDefaults();
    EXPECT_EQ(setup.Byte(414), 0);
}

TEST(DataChunk, NewPassthroughRecordHasPortDefaultsAndModemCommands) {
    CPanelRPTData rpt;
    std::array<std::uint8_t, 2304> bytes{};
    rpt.CopyRecordOut(bytes);
    std::array<std::uint8_t, 2304> expected{};
    WriteLe16(&expected[1], 9600);
    expected[4] = 8;
    expected[5] = 1;
    std::memcpy(&expected[9], "ATD\r", 4);
    std::memcpy(&expected[264], "+++", 3);
    std::memcpy(&expected[519], "ATH0\r", 5);
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(rpt.CommandText(519), "ATH0\r");
}

TEST(DataChunk, CopyFromTakesModifiedFlagSerialAndRecord) {
    CTargetSetupData a, b;
    a.Byte(12) = 21;
    a.SetModified();
    b.CopyFrom(a);
    EXPECT_TRUE(b.IsModified());
    EXPECT_EQ(b.SerialNumber(), a.SerialNumber());
    EXPECT_EQ(b.Byte(12), 21);

    CPanelDisplayData d1;
    d1.SetText("/panels/x.dat");
    d1.Record().rows = 16;
    DisplayRecord outside{};
    CPanelDisplayData d2;
    d2.AdoptRecord(&outside);
    d2.CopyFrom(d1);
    EXPECT_EQ(outside.rows, 16);
    EXPECT_EQ(d2.Text(), "/panels/x.dat");
    d2.SetFirmwareVersion(105);
    EXPECT_EQ(outside.versionHundreds, 1);
    EXPECT_EQ(outside.versionRemainder, 5);
}

TEST(CompactSetup, ExpandsEveryFieldToItsRecordOffset) {
    std::array<std::uint8_t, kCompactSize> compact{};
    std::iota(compact.begin(), compact.end(), std::uint8_t{0x40});
    compact[0] = 0xA1;  // only low nibbles count
    compact[1] = 0xB2;
    compact[17] = 0x3B;  // bits 0,1,3,4,5 set, bit 2 clear
    std::array<std::uint8_t, setup::kSize> r{};
    ExpandCompactSetup(compact, r);
    std::array<std::uint8_t, setup::kSize> e{};
    e[11] = 0x21;
    e[12] = 0x42;
    e[13] = 0x43;
    e[404] = 0x49;
    e[405] = 0x4A;
    e[406] = 0x4B;
    e[411] = 0x4C;
    e[409] = 0x4D;
    e[410] = 0x4E;
    e[412] = 0x4F;
    e[413] = 0x50;
    e[414] = 0x03 | 0x10 | 0xE0;
    for (int i = 0; i < 5; ++i) e[418 + i] = static_cast<std::uint8_t>(0x52 + i);
    e[423] = 0x57;
    e[424] = 0x58;
    e[425] = 0x59;
    EXPECT_EQ(r, e);  // bytes 4-8 travel back only
}

TEST(CompactSetup, ByteSeventeenBitTwoIsTheInvertedBuzzerBit) {
    std::array<std::uint8_t, kCompactSize> compact{};
    std::array<std::uint8_t, setup::kSize> r{};
    ExpandCompactSetup(compact, r);
    EXPECT_EQ(r[414], 0x10);
    std::array<std::uint8_t, kCompactSize> back{};
    CompressCompactSetup(r, back);
    EXPECT_EQ(back[17], 0x00);
    compact[17] = 0x04;
    ExpandCompactSetup(compact, r);
    EXPECT_EQ(r[414], 0x00);
    CompressCompactSetup(r, back);
    EXPECT_EQ(back[17], 0x04);
}

TEST(CompactSetup, CompressesReturnOnlyBytesAndRoundTrips) {
    std::array<std::uint8_t, setup::kSize> r{};
    for (std::size_t i = 0; i < r.size(); ++i) r[i] = static_cast<std::uint8_t>(i * 13);
    r[414] &= 0xF3;  // bits 2 and 3 have no place in the compact form
    std::array<std::uint8_t, kCompactSize> c{};
    CompressCompactSetup(r, c);
    EXPECT_EQ(c[0], r[11] & 0x0F);
    EXPECT_EQ(c[1], r[11] >> 4);
    EXPECT_EQ(ReadLe16(&c[4]), ReadLe16(&r[15]));
    EXPECT_EQ(c[6], r[81]);
    EXPECT_EQ(c[7], r[82] & 0x0F);
    EXPECT_EQ(c[8], r[82] >> 4);
    std::array<std::uint8_t, setup::kSize> again{};
    ExpandCompactSetup(c, again);
    for (std::size_t off : {11,  12,  13,  404, 405, 406, 409, 410, 411, 412,
                            413, 414, 418, 419, 420, 421, 422, 423, 424, 425})
        EXPECT_EQ(again[off], r[off]) << "offset " << off;
}

TEST(ExchangeBlock, RefusesShortBlocksAndLyingNodeCounts) {
    std::vector<std::uint8_t> shortBlock(2761);
    EXPECT_EQ(CheckExchangeBlock(shortBlock), "block of 2761 bytes is shorter than 2762");
    auto b = PatternBlock(3);
    EXPECT_EQ(CheckExchangeBlock(b), "");
    b.pop_back();
    EXPECT_EQ(CheckExchangeBlock(b), "3 node entries need 3164 bytes, the block has 3163");
    WriteLe16(&b[block::kNodeCount], 0x8000);
    EXPECT_EQ(CheckExchangeBlock(b), "negative node count -32768");
    EXPECT_EQ(SetupRequest::FromBlock(b), nullptr);
}

TEST(ExchangeBlock, SplitsIntoChunksAndNodes) {
    auto b = PatternBlock(3);
    std::memcpy(&b[block::kFixedSize + block::kNodeSize + 6], "S5 Driver", 10);
    auto request = SetupRequest::FromBlock(b);
    ASSERT_NE(request, nullptr);
    ASSERT_EQ(request->nodes.size(), 3u);
    EXPECT_EQ(request->nodes[1].Driver(), "S5 Driver");
    EXPECT_EQ(request->nodes[2].Identifier(), ReadLe16(&b[block::kFixedSize + 268]));
    EXPECT_EQ(request->setup.Byte(12), b[block::kCompact + 2]);
    EXPECT_EQ(request->display.Record().rows, static_cast<std::int16_t>(ReadLe16(&b[35 + 92])));
    EXPECT_EQ(request->passthrough.Record().mode, b[153]);
    EXPECT_EQ(request->password, std::string(reinterpret_cast<char*>(&b[2482]), 5));
    EXPECT_EQ(request->projectSize, ReadLe32(&b[2478]));
    EXPECT_EQ(request->value2477(), b[2477]);
}

TEST(ExchangeBlock, CancelAndUnchangedOkReturnTheFixedPartAsReceived) {
    auto b = PatternBlock(3);
    b[0] = 9;  // flags as received stay
    auto request = SetupRequest::FromBlock(b);
    ASSERT_NE(request, nullptr);
    const std::vector<std::uint8_t> fixed(b.begin(), b.begin() + block::kFixedSize);
    auto cancelled = request->Reply(false, "/x/Panels/KP220.dat");
    EXPECT_EQ(cancelled, fixed);
    auto ok = request->Reply(true, "");
    EXPECT_EQ(ok, fixed);
    auto withPath = request->Reply(true, "/x/Panels/KP220.dat");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&withPath[2498])), "/x/Panels/KP220.dat");
    EXPECT_TRUE(std::equal(withPath.begin(), withPath.begin() + 2498, fixed.begin()));
    // The bytes after the path's terminator are left as they were.
    EXPECT_EQ(withPath[2498 + 20], fixed[2498 + 20]);
    auto tooLong = request->Reply(true, std::string(260, 'p'));
    EXPECT_EQ(tooLong, fixed);
}

TEST(ExchangeBlock, OkWritesBackOnlyChangedChunksWithTheirFlags) {
    auto b = PatternBlock(0);
    auto request = SetupRequest::FromBlock(b);
    ASSERT_NE(request, nullptr);
    request->setup.SetBit(setup::kFlags414, 0, true);
    request->setup.SetBit(setup::kFlags414, 1, true);
    request->setup.SetModified();
    request->password = "secret";
    request->ethernet[0] = 1;
    auto reply = request->Reply(true, "");
    EXPECT_EQ(reply[0], 1);
    EXPECT_EQ(reply[1], 0);
    EXPECT_EQ(reply[2], 0);
    EXPECT_EQ(reply[3], 1);
    EXPECT_EQ(reply[block::kCompact + 17] & 0x03, 0x03);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&reply[2482])), "secret");
    EXPECT_EQ(reply[2457], 1);
    EXPECT_TRUE(std::equal(reply.begin() + 35, reply.begin() + 2457, b.begin() + 35));

    request->display.Record().rows = 99;
    request->display.SetModified();
    request->passthrough.Record().mode = 1;
    request->passthrough.SetModified();
    reply = request->Reply(true, "");
    EXPECT_EQ(reply[1], 1);
    EXPECT_EQ(ReadLe16(&reply[35 + 92]), 99);
    EXPECT_EQ(reply[2], 1);
    EXPECT_EQ(reply[153], 1);
}

}  // namespace
}  // namespace kestra::panel
