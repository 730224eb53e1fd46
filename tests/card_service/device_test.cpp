// The card device service on the simulated SmartMedia reader and card, through both access
// paths of the card access library: the parallel port registers and the reader's driver.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "card_service/kes_ssfdc_device.h"
#include "device_test_support.h"
#include "devices/card_lock.h"
#include "devices/ssfdc_driver.h"
#include "platform/message_box.h"
#include "support/card_reader_scope.h"
#include "support/temp_folder.h"

namespace pf = kestra::platform;
using kestra::testing::ProgramFolderWithSeparator;
using kestra::testing::ReaderConfigurationScope;
using kestra::testing::RunInChildProcess;
using kestra::testing::SimulatedReaderScope;
using kestra::testing::TempFolder;

using kestra::card::testing::CodeOf;

namespace {

constexpr BYTE k16MB = 0x73;
constexpr BYTE k4MB = 0xE5;

std::string Bytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + seed * 17) >> 3);
    return bytes;
}

enum class Path { Ports, Driver };

// A simulated card in a reader reached by one of the two access paths. Every run() makes a
// new device on the card, as a new program would.
class CardInReader {
  public:
    CardInReader(Path path, BYTE device, const std::vector<DWORD>& factoryBad = {})
        : path_(path),
          configuration_(path == Path::Ports ? "sim" : "sim-driver"),
          card_(pf::SimCard::Create(configuration_.folder().file("card.img"),
                                    *pf::SimCardGeometry::ForDeviceCode(device), factoryBad)) {}

    pf::SimCard& card() { return *card_; }
    TempFolder& files() { return files_; }

    // The driver path runs in a child process: its device stays open as long as the process.
    void run(const std::function<void(CKesSSFDCDevice&)>& body) {
        auto withDevice = [&] {
            CKesSSFDCDevice device(ProgramFolderWithSeparator().c_str());
            ASSERT_TRUE(device.initSSFDC(0x378));
            body(device);
        };
        if (path_ == Path::Ports) {
            pf::PortScope ports(std::make_shared<pf::SimParallelReader>(0x378, card_));
            withDevice();
            return;
        }
        EXPECT_EQ(RunInChildProcess([&] {
                      pf::DeviceScope scope(pf::ssfdc::kDeviceName,
                                            std::make_shared<pf::SimDriverDevice>(card_));
                      withDevice();
                  }),
                  0);
    }

  private:
    Path path_;
    TempFolder files_;
    ReaderConfigurationScope configuration_;
    std::shared_ptr<pf::SimCard> card_;
};

// Runs `body` with a device on a new simulated card reached through the ports.
void WithDevice(BYTE device,
                const std::function<void(CKesSSFDCDevice&, pf::SimCard&, TempFolder&)>& body) {
    CardInReader reader(Path::Ports, device);
    reader.run([&](CKesSSFDCDevice& card) { body(card, reader.card(), reader.files()); });
}

class BothPaths : public ::testing::TestWithParam<Path> {};

}  // namespace

