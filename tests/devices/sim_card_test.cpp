#include "devices/sim_card.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "devices/sim_reader.h"
#include "platform/image_cursor.h"
#include "support/small_disk.h"
#include "support/temp_folder.h"

using kestra::ImageError;
using kestra::platform::MakeSimCardHeader;
using kestra::platform::ParseSimCardHeader;
using kestra::platform::SimCard;
using kestra::platform::SimCardGeometry;
using kestra::platform::SimParallelReader;
using kestra::testing::TempFolder;

namespace {

// A small card: 8 blocks of 4 pages of 16 + 4 bytes, two row address bytes.
const SimCardGeometry kSmall{0x98, 0x73, 8, 4, 16, 4};

// Drives the card pins the way a reader does for one page program or block erase.
void program(SimCard& card, DWORD row, const std::vector<BYTE>& bytes, BYTE column = 0) {
    card.setWriteProtect(false);
    card.command(0x80);
    card.address(column);
    card.address(static_cast<BYTE>(row));
    card.address(static_cast<BYTE>(row >> 8));
    for (BYTE b : bytes) card.writeData(b);
    card.command(0x10);
    card.setWriteProtect(true);
}
void erase(SimCard& card, DWORD row) {
    card.setWriteProtect(false);
    card.command(0x60);
    card.address(static_cast<BYTE>(row));
    card.address(static_cast<BYTE>(row >> 8));
    card.command(0xD0);
    card.setWriteProtect(true);
}
std::vector<BYTE> read(SimCard& card, BYTE command, DWORD row, std::size_t n, BYTE column = 0) {
    card.command(command);
    card.address(column);
    card.address(static_cast<BYTE>(row));
    card.address(static_cast<BYTE>(row >> 8));
    std::vector<BYTE> bytes(n);
    for (auto& b : bytes) b = card.readData();
    return bytes;
}
BYTE status(SimCard& card) {
    card.command(0x70);
    return card.readData();
}

// A 16 MB card's image as a program that died while making it left it: its header, and the
// rest of its size without room on the disk (a sparse file).
std::string SparseImage(const std::string& path) {
    const auto geometry = *SimCardGeometry::ForDeviceCode(0x73);
    const auto header = MakeSimCardHeader(geometry, {});
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_EQ(::pwrite(fd, header.data(), header.size(), 0), static_cast<ssize_t>(header.size()));
    EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(header.size() + geometry.bytes())), 0);
    ::close(fd);
    return path;
}

bool HasHoles(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_blocks * 512 < info.st_size;
}

class SimCardTest : public ::testing::Test {
  protected:
    TempFolder folder_;
    std::shared_ptr<SimCard> card_ = SimCard::Create(folder_.file("card.img"), kSmall, {5});
};

}  // namespace

TEST_F(SimCardTest, TheImageFileHoldsHeaderAndPagesAndOpensAgain) {
    program(*card_, 6, {0x12, 0x34});
    card_->flush();
    auto bytes = folder_.read("card.img");
    ASSERT_EQ(bytes.size(), 68u + 8 * 4 * 20);
    EXPECT_EQ(bytes.substr(0, 8), std::string("KSMCARD\x01", 8));
    EXPECT_EQ(kestra::ReadLe32(bytes.data() + 8), 68u);
    EXPECT_EQ(BYTE(bytes[12]), 0x98);
    EXPECT_EQ(BYTE(bytes[13]), 0x73);
    EXPECT_EQ(kestra::ReadLe32(bytes.data() + 16), 8u);
    EXPECT_EQ(kestra::ReadLe32(bytes.data() + 20), 4u);
    EXPECT_EQ(kestra::ReadLe32(bytes.data() + 24), 16u);
    EXPECT_EQ(kestra::ReadLe32(bytes.data() + 28), 4u);
    EXPECT_EQ(kestra::ReadLe32(bytes.data() + 32), 1u);
    EXPECT_EQ(kestra::ReadLe32(bytes.data() + 64), 5u);
    EXPECT_EQ(BYTE(bytes[68 + 6 * 20]), 0x12);
    EXPECT_EQ(BYTE(bytes[68 + 5 * 4 * 20]), 0x00);  // the factory-marked block

    card_.reset();
    auto again = SimCard::Open(folder_.file("card.img"));
    EXPECT_EQ(again->geometry().pages(), 32u);
    EXPECT_TRUE(again->factoryBad(5));
    EXPECT_FALSE(again->factoryBad(4));
    EXPECT_EQ(read(*again, 0x00, 6, 2), (std::vector<BYTE>{0x12, 0x34}));
}

