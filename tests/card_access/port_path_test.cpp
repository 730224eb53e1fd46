#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "card_access/ssfdc_interface.h"
#include "support/card_reader_scope.h"

using kestra::platform::PortIo;
using kestra::platform::SimCard;
using kestra::platform::SimCardGeometry;
using kestra::testing::EnvironmentScope;
using kestra::testing::ProgramFolderWithSeparator;
using kestra::testing::SimulatedReaderScope;

namespace {

// Port accesses of the sequences with a card that is always ready: a wait looks at the
// status register three times, a latch or bus write is three writes, a bus read six.
constexpr std::uint64_t kWait = 3;
constexpr std::uint64_t kStrobe = 3;
constexpr std::uint64_t kBusRead = 6;
// Command latch on, command, latch off, address latch on, the address bytes, latch off.
std::uint64_t commandAndAddress(unsigned addressBytes) {
    return (5 + addressBytes) * kStrobe;
}
std::uint64_t pageReadAccesses(std::uint64_t n, unsigned rowBytes = 2) {
    return 2 * kStrobe + commandAndAddress(1 + rowBytes) + kStrobe + n * (kWait + kBusRead) +
           kStrobe;
}
std::uint64_t pageWriteAccesses(std::uint64_t n, unsigned rowBytes = 2) {
    return 3 * kStrobe + commandAndAddress(1 + rowBytes) + n * (kWait + kStrobe) + 3 * kStrobe +
           kWait + 3 * kStrobe;
}
const std::uint64_t kEraseAccesses =
    3 * kStrobe + commandAndAddress(2) + 3 * kStrobe + kWait + 3 * kStrobe;
const std::uint64_t kStatusAccesses =
    kWait + 2 * kStrobe + 3 * kStrobe + kStrobe + kBusRead + kStrobe;

std::vector<char> pattern(std::size_t size, unsigned seed) {
    std::vector<char> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + seed * 13) ^ (i >> 8));
    return bytes;
}

class PortPath : public ::testing::Test {
  protected:
    bool init(unsigned port = 0x378) { return card_.initSSFDC(port); }
    std::uint64_t accesses() const { return sim_.reader->accesses().total(); }

    SimulatedReaderScope sim_;
    CSSFDCInterface card_{ProgramFolderWithSeparator().c_str()};
};

}  // namespace

TEST_F(PortPath, DetectsTheCardAndFillsTheRecordFromTheTypeTable) {
    ASSERT_TRUE(init()) << card_.getLastError();
    EXPECT_EQ(card_.getLastError(), SSFDC_OK);
    CSSFDCStatus status;
    status.MB = 77;
    ASSERT_TRUE(card_.getSSFDCInfo(status));
    EXPECT_EQ(status.TypeCode, 0x73);
    EXPECT_EQ(status.Blocks, 1024);
    EXPECT_EQ(status.Pages, 32);
    EXPECT_EQ(status.PageSize, 528);
    EXPECT_EQ(status.BlockSize, 16896);
    EXPECT_EQ(status.LastAddr, 32767);
    EXPECT_STREQ(status.Manufacturer, "SmartMedia 3.3V");
    EXPECT_EQ(status.MB, 77);  // detection leaves it as it was
    // Ready, and write-protected while the reader does not enable writing.
    EXPECT_EQ(status.StatusByte, 0x40);
    EXPECT_EQ(iSSFDCPages, 32);
}

TEST_F(PortPath, NoCardAnsweringGivesNoCardAndAnUnknownCodeGivesAClearedRecord) {
    sim_.reader->eject();
    EXPECT_FALSE(init());
    EXPECT_EQ(card_.getLastError(), SSFDC_ERR_NOCARD);

    // Nothing answers at another base address: the busy line floats high.
    sim_.reader->insert(sim_.card);
    EXPECT_FALSE(init(0x278));
    EXPECT_EQ(card_.getLastError(), SSFDC_ERR_NOCARD);
    ASSERT_TRUE(init());

    kestra::testing::TempFolder other;
    auto geometry = *SimCardGeometry::ForDeviceCode(0x73);
    geometry.device = 0x42;  // a code the type table does not know
    sim_.reader->insert(SimCard::Create(other.file("odd.img"), geometry));
    CSSFDCStatus status;
    std::strcpy(status.Manufacturer, "stale");
    status.Blocks = status.Pages = status.PageSize = status.TypeCode = 9;
    status.MB = 5;
    EXPECT_FALSE(card_.getSSFDCInfo(status));
    EXPECT_EQ(card_.getLastError(), SSFDC_ERR_UNKNOWN_TYPE);
    EXPECT_STREQ(status.Manufacturer, "");
    EXPECT_EQ(status.Blocks + status.Pages + status.PageSize + status.TypeCode + status.BlockSize,
              0);
    EXPECT_EQ(status.MB, 5);
}