TEST_P(BothPaths, EveryKindOfFileGoesToTheCardAndComesBackIdentical) {
    CardInReader reader(GetParam(), k16MB);
    TempFolder& files = reader.files();
    const std::string firmware = std::string("header KVER:3.2 rc1\0", 20) + Bytes(70000, 1);
    reader.run([&](CKesSSFDCDevice& card) {
        EXPECT_FALSE(card.IsFormatted());
        card.Format();
        ASSERT_TRUE(card.IsFormatted());
        card.DownloadKestraCode(files.write("firm_a.bin", firmware).c_str(), KESTRA_FIRMWARE);
        card.DownloadKestraCode(files.write("boot.bin", Bytes(9000, 2)).c_str(), KESTRA_BOOT);
        for (const char* font : {"f-l.rom", "f-d.rom", "f-xl.rom", "f.rom"})
            card.FontDownload(files.write(font, Bytes(20000, font[2])).c_str());
        card.DownloadROMFile(files.write("panel.rom", Bytes(40000, 3)).c_str());
        card.DownloadWinCEFile(files.write("nk.bin", Bytes(100000, 4)).c_str(),
                               "WinCE Image generic name", 1, 2, false);
        card.DownloadFile(files.write("download.rom", Bytes(3000, 5)).c_str(), 6, 3, "keys");
        card.CreateWCEFSPlaceholder(10, -1, -1);
        EXPECT_STREQ(card.getCodeVersion(KESTRA_FIRMWARE, nullptr), "3.2 rc1");
        EXPECT_STREQ(card.getCodeVersion(KESTRA_BOOT, nullptr), "no version");
        EXPECT_STREQ(card.getCodeVersion(KESTRA_MIPS, nullptr), "not on card");
    });
    // A new device on the same card finds everything again.
    reader.run([&](CKesSSFDCDevice& card) {
        card.UploadKestraCode(files.file("firm.out").c_str(), KESTRA_FIRMWARE);
        EXPECT_EQ(files.read("firm.out"), firmware);
        card.UploadROMFile(files.file("rom.out").c_str());
        EXPECT_EQ(files.read("rom.out"), Bytes(40000, 3));
        card.UploadWinCEFile(files.file("nk.out").c_str(), "", 1, 2);
        EXPECT_EQ(files.read("nk.out"), Bytes(100000, 4));
        card.UploadFile(files.file("keys.out").c_str(), 6, 3);
        EXPECT_EQ(files.read("keys.out"), Bytes(3000, 5));
        EXPECT_STREQ(card.getCodeVersion(KESTRA_FIRMWARE, nullptr), "3.2 rc1");

        SSFDCContentsInfo contents;
        card.KestraContents(contents);
        ASSERT_EQ(contents.m_files.size(), 10u);
        EXPECT_EQ(contents.m_blocks, 1024u);
        const auto placeholder = contents.m_files.back();
        EXPECT_EQ(placeholder.key.type, 32);
        EXPECT_TRUE(placeholder.placeholder);
        EXPECT_EQ(placeholder.blocks(), 10u);

        // Fonts: one kind, then all of them.
        card.DeleteFont(FONT_D, false);
        card.KestraContents(contents);
        EXPECT_EQ(contents.m_files.size(), 9u);
        card.DeleteFont(FONT_OTHER, false);
        card.KestraContents(contents);
        EXPECT_EQ(contents.m_files.size(), 6u);
        card.DeleteKestraCode(KESTRA_BOOT, false);
        EXPECT_STREQ(card.getCodeVersion(KESTRA_BOOT, nullptr), "not on card");
        EXPECT_EQ(CodeOf([&] { card.UploadKestraCode(files.file("x").c_str(), KESTRA_BOOT); }),
                  KESSSFDC_FILE_NOT_FOUND);
    });
}

INSTANTIATE_TEST_SUITE_P(CardService, BothPaths, ::testing::Values(Path::Ports, Path::Driver),
                         [](const auto& info) {
                             return info.param == Path::Ports ? "Ports" : "Driver";
                         });

TEST(CardService, FileTableHoldsEachFilesHead) {
    WithDevice(k4MB, [](CKesSSFDCDevice& card, pf::SimCard&, TempFolder& files) {
        card.Format();
        std::string keyboard = Bytes(600, 9);
        card.DownloadFile(files.write("download.rom", keyboard).c_str(), 6, 1, "keyboard");
        card.DownloadKestraCode(files.write("mips.bin", "KVER:7").c_str(), KESTRA_MIPS);
        card.WriteFileTable(files.file("SSFDCProps.bin").c_str());
        const std::string table = files.read("SSFDCProps.bin");
        // Files in type order: the code file (4, 2) with its 6 bytes, then the keyboard with 250.
        const std::size_t records = (5 + 6) + (5 + 250);
        ASSERT_EQ(table.size(), 4 + records);
        EXPECT_EQ(kestra::ReadLe32(table.data()), records);
        EXPECT_EQ(table.substr(4, 11), std::string("\x0B\x04\x02\x00\x00KVER:7", 11));
        EXPECT_EQ(static_cast<unsigned char>(table[15]), 255);
        EXPECT_EQ(table.substr(16, 4), std::string("\x06\x01\x00\x00", 4));
        EXPECT_EQ(table.substr(20), keyboard.substr(0, 250));
    });
}