TEST(SimCardHeader, RefusesImagesThatDoNotDescribeThemselves) {
    auto good = MakeSimCardHeader(kSmall, {1, 2});
    const std::uint64_t size = good.size() + kSmall.bytes();
    EXPECT_NO_THROW(ParseSimCardHeader(good, size));
    auto corrupt = [&](std::size_t offset, std::uint32_t value) {
        auto bytes = good;
        kestra::WriteLe32(bytes.data() + offset, value);
        return bytes;
    };
    EXPECT_THROW(ParseSimCardHeader(good, size + 1), ImageError);                 // size
    EXPECT_THROW(ParseSimCardHeader(corrupt(0, 0), size), ImageError);            // signature
    EXPECT_THROW(ParseSimCardHeader(corrupt(8, 64), size), ImageError);           // header size
    EXPECT_THROW(ParseSimCardHeader(corrupt(16, 0), size), ImageError);           // no blocks
    EXPECT_THROW(ParseSimCardHeader(corrupt(24, 40000), size), ImageError);       // page size
    EXPECT_THROW(ParseSimCardHeader(corrupt(20, 1u << 30), size), ImageError);    // pages
    EXPECT_THROW(ParseSimCardHeader(corrupt(32, 0x40000000), size), ImageError);  // lying count
    EXPECT_THROW(ParseSimCardHeader(corrupt(68, 8), size), ImageError);  // bad block off card
    EXPECT_THROW(ParseSimCardHeader(std::span(good).first(63), size), ImageError);

    TempFolder folder;
    folder.write("short.img", "KSMCARD");
    EXPECT_THROW(SimCard::Open(folder.file("short.img")), ImageError);
    EXPECT_THROW(SimCard::Open(folder.file("absent.img")), std::runtime_error);
    // A whole header over pages cut short.
    auto truncated = MakeSimCardHeader(kSmall, {});
    truncated.resize(truncated.size() + 100);
    folder.write("truncated.img",
                 std::string(reinterpret_cast<const char*>(truncated.data()), truncated.size()));
    EXPECT_THROW(SimCard::Open(folder.file("truncated.img")), ImageError);
}

TEST(SimCardImage, PartsWithoutRoomOnTheDiskGetItOrTheImageIsReadIntoMemory) {
    TempFolder folder;
    const std::string path = SparseImage(folder.file("card.img"));
    ASSERT_TRUE(HasHoles(path)) << "this file system keeps sparse files";
    {
        const auto card = SimCard::Open(path);
        EXPECT_FALSE(HasHoles(path)) << "the image has all its room before it is mapped";
        EXPECT_EQ(read(*card, 0x00, 100, 4), (std::vector<BYTE>{0, 0, 0, 0}));
    }
    // An image that may not be changed is not completed: it is read, and the card is
    // read-only.
    const std::string readOnly = SparseImage(folder.file("read-only.img"));
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    const auto card = SimCard::Open(readOnly);
    EXPECT_TRUE(card->readOnly());
    EXPECT_TRUE(HasHoles(readOnly));
    EXPECT_EQ(read(*card, 0x00, 100, 4), (std::vector<BYTE>{0, 0, 0, 0}));
}

TEST(SimCardImage, ANewCardNeverReplacesAnotherProgramsCard) {
    TempFolder folder;
    const std::string path = folder.file("card.img");
    const auto made = SimCard::OpenOrCreate(path, kSmall);
    program(*made, 3, {0x42});
    const auto again = SimCard::OpenOrCreate(path, kSmall);
    EXPECT_EQ(read(*again, 0x00, 3, 1), (std::vector<BYTE>{0x42}));
    EXPECT_EQ(std::filesystem::file_size(path), 64u + kSmall.bytes());
}