TEST_F(PortPath, TheReaderIsFoundOnlyAtItsOwnBaseAddress) {
    SimulatedReaderScope second(0x75, 0x278);
    CSSFDCInterface card(ProgramFolderWithSeparator().c_str());
    ASSERT_TRUE(card.initSSFDC(0x278));
    CSSFDCStatus status;
    ASSERT_TRUE(card.getSSFDCInfo(status));
    EXPECT_EQ(status.TypeCode, 0x75);
    EXPECT_FALSE(card.initSSFDC(0x378));  // the first reader is not installed any more
}

TEST_F(PortPath, AnUnknownReaderConfigurationFailsTheInitialisation) {
    EnvironmentScope reader(kestra::platform::kCardReaderVariable, std::string("parallel-magic"));
    EXPECT_FALSE(init());
    EXPECT_EQ(card_.getLastError(), SSFDC_ERR_INIT);
}

TEST_F(PortPath, PageOperationsMakeExactlyTheRegisterAccessesOfTheirSequences) {
    ASSERT_TRUE(init());
    std::vector<char> page(528);

    sim_.reader->resetAccesses();
    ASSERT_TRUE(card_.readPage(3, page.data(), 528, 0));
    EXPECT_EQ(accesses(), pageReadAccesses(528));
    EXPECT_EQ(pageReadAccesses(528), 36u + 9u * 528);

    sim_.reader->resetAccesses();
    ASSERT_TRUE(card_.writePage(3, page.data(), 528, 0));
    EXPECT_EQ(accesses(), pageWriteAccesses(528));
    EXPECT_EQ(pageWriteAccesses(528), 54u + 6u * 528);

    sim_.reader->resetAccesses();
    bool failed = true;
    ASSERT_TRUE(card_.deleteBlock(0, failed));
    EXPECT_EQ(accesses(), kEraseAccesses + kStatusAccesses);
    EXPECT_EQ(kEraseAccesses + kStatusAccesses, 51u + 30u);

    // A busy period adds one poll per busy look, past the two reads a wait ignores.
    sim_.card->setBusyLooks({.read = 0, .program = 40});
    sim_.reader->resetAccesses();
    ASSERT_TRUE(card_.writePage(4, page.data(), 528, 0));
    EXPECT_EQ(accesses(), pageWriteAccesses(528) + 40 - 2);

    // A refused request makes no access at all.
    sim_.reader->resetAccesses();
    EXPECT_FALSE(card_.readPage(3, page.data(), 8, 521));
    EXPECT_EQ(card_.getLastError(), SSFDC_ERR_READ);
    EXPECT_EQ(accesses(), 0u);
}

TEST_F(PortPath, ReadsAtAnOffsetReadTheWholePageAndReturnThePart) {
    ASSERT_TRUE(init());
    auto content = pattern(528, 5);
    std::memcpy(sim_.card->page(70).data(), content.data(), content.size());
    char part[8];
    sim_.reader->resetAccesses();
    ASSERT_TRUE(card_.readPage(70, part, 8, 16));
    EXPECT_EQ(std::memcmp(part, content.data() + 16, 8), 0);
    EXPECT_EQ(accesses(), pageReadAccesses(528));
    // The last byte of the page is within reach, one more is not.
    ASSERT_TRUE(card_.readPage(70, part, 1, 527));
    EXPECT_EQ(part[0], content[527]);
    EXPECT_FALSE(card_.readPage(70, part, 2, 527));
    EXPECT_FALSE(card_.readPage(70, nullptr, 8, 0));
    EXPECT_EQ(card_.getLastError(), SSFDC_ERR_READ);
}

TEST_F(PortPath, WritesOnlyClearBitsUntilTheBlockIsErased) {
    ASSERT_TRUE(init());
    std::vector<char> first(528, char(0xF0)), second(528, char(0x3C)), back(528);
    ASSERT_TRUE(card_.writePage(33, first.data(), 528, 0));
    ASSERT_TRUE(card_.writePage(33, second.data(), 528, 0));
    ASSERT_TRUE(card_.readPage(33, back.data(), 528, 0));
    EXPECT_EQ(back, std::vector<char>(528, char(0x30)));

    bool failed = true;
    ASSERT_TRUE(card_.deleteBlock(33, failed));  // any row of block 1
    EXPECT_FALSE(failed);
    ASSERT_TRUE(card_.readPage(33, back.data(), 528, 0));
    EXPECT_EQ(back, std::vector<char>(528, char(0xFF)));
}