TEST(CardService, FailuresCarryTheirCodesAndReports) {
    WithDevice(k4MB, [](CKesSSFDCDevice& card, pf::SimCard&, TempFolder& files) {
        std::string report;
        EXPECT_EQ(CodeOf([&] { card.DownloadROMFile(files.write("r.rom", "x").c_str()); }, &report),
                  KESSSFDC_NOT_FORMATTED);
        EXPECT_EQ(report, "The SSFDC card is not formatted.");
        card.Format();
        EXPECT_EQ(CodeOf([&] { card.DownloadROMFile(files.file("missing.rom").c_str()); }, &report),
                  KESSSFDC_FILE_NOT_FOUND);
        EXPECT_EQ(report, "The file '" + files.file("missing.rom") + "' was not found.");
        EXPECT_EQ(CodeOf([&] { card.DownloadROMFile(files.write("empty.rom", "").c_str()); }),
                  KESSSFDC_DOWNLOAD_FAILED);
        EXPECT_EQ(CodeOf([&] { card.UploadROMFile(files.file("r.out").c_str()); }),
                  KESSSFDC_FILE_NOT_FOUND);
        EXPECT_EQ(CodeOf([&] {
                      card.DownloadWinCEFile(files.write("nk.bin", "x").c_str(), "n", 4, 1, false);
                  }),
                  KESSSFDC_BAD_ARGUMENT);
        EXPECT_EQ(CodeOf([&] {
                      card.DownloadWinCEFile(files.file("nk.bin").c_str(), "n", 256, 1, false);
                  }),
                  KESSSFDC_BAD_ARGUMENT);
        EXPECT_EQ(CodeOf([&] {
                      card.DownloadKestraCode(files.file("nk.bin").c_str(), KESTRACODETYPE(7));
                  }),
                  KESSSFDC_BAD_ARGUMENT);
        // 4 MB: 500 logical blocks of 8 KB, 499 of them free after the directory.
        EXPECT_EQ(
            CodeOf(
                [&] {
                    card.DownloadROMFile(files.write("big.rom", Bytes(499 * 8192 + 1, 1)).c_str());
                },
                &report),
            KESSSFDC_CARD_FULL);
        EXPECT_NE(report.find("The card is full"), std::string::npos) << report;
        EXPECT_EQ(CodeOf([&] { card.UploadROMFile("/no/such/folder/r.out"); }),
                  KESSSFDC_FILE_NOT_FOUND);
        card.DownloadROMFile(files.write("small.rom", "rom").c_str());
        EXPECT_EQ(CodeOf([&] { card.UploadROMFile("/no/such/folder/r.out"); }), KESSSFDC_HOST_FILE);
        // A name given for the card is taken as it is, or refused: never cut.
        EXPECT_EQ(CodeOf(
                      [&] {
                          card.DownloadFile(files.file("small.rom").c_str(), 6, 1,
                                            std::string(40, 'k').c_str());
                      },
                      &report),
                  KESSSFDC_BAD_ARGUMENT);
        EXPECT_EQ(report, "The name '" + std::string(40, 'k') +
                              "' cannot be a file's name on the card: it is 40 bytes long; a "
                              "name on the card holds at most 39 bytes of UTF-8.");
        EXPECT_EQ(CodeOf([&] {
                      card.DownloadWinCEFile(files.file("nk.bin").c_str(), "two\nlines", 40, 1,
                                             false);
                  }),
                  KESSSFDC_BAD_ARGUMENT);
        card.CreateWCEFSPlaceholder(-1, -1, -1);
        EXPECT_EQ(CodeOf([&] {
                      card.DownloadKestraCode(files.write("b.bin", "b").c_str(), KESTRA_BOOT);
                  }),
                  KESSSFDC_CARD_FULL);
    });
}

