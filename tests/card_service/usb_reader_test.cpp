// Cards read through a USB SmartMedia reader: the same files come out of a card through the
// parallel-port reader, through the card's logical image as a standard translation layer
// reads it (smlogical), and through the blockdev reader on that image.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

#include "card_service/kes_ssfdc_device.h"
#include "device_test_support.h"
#include "devices/sim_reader.h"
#include "platform/files.h"
#include "support/card_reader_scope.h"
#include "support/temp_folder.h"

namespace pf = kestra::platform;
using kestra::testing::ProgramFolderWithSeparator;
using kestra::testing::ReaderConfigurationScope;
using kestra::testing::SimulatedReaderScope;
using kestra::testing::TempFolder;

using kestra::card::testing::CodeOf;

namespace {

std::string Bytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 151 + seed * 29) >> 2 ^ (i >> 9));
    return bytes;
}

// Runs `body` with a device on the configured reader, as a new program would.
void WithDevice(const std::function<void(CKesSSFDCDevice&)>& body) {
    CKesSSFDCDevice device(ProgramFolderWithSeparator().c_str());
    ASSERT_TRUE(device.initSSFDC(0x378));
    try {
        body(device);
    } catch (CSSFDCLibException* error) {
        ADD_FAILURE() << error->m_ErrorCode << ": " << error->GetReport();
        error->Delete();
    }
}

struct Sent {
    std::string firmware = "KVER:4.1\n" + Bytes(70000, 1);
    std::string rom = Bytes(40000, 2);
    std::string wince = Bytes(200000, 3);
    std::string keys = Bytes(3000, 4);
};

void Send(CKesSSFDCDevice& card, const TempFolder& files, const Sent& sent) {
    card.DownloadKestraCode(files.write("firm.bin", sent.firmware).c_str(), KESTRA_FIRMWARE);
    card.DownloadROMFile(files.write("panel.rom", sent.rom).c_str());
    card.DownloadWinCEFile(files.write("nk.bin", sent.wince).c_str(), "image", 1, 2, false);
    card.DownloadFile(files.write("download.rom", sent.keys).c_str(), 6, 3, "keys");
    card.CreateWCEFSPlaceholder(7, -1, -1);
}

// Everything the card holds, as the service lists and reads it.
std::string Fetch(CKesSSFDCDevice& card, const TempFolder& files) {
    SSFDCContentsInfo contents;
    card.KestraContents(contents);
    std::string out;
    for (const auto& file : contents.m_files)
        out += file.name + "/" + std::to_string(file.key.type) + "/" +
               std::to_string(file.key.subtype) + "/" + std::to_string(file.length) + "\n";
    card.UploadKestraCode(files.file("firm.out").c_str(), KESTRA_FIRMWARE);
    card.UploadROMFile(files.file("rom.out").c_str());
    card.UploadWinCEFile(files.file("nk.out").c_str(), "", 1, 2);
    card.UploadFile(files.file("keys.out").c_str(), 6, 3);
    for (const char* name : {"firm.out", "rom.out", "nk.out", "keys.out"})
        out += files.read(name) + "\n";
    return out;
}

class ThreePaths : public ::testing::TestWithParam<BYTE> {};

}  // namespace