TEST_F(PortPath, AFailedEraseIsReportedThroughTheFailedFlag) {
    ASSERT_TRUE(init());
    std::vector<char> data(528, 0);
    ASSERT_TRUE(card_.writePage(64, data.data(), 528, 0));
    sim_.card->failErase(2);
    bool failed = false;
    EXPECT_TRUE(card_.deleteBlock(64, failed));
    EXPECT_TRUE(failed);
    EXPECT_EQ(card_.getLastError(), SSFDC_OK);
    EXPECT_EQ(sim_.card->page(64)[0], 0);  // nothing was erased
    EXPECT_TRUE(card_.deleteBlock(96, failed));
    EXPECT_FALSE(failed);

    // A card that never gets ready fails the erase; one that stops answering fails the
    // status read.
    sim_.card->setBusyLooks({.erase = 1u << 30});
    EXPECT_FALSE(card_.deleteBlock(96, failed));
    EXPECT_EQ(card_.getLastError(), SSFDC_ERR_ERASE);
}

TEST_F(PortPath, RequestsBeyondThePageOrTheCardAreRefusedBeforeAnyAccess) {
    std::vector<char> data(600, 1);
    EXPECT_FALSE(card_.writePage(0, data.data(), 10, 0));  // no card detected yet
    EXPECT_EQ(card_.getLastError(), SSFDC_ERR_WRITE);
    ASSERT_TRUE(init());
    sim_.reader->resetAccesses();
    EXPECT_FALSE(card_.writePage(0, data.data(), 529, 0));
    EXPECT_EQ(card_.getLastError(), SSFDC_ERR_WRITE);
    EXPECT_FALSE(card_.writePage(32768, data.data(), 16, 0));
    EXPECT_FALSE(card_.readPage(32768, data.data(), 16, 0));
    EXPECT_EQ(card_.getLastError(), SSFDC_ERR_READ);
    bool failed = true;
    EXPECT_FALSE(card_.deleteBlock(32768, failed));
    EXPECT_EQ(card_.getLastError(), SSFDC_ERR_ERASE);
    EXPECT_FALSE(failed);
    EXPECT_EQ(accesses(), 0u);
    EXPECT_EQ(sim_.card->page(0)[0], 0xFF);  // row 32768 did not wrap onto row 0
}

TEST_F(PortPath, DirectCallsReachThePathAndLeaveTheLastErrorAlone) {
    ASSERT_TRUE(init());
    EXPECT_FALSE(card_.readPage(0, nullptr, 4, 0));
    unsigned char bytes[528];
    std::memset(bytes, 0x5A, sizeof bytes);
    EXPECT_NE(card_.myWriteSSFDC(10, bytes, 528), 0);
    std::memset(bytes, 0, sizeof bytes);
    EXPECT_NE(card_.myReadSSFDC(10, bytes, 528), 0);
    EXPECT_EQ(bytes[527], 0x5A);
    EXPECT_NE(card_.myEraseSSFDC(10), 0);
    EXPECT_EQ(sim_.card->page(10)[0], 0xFF);
    EXPECT_EQ(card_.myReadSSFDC(10, bytes, -1), 0);
    EXPECT_EQ(card_.getLastError(), SSFDC_ERR_READ);

    // A card that stops answering fails the direct calls too.
    sim_.card->setBusyLooks({.program = 1u << 30});
    EXPECT_EQ(card_.myWriteSSFDC(11, bytes, 4), 0);
}

TEST_F(PortPath, SimulationCallsAreInertInEveryState) {
    auto check = [&] {
        EXPECT_FALSE(card_.isSimulationMode());
        EXPECT_TRUE(card_.OpenCardFile("simcard.bin"));
        card_.setSimCardSize(64);
        card_.CloseCardFile("simcard.bin");
    };
    check();
    sim_.reader->eject();
    EXPECT_FALSE(init());
    check();
    sim_.reader->insert(sim_.card);
    ASSERT_TRUE(init());
    check();
    EXPECT_EQ(sim_.reader->accesses().total() > 0, true);
}

TEST_F(PortPath, CopiesKeepTheCardRecordAndShareTheTypeTable) {
    ASSERT_TRUE(init());
    auto copy = std::make_unique<CSSFDCInterface>(card_);
    std::vector<char> data = pattern(528, 9), back(528);
    ASSERT_TRUE(copy->writePage(5, data.data(), 528, 0));
    CSSFDCInterface assigned("/nowhere/");
    assigned = *copy;
    copy.reset();
    ASSERT_TRUE(assigned.readPage(5, back.data(), 528, 0));
    EXPECT_EQ(back, data);
    CSSFDCStatus status;
    EXPECT_TRUE(assigned.getSSFDCInfo(status));  // the shared table outlives the copy
}