TEST(CardService, ACardAnotherProgramHoldsIsWaitedForOrLeftAlone) {
    ReaderConfigurationScope configuration;
    const std::string image = configuration.folder().file("card.img");
    pf::SimCard::Create(image, *pf::SimCardGeometry::ForDeviceCode(k4MB));
    kestra::testing::EnvironmentScope card(pf::kSimCardVariable, image);

    // Another open file of the image stands for another program.
    pf::CardLock other = pf::CardLock::Take(image, pf::CardUse::Write);
    CKesSSFDCDevice device(ProgramFolderWithSeparator().c_str());
    EXPECT_FALSE(device.initSSFDC(0x378));
    std::string report;
    EXPECT_EQ(CodeOf([&] { device.Format(); }, &report), KESSSFDC_CARD_IN_USE);
    EXPECT_EQ(report, "The SSFDC card is in use by another program.");
    EXPECT_EQ(pf::ConfiguredSimCard()->operations(), 0u) << "the card was not touched";

    // Waiting: told who holds it, then the card is this device's.
    std::string told;
    device.setWaitForCard([&](const std::string& holders) {
        told = holders;
        other.release();
    });
    ASSERT_TRUE(device.initSSFDC(0x378));
    EXPECT_EQ(told, "another program");
    device.Format();
    EXPECT_THROW(pf::CardLock::Take(image, pf::CardUse::Read), pf::CardInUse);
    device.releaseCard();
    EXPECT_EQ(CodeOf([&] { device.IsFormatted(); }), KESSSFDC_READER_FAULT) << "let go";

    // Readers share the card, and a reader changes nothing.
    device.setWaitForCard({});
    other = pf::CardLock::Take(image, pf::CardUse::Read);
    device.setCardUse(pf::CardUse::Read);
    ASSERT_TRUE(device.initSSFDC(0x378));
    EXPECT_TRUE(device.IsFormatted());
    EXPECT_EQ(CodeOf([&] { device.Format(); }, &report), KESSSFDC_BAD_ARGUMENT);
    EXPECT_EQ(report, "The card was taken for reading: it is not changed.");
    device.setCardUse(pf::CardUse::Write);
    EXPECT_FALSE(device.initSSFDC(0x378)) << "a writer waits for the reader";
    EXPECT_EQ(CodeOf([&] { device.Format(); }), KESSSFDC_CARD_IN_USE);
}

TEST(CardService, CardsThatAreNotThereOrNotKnown) {
    {
        ReaderConfigurationScope empty;  // the simulated reader has no card
        CKesSSFDCDevice card(ProgramFolderWithSeparator().c_str());
        EXPECT_FALSE(card.initSSFDC(0x378));
        EXPECT_TRUE(card.CheckWCEHeaderIntegrity()) << "nothing to check without a card";
        std::string report;
        EXPECT_EQ(CodeOf([&] { card.IsFormatted(); }, &report), KESSSFDC_NO_CARD);
        EXPECT_EQ(report, "There is no SSFDC card in the reader.");
        EXPECT_FALSE(card.GetSSFDCTypes().m_types.empty()) << "the type list needs no card";
        EXPECT_STREQ(card.setSSFDCID(0),
                     "card device service K32SSFDCApp 1.0, card file system format 1");
    }
    {
        pf::SimCardGeometry unknown = *pf::SimCardGeometry::ForDeviceCode(k4MB);
        unknown.device = 0x42;
        SimulatedReaderScope reader(unknown);
        CKesSSFDCDevice card(ProgramFolderWithSeparator().c_str());
        EXPECT_FALSE(card.initSSFDC(0x378));
        EXPECT_EQ(CodeOf([&] { card.Format(); }), KESSSFDC_UNKNOWN_CARD);
    }
    {
        CKesSSFDCDevice card(ProgramFolderWithSeparator().c_str());
        EXPECT_EQ(CodeOf([&] { card.Format(); }), KESSSFDC_READER_FAULT) << "never set up";
    }
}