TEST(SimCardImage, AFullDiskRefusesANewImageOrAnIncompleteOneAndKeepsWhatWasThere) {
    TempFolder folder;
    const std::string disk = folder.file("disk");
    std::filesystem::create_directories(disk);
    KESTRA_ON_SMALL_DISK(disk, 1024 * 1024, [&] {
        const auto big = *SimCardGeometry::ForDeviceCode(0x73);
        EXPECT_THROW(SimCard::Create(disk + "/new.img", big), std::runtime_error);
        EXPECT_THROW(SimCard::OpenOrCreate(disk + "/new.img", big), std::runtime_error);
        EXPECT_FALSE(std::filesystem::exists(disk + "/new.img"));

        const auto small = SimCard::Create(disk + "/small.img", kSmall);
        program(*small, 3, {0x42});
        EXPECT_THROW(SimCard::Create(disk + "/small.img", big), std::runtime_error);
        EXPECT_EQ(read(*SimCard::Open(disk + "/small.img"), 0x00, 3, 1), (std::vector<BYTE>{0x42}));

        const std::string sparse = SparseImage(disk + "/sparse.img");
        try {
            SimCard::Open(sparse);
            ADD_FAILURE() << "an image without room on a full disk was mapped";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what())
                          .find("no room on the disk for the whole card "
                                "image"),
                      std::string::npos)
                << error.what();
        }
        for (const auto& entry : std::filesystem::directory_iterator(disk))
            EXPECT_FALSE(entry.path().filename().string().starts_with(".kestra-")) << entry.path();
    });
}

TEST_F(SimCardTest, ProgrammingClearsBitsAndEraseSetsTheWholeBlock) {
    program(*card_, 9, {0xF0, 0xFF, 0x0F});
    program(*card_, 9, {0x3C, 0x00}, 1);  // from column 1
    EXPECT_EQ(read(*card_, 0x00, 9, 4), (std::vector<BYTE>{0xF0, 0x3C, 0x00, 0xFF}));
    EXPECT_EQ(status(*card_) & 0x01, 0);
    program(*card_, 10, {0x00});
    erase(*card_, 11);  // any row of block 2
    EXPECT_EQ(read(*card_, 0x00, 8, 20 * 4), std::vector<BYTE>(80, 0xFF));
    EXPECT_EQ(card_->operations(), 4u);
}

TEST_F(SimCardTest, ReadsStartInTheChosenAreaAndRunOnIntoTheNextPage) {
    for (DWORD row = 0; row < 2; ++row) {
        std::vector<BYTE> bytes(20);
        for (BYTE i = 0; i < 20; ++i) bytes[i] = static_cast<BYTE>(row * 0x40 + i);
        program(*card_, row, bytes);
    }
    // 0x50 reads the spare area; at the end of a page the next page follows.
    EXPECT_EQ(read(*card_, 0x50, 0, 6), (std::vector<BYTE>{16, 17, 18, 19, 0x50, 0x51}));
    EXPECT_EQ(read(*card_, 0x00, 0, 3, 18), (std::vector<BYTE>{18, 19, 0x40}));
    card_->command(0x90);
    card_->address(0);
    EXPECT_EQ(card_->readData(), 0x98);
    EXPECT_EQ(card_->readData(), 0x73);
}

TEST_F(SimCardTest, ProtectedBadOrFailingPagesAndBlocksReportFailure) {
    // Write-protected: nothing changes, status has the fail bit and lacks bit 7.
    card_->command(0x80);
    card_->address(0);
    card_->address(3);
    card_->address(0);
    card_->writeData(0);
    card_->command(0x10);
    EXPECT_EQ(status(*card_), 0x41);
    EXPECT_EQ(card_->page(3)[0], 0xFF);
    card_->command(0xFF);
    EXPECT_EQ(status(*card_), 0x40);  // reset clears the failure

    erase(*card_, 5 * 4);  // factory-marked bad block
    card_->setWriteProtect(false);
    EXPECT_EQ(status(*card_), 0xC1);
    EXPECT_EQ(card_->page(5 * 4)[0], 0x00);
    program(*card_, 5 * 4 + 1, {0xAA});
    EXPECT_EQ(status(*card_) & 0x01, 1);

    card_->failProgram(7);
    program(*card_, 7, {0x00});
    EXPECT_EQ(status(*card_) & 0x01, 1);
    EXPECT_EQ(card_->page(7)[0], 0xFF);
    program(*card_, 6, {0x00});
    EXPECT_EQ(status(*card_) & 0x01, 0);
    card_->failErase(1);
    erase(*card_, 6);
    EXPECT_EQ(status(*card_) & 0x01, 1);
    EXPECT_EQ(card_->page(6)[0], 0x00);
    card_->clearFaults();
    erase(*card_, 6);
    EXPECT_EQ(card_->page(6)[0], 0xFF);
}