TEST(PortPathBytes, NibblesComeFromTheStatusRegisterWithBit7Inverted) {
    // A port that answers every status read from a script and otherwise reads 0.
    struct ScriptedPort final : PortIo {
        std::deque<BYTE> status;
        BYTE in(WORD port) override {
            if (port != 0x379 || status.empty()) return 0;
            BYTE value = status.front();
            status.pop_front();
            return value;
        }
        void out(WORD, BYTE) override {}
    };
    kestra::testing::ReaderConfigurationScope configuration;
    auto port = std::make_shared<ScriptedPort>();
    kestra::platform::PortScope scope(port);
    // Detection on this port fails (the device code reads 0x00), but leaves the port path
    // chosen at 0x378.
    CSSFDCInterface card(ProgramFolderWithSeparator().c_str());
    card.initSSFDC(0x378);
    // One byte: two ignored status reads, one ready poll, then the two nibbles.
    port->status = {0x00, 0x00, 0x00, 0x5F, 0xAF};
    unsigned char byte = 0;
    ASSERT_NE(card.myReadSSFDC(0, &byte, 1), 0);
    EXPECT_EQ(byte, 0xD2);
}

TEST(LargeCards, RowsBeyond65536ReachTheCardThroughAThirdAddressByte) {
    // A card of 8192 blocks of 32 pages (the 128 MB kind) with small pages to keep the image
    // small; the type table in the folder describes it the same way.
    SimCardGeometry geometry{0xEC, 0x79, 8192, 32, 16, 0};
    SimulatedReaderScope sim(geometry);
    sim.folder().write("cardtype.ini",
                       "[big]\nTypeCode=0x79\nBlocks=8192\nPages=32\nPageSize=16\n");
    CSSFDCInterface card((sim.folder().path() + "/").c_str());
    ASSERT_TRUE(card.initSSFDC(0x378));
    std::vector<char> data(16, 0x11), back(16);
    sim.reader->resetAccesses();
    ASSERT_TRUE(card.writePage(65536 + 5, data.data(), 16, 0));
    EXPECT_EQ(sim.reader->accesses().total(), pageWriteAccesses(16, 3));
    EXPECT_EQ(sim.card->page(65536 + 5)[0], 0x11);
    EXPECT_EQ(sim.card->page(5)[0], 0xFF);
    ASSERT_TRUE(card.readPage(65536 + 5, back.data(), 16, 0));
    EXPECT_EQ(back, data);
    bool failed = true;
    ASSERT_TRUE(card.deleteBlock(65536 + 5, failed));
    EXPECT_EQ(sim.card->page(65536 + 5)[0], 0xFF);
}

TEST(WholeCard, A16MegabyteCardIsWrittenAndReadBackThroughThePorts) {
    SimulatedReaderScope sim;
    CSSFDCInterface card(ProgramFolderWithSeparator().c_str());
    ASSERT_TRUE(card.initSSFDC(0x378));
    const unsigned pages = 1024 * 32;
    std::vector<char> data(528), back(528);
    for (unsigned row = 0; row < pages; ++row) {
        data = pattern(528, row);
        ASSERT_TRUE(card.writePage(row, data.data(), 528, 0)) << row;
    }
    for (unsigned row = 0; row < pages; ++row) {
        ASSERT_TRUE(card.readPage(row, back.data(), 528, 0)) << row;
        ASSERT_EQ(back, pattern(528, row)) << row;
    }
}

TEST(PowerCuts, EveryOperationOfASequenceCanBeCutAndTheCardShowsWhatLanded) {
    // Erase block 1, write its four first pages: five operations. Cut after each count in
    // turn and check that exactly the operations before the cut took effect.
    for (unsigned cut = 0; cut <= 5; ++cut) {
        SCOPED_TRACE(cut);
        SimulatedReaderScope sim;
        CSSFDCInterface card(ProgramFolderWithSeparator().c_str());
        ASSERT_TRUE(card.initSSFDC(0x378));
        sim.card->page(32)[0] = 0x00;  // old contents of block 1
        const unsigned before = sim.card->operations();
        sim.card->cutPowerAfter(cut);
        bool failed = false;
        ASSERT_TRUE(card.deleteBlock(32, failed));
        EXPECT_EQ(failed, cut == 0);  // a dead card answers the status with 0xFF
        std::vector<char> data(528, 0x24);
        for (unsigned page = 0; page < 4; ++page) card.writePage(32 + page, data.data(), 528, 0);
        EXPECT_EQ(sim.card->powered(), cut == 5);
        EXPECT_EQ(sim.card->operations() - before, cut);
        EXPECT_EQ(sim.card->page(32)[0], cut == 0 ? 0x00 : cut >= 2 ? 0x24 : 0xFF);
        for (unsigned page = 1; page < 4; ++page)
            EXPECT_EQ(sim.card->page(32 + page)[0], cut > page + 1 ? 0x24 : 0xFF) << page;

        // With the power back the card answers again.
        sim.card->restorePower();
        CSSFDCStatus status;
        EXPECT_TRUE(card.getSSFDCInfo(status));
    }
}