TEST(CardService, SmallPageCardsTakeRawImagesButNoFiles) {
    WithDevice(0x6E, [](CKesSSFDCDevice& card, pf::SimCard& sim, TempFolder& files) {
        EXPECT_FALSE(card.IsFormatted());
        std::string report;
        EXPECT_EQ(CodeOf([&] { card.Format(); }, &report), KESSSFDC_BAD_CARD);
        EXPECT_NE(report.find("pages of 264 bytes"), std::string::npos) << report;
        sim.page(5)[0] = 0x12;
        card.RawUpload(files.file("small.img").c_str(), 65535);
        const std::string image = files.read("small.img");
        ASSERT_EQ(image.size(), 256u * 16 * 264);
        EXPECT_EQ(image[5 * 264], 0x12);
    });
}

TEST(CardService, BadBlocksAndFailingErasesOnTheSimulatedCard) {
    TempFolder folder;
    const pf::SimCardGeometry geometry = *pf::SimCardGeometry::ForDeviceCode(k4MB);
    SimulatedReaderScope reader(geometry, 0x378, {0, 3, 100, 511});
    for (DWORD block = 10; block < 500; block += 37) reader.card->failErase(block);
    reader.card->failProgram(200 * 16 + 3);
    CKesSSFDCDevice card(ProgramFolderWithSeparator().c_str());
    ASSERT_TRUE(card.initSSFDC(0x378));
    card.Format();
    for (int i = 0; i < 8; ++i)
        card.DownloadFile(folder.write("f" + std::to_string(i), Bytes(60000, i)).c_str(), 40, i,
                          nullptr);
    reader.card->clearFaults();
    CKesSSFDCDevice again(ProgramFolderWithSeparator().c_str());
    ASSERT_TRUE(again.initSSFDC(0x378));
    for (int i = 0; i < 8; ++i) {
        again.UploadFile(folder.file("out").c_str(), 40, i);
        EXPECT_EQ(folder.read("out"), Bytes(60000, i)) << i;
    }
    SSFDCContentsInfo contents;
    again.KestraContents(contents);
    EXPECT_GE(contents.m_badBlocks, 4u + 14u) << "factory marks and every block whose erase failed";
}

TEST(CardService, FlippedBitOnTheCardIsCorrected) {
    TempFolder folder;
    SimulatedReaderScope reader(*pf::SimCardGeometry::ForDeviceCode(k4MB));
    CKesSSFDCDevice card(ProgramFolderWithSeparator().c_str());
    ASSERT_TRUE(card.initSSFDC(0x378));
    card.Format();
    card.DownloadROMFile(folder.write("r.rom", Bytes(30000, 1)).c_str());
    // Flip one bit in every written data page of the card (the directory's too).
    for (DWORD row = 0; row < 512 * 16; ++row) {
        auto page = reader.card->page(row);
        if (page[512 + 4] == 0xFF && page[512 + 6] != 0xFF) page[100] ^= 0x04;
    }
    CKesSSFDCDevice again(ProgramFolderWithSeparator().c_str());
    ASSERT_TRUE(again.initSSFDC(0x378));
    again.UploadROMFile(folder.file("r.out").c_str());
    EXPECT_EQ(folder.read("r.out"), Bytes(30000, 1));
}