TEST_P(ThreePaths, TheSameFilesComeOutOfEveryPath) {
    TempFolder files;
    const Sent sent;
    std::string throughPorts;
    const std::string cardImage = files.file("card.img");
    {
        SimulatedReaderScope reader(GetParam());
        WithDevice([&](CKesSSFDCDevice& card) {
            card.Format();
            Send(card, files, sent);
        });
        WithDevice([&](CKesSSFDCDevice& card) { throughPorts = Fetch(card, files); });
        reader.card->flush();
        std::filesystem::copy_file(reader.card->path(), cardImage);
    }
    ASSERT_NE(throughPorts.find(sent.wince), std::string::npos);

    const std::string logical = files.file("logical.img");
    const std::string command =
        pf::ProgramFolder() + "/smlogical '" + cardImage + "' '" + logical + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const auto size = std::filesystem::file_size(logical);
    const auto geometry = *pf::SimCardGeometry::ForDeviceCode(GetParam());
    EXPECT_EQ(size, geometry.blocks / 1024 * 1000 * 512ull * geometry.pagesPerBlock)
        << "1000 logical blocks per zone of 1024";

    ReaderConfigurationScope usb("blockdev:" + logical);
    WithDevice([&](CKesSSFDCDevice& card) {
        EXPECT_TRUE(card.IsFormatted());
        CSSFDCStatus info;
        card.SSFDCInfo(info);
        EXPECT_EQ(info.TypeCode, GetParam());
        EXPECT_EQ(Fetch(card, files), throughPorts);
        // A change through the USB reader is there for the next program.
        card.DownloadROMFile(files.write("panel2.rom", Bytes(50000, 9)).c_str());
    });
    WithDevice([&](CKesSSFDCDevice& card) {
        card.UploadROMFile(files.file("rom2.out").c_str());
        EXPECT_EQ(files.read("rom2.out"), Bytes(50000, 9));
        card.UploadWinCEFile(files.file("nk2.out").c_str(), "", 1, 2);
        EXPECT_EQ(files.read("nk2.out"), sent.wince);
    });
}

INSTANTIATE_TEST_SUITE_P(UsbReader, ThreePaths, ::testing::Values(0x73, 0x76, 0x79),
                         [](const auto& info) {
                             return info.param == 0x73   ? "16MB"
                                    : info.param == 0x76 ? "64MB"
                                                         : "128MB";
                         });

TEST(UsbReader, OnlyADiskOfAKnownCardSizeIsTaken) {
    TempFolder files;
    std::string report;
    auto refused = [&](const std::string& path) {
        ReaderConfigurationScope usb("blockdev:" + path);
        CKesSSFDCDevice device(ProgramFolderWithSeparator().c_str());
        EXPECT_FALSE(device.initSSFDC(0x378));
        return CodeOf([&] { device.Format(); }, &report);
    };
    const std::string odd = files.write("odd.img", std::string(16 * 1024 * 1024, '\xFF'));
    EXPECT_EQ(refused(odd), KESSSFDC_UNKNOWN_CARD);
    EXPECT_NE(report.find("16777216 bytes"), std::string::npos) << report;
    EXPECT_NE(report.find("16 MB 16384000"), std::string::npos) << report;
    EXPECT_EQ(files.read("odd.img"), std::string(16 * 1024 * 1024, '\xFF')) << "never written";

    EXPECT_EQ(refused(files.write("empty.img", "")), KESSSFDC_NO_CARD);
    EXPECT_EQ(report, "There is no SSFDC card in the reader.");
    EXPECT_EQ(refused(files.file("missing.img")), KESSSFDC_NO_CARD);
    EXPECT_EQ(refused(files.path()), KESSSFDC_NO_CARD) << "a folder is no disk";
}

TEST(UsbReader, AnEmptyCardIsFormattedThroughTheReader) {
    TempFolder files;
    const std::string disk = files.write("card.img", std::string(16384000, '\xFF'));
    ReaderConfigurationScope usb("blockdev:" + disk);
    WithDevice([&](CKesSSFDCDevice& card) {
        EXPECT_FALSE(card.IsFormatted());
        card.Format();
        card.DownloadROMFile(files.write("a.rom", Bytes(20000, 5)).c_str());
        std::string report;
        EXPECT_EQ(CodeOf([&] { card.RawUpload(files.file("raw.out").c_str(), 65535); }, &report),
                  KESSSFDC_BAD_CARD);
        EXPECT_NE(report.find("parallel-port reader"), std::string::npos) << report;
    });
    WithDevice([&](CKesSSFDCDevice& card) {
        EXPECT_TRUE(card.IsFormatted());
        card.UploadROMFile(files.file("a.out").c_str());
        EXPECT_EQ(files.read("a.out"), Bytes(20000, 5));
        card.Unformat();
    });
    WithDevice([&](CKesSSFDCDevice& card) { EXPECT_FALSE(card.IsFormatted()); });
}