TEST_F(SimCardTest, APowerCutStopsTheNextOperationAndLeavesTheCardDead) {
    card_->cutPowerAfter(2);
    program(*card_, 0, {0x00});
    program(*card_, 1, {0x00});
    program(*card_, 2, {0x00});  // cut
    EXPECT_FALSE(card_->powered());
    EXPECT_EQ(card_->page(1)[0], 0x00);
    EXPECT_EQ(card_->page(2)[0], 0xFF);
    EXPECT_EQ(card_->operations(), 2u);
    card_->command(0x90);
    card_->address(0);
    EXPECT_EQ(card_->readData(), 0xFF);  // looks like an empty reader
    program(*card_, 3, {0x00});
    EXPECT_EQ(card_->page(3)[0], 0xFF);

    card_->restorePower();
    program(*card_, 3, {0x00});
    EXPECT_EQ(card_->page(3)[0], 0x00);

    // Torn: half of the page, or half of the block, takes effect.
    card_->cutPowerAfter(0, true);
    program(*card_, 12, std::vector<BYTE>(20, 0x00));
    EXPECT_EQ(card_->page(12)[9], 0x00);
    EXPECT_EQ(card_->page(12)[10], 0xFF);
    card_->restorePower();
    card_->cutPowerAfter(0, true);
    erase(*card_, 0);
    EXPECT_EQ(card_->page(1)[0], 0xFF);  // first half of block 0 erased
    EXPECT_EQ(card_->page(3)[0], 0x00);  // second half not
}

TEST_F(SimCardTest, TheReaderAnswersOnlyAtItsBaseAndCountsItsAccesses) {
    SimParallelReader reader(0x278, card_);
    EXPECT_EQ(reader.in(0x379), 0xFF);
    EXPECT_EQ(reader.in(0x27A), 0xCC);
    reader.out(0x278, 0x5A);
    EXPECT_EQ(reader.in(0x278), 0x5A);
    EXPECT_EQ(reader.accesses().reads, 3u);
    EXPECT_EQ(reader.accesses().writes, 1u);

    // Latch strobe (control bit 0x01 rising) takes the data register into the latch; a
    // write strobe reaches the card only while it is selected and the host drives the bus.
    reader.out(0x27A, 0x04);
    reader.out(0x278, 0x11);  // command latch, card driving: no command reaches the card
    reader.out(0x27A, 0x05);
    EXPECT_EQ(reader.latch(), 0x11);
    reader.out(0x278, 0x01);  // command latch, host driving, selected
    reader.out(0x27A, 0x04);
    reader.out(0x27A, 0x05);
    reader.out(0x278, 0x90);
    reader.out(0x27A, 0x01);
    reader.out(0x27A, 0x05);  // 0x90: read ID
    reader.out(0x278, 0x02);  // address latch
    reader.out(0x27A, 0x04);
    reader.out(0x27A, 0x05);
    reader.out(0x278, 0x00);
    reader.out(0x27A, 0x01);
    reader.out(0x27A, 0x05);
    reader.out(0x278, 0x10);  // the card drives the bus
    reader.out(0x27A, 0x04);
    reader.out(0x27A, 0x05);
    reader.out(0x27A, 0x07);  // read strobe: the maker code 0x98
    EXPECT_EQ(reader.in(0x279), ((0x9 << 4) ^ 0x80) | 0x07);
    reader.out(0x27A, 0x0F);
    EXPECT_EQ(reader.in(0x279), ((0x8 << 4) ^ 0x80) | 0x07);
    card_->setBusyLooks({.reset = 1});
    card_->command(0xFF);
    EXPECT_EQ(reader.in(0x279) & 0x08, 0x08);
    EXPECT_EQ(reader.in(0x279) & 0x08, 0x00);
}