TEST(CardService, PowerCutAtEveryOperationOfADownloadOnTheSimulatedCard) {
    TempFolder folder;
    const std::string oldFirmware = "KVER:1\0" + Bytes(20000, 1),
                      newFirmware = "KVER:2\0" + Bytes(30000, 2);
    folder.write("old.bin", oldFirmware);
    folder.write("new.bin", newFirmware);
    const pf::SimCardGeometry geometry = *pf::SimCardGeometry::ForDeviceCode(k4MB);
    std::string base;
    {
        SimulatedReaderScope reader(geometry);
        CKesSSFDCDevice card(ProgramFolderWithSeparator().c_str());
        ASSERT_TRUE(card.initSSFDC(0x378));
        card.Format();
        card.DownloadKestraCode(folder.file("old.bin").c_str(), KESTRA_FIRMWARE);
        reader.card->flush();
        base = pf::ReadWholeFile(reader.card->path()).value();
    }
    unsigned sawOld = 0, sawNew = 0;
    for (DWORD cut = 0;; ++cut) {
        SCOPED_TRACE("power cut after " + std::to_string(cut) + " operations");
        SimulatedReaderScope reader(geometry);
        reader.card->restorePower();
        const char* pages = base.data() + (base.size() - std::size_t{geometry.bytes()});
        for (DWORD row = 0; row < geometry.pages(); ++row)
            std::memcpy(reader.card->page(row).data(),
                        pages + std::size_t{row} * geometry.pageSize(), geometry.pageSize());
        CKesSSFDCDevice card(ProgramFolderWithSeparator().c_str());
        ASSERT_TRUE(card.initSSFDC(0x378));
        ASSERT_TRUE(card.IsFormatted());
        reader.card->cutPowerAfter(cut, cut % 2 == 1);
        const int code = CodeOf(
            [&] { card.DownloadKestraCode(folder.file("new.bin").c_str(), KESTRA_FIRMWARE); });
        const bool completed = reader.card->powered();
        if (completed)
            ASSERT_EQ(code, 0);
        else
            ASSERT_TRUE(code == KESSSFDC_NO_CARD || code == KESSSFDC_READER_FAULT || code == 0)
                << code;
        // Reading back from the card taken out is "no card", whatever the file on it is like.
        if (!completed)
            EXPECT_EQ(CodeOf([&] {
                          card.UploadKestraCode(folder.file("out.bin").c_str(), KESTRA_FIRMWARE);
                      }),
                      KESSSFDC_NO_CARD);
        reader.card->restorePower();

        CKesSSFDCDevice after(ProgramFolderWithSeparator().c_str());
        ASSERT_TRUE(after.initSSFDC(0x378));
        ASSERT_TRUE(after.CheckWCEHeaderIntegrity());
        ASSERT_TRUE(after.IsFormatted());
        after.UploadKestraCode(folder.file("out.bin").c_str(), KESTRA_FIRMWARE);
        const std::string seen = folder.read("out.bin");
        ASSERT_TRUE(seen == oldFirmware || seen == newFirmware);
        (seen == oldFirmware ? sawOld : sawNew)++;
        SSFDCContentsInfo contents;
        after.KestraContents(contents);
        ASSERT_EQ(contents.m_badBlocks, 0u) << "a dead card was taken for bad blocks";
        if (completed) break;
    }
    EXPECT_GT(sawOld, 10u);
    EXPECT_GT(sawNew, 0u);
}

TEST(CardService, RawImageMovesAWholeCardBetweenCards) {
    TempFolder folder;
    const pf::SimCardGeometry geometry = *pf::SimCardGeometry::ForDeviceCode(k4MB);
    {
        SimulatedReaderScope reader(geometry);
        CKesSSFDCDevice card(ProgramFolderWithSeparator().c_str());
        ASSERT_TRUE(card.initSSFDC(0x378));
        card.Format();
        card.DownloadROMFile(folder.write("r.rom", Bytes(50000, 7)).c_str());
        card.StartDialogThread(false);
        card.RawUpload(folder.file("card.img").c_str(), 65535);
        EXPECT_TRUE(card.isProgressThreadStarted());
        EXPECT_TRUE(card.getSyncObject()->WaitToUnlock(true));
    }
    SimulatedReaderScope reader(geometry);
    CKesSSFDCDevice card(ProgramFolderWithSeparator().c_str());
    ASSERT_TRUE(card.initSSFDC(0x378));
    EXPECT_FALSE(card.IsFormatted());
    card.RawDownload(folder.file("card.img").c_str(), 65535);
    EXPECT_TRUE(card.IsFormatted()) << "the file system is looked at anew after a raw download";
    card.UploadROMFile(folder.file("r.out").c_str());
    EXPECT_EQ(folder.read("r.out"), Bytes(50000, 7));
}

TEST(CardService, ConfirmationCanKeepFiles) {
    WithDevice(k4MB, [](CKesSSFDCDevice& card, pf::SimCard&, TempFolder& files) {
        card.Format();
        card.DownloadKestraCode(files.write("m.bin", "m").c_str(), KESTRA_MSER);
        std::string asked;
        auto previous = pf::SetMessageBoxPresenter(
            [&](HWND, std::string_view text, std::string_view, UINT type) {
                asked = text;
                EXPECT_EQ(type & MB_TYPEMASK, MB_YESNO);
                return IDNO;
            });
        card.DeleteKestraCode(KESTRA_MSER, true);
        EXPECT_EQ(asked, "Delete the MIPS service file from the SSFDC card?");
        EXPECT_STRNE(card.getCodeVersion(KESTRA_MSER, nullptr), "not on card");
        asked.clear();
        card.DeleteFont(FONT_OTHER, true);  // no fonts: nothing to ask
        EXPECT_TRUE(asked.empty());
        pf::SetMessageBoxPresenter(previous);
        card.DeleteKestraCode(KESTRA_MSER, true);
        EXPECT_STREQ(card.getCodeVersion(KESTRA_MSER, nullptr), "not on card");
    });
}

TEST(CardService, TestModeReadsTheWholeCard) {
    WithDevice(k4MB, [](CKesSSFDCDevice& card, pf::SimCard& sim, TempFolder&) {
        card.Format();
        sim.page(7 * 16 + 2)[0] ^= 1;  // one bit off in an erased page
        testing::internal::CaptureStdout();
        card.StartTestMode();
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find("Card test: every page of 512 blocks read.\n"), std::string::npos)
            << out;
        EXPECT_NE(out.find("Bad blocks:      0\n"), std::string::npos) << out;
        EXPECT_NE(out.find("Corrected pages: 1\n"), std::string::npos) << out;
    });
}

// A progress display of the caller's own: it sees each task with its size and its bytes, and
// stopping it in the middle of a download leaves the card's file as it was.
TEST(CardService, OutsideProgressSeesTheWorkAndCanStopADownload) {
    struct Recorder : kestra::card::ProgressSink {
        std::string task;
        std::uint64_t total = 0, last = 0;
        int advances = 0, ended = 0;
        int stopAfter = -1;  // advances before the sink stops the work; -1 never
        void begin(std::string_view name, std::uint64_t bytes) override {
            task = name;
            total = bytes;
            advances = 0;
        }
        void advance(std::uint64_t done) override {
            last = done;
            if (++advances == stopAfter)
                throw kestra::card::CardError(KESSSFDC_DOWNLOAD_FAILED, "stopped by the user");
        }
        void end(bool) override { ++ended; }
    };
    CardInReader reader(Path::Ports, k4MB);
    TempFolder& files = reader.files();
    const std::string first = Bytes(5 * 8192 + 100, 1), second = Bytes(9 * 8192, 2);
    reader.run([&](CKesSSFDCDevice& card) {
        Recorder recorder;
        card.setProgressSink(&recorder);
        card.Format();
        card.DownloadFile(files.write("a.img", first).c_str(), 7, 0, "a.img");
        EXPECT_EQ(recorder.total, first.size()) << recorder.task;
        EXPECT_EQ(recorder.last, first.size());
        EXPECT_EQ(recorder.advances, 6);  // one a block

        recorder.stopAfter = 3;
        const int endedBefore = recorder.ended;
        std::string report;
        EXPECT_EQ(
            CodeOf([&] { card.DownloadFile(files.write("b.img", second).c_str(), 7, 0, "b.img"); },
                   &report),
            KESSSFDC_DOWNLOAD_FAILED);
        EXPECT_EQ(report, "stopped by the user");
        EXPECT_EQ(recorder.ended, endedBefore + 1);
    });
    // A new device, as the next program run, finds the first file on the card.
    reader.run([&](CKesSSFDCDevice& card) {
        card.UploadFile(files.file("back").c_str(), 7, 0);
        EXPECT_EQ(files.read("back"), first);
    });
}
