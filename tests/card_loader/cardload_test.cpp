// The built card loader, run against simulated cards.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <regex>
#include <set>

#include "card_service/spare_area.h"
#include "devices/sim_card.h"
#include "run_program.h"
#include "support/temp_folder.h"

using kestra::testing::ProgramRun;
using kestra::testing::RunProgram;
using kestra::testing::TempFolder;

namespace {

const std::string kUsage =
    "Fabricon SSFDC Loader Utility, card device service K32SSFDCApp 1.0, card file system format "
    "1\n"
    "Prepares SmartMedia cards for Kestra operator panels; options run from left to right.\n"
    "Usage:\n"
    "/boot <filename>        Starts downloading of Kestra boot file.\n"
    "/code                   Starts the Kestra code files download.\n"
    "/diswcedlg              Disables WCE file properties edit dialog during download.\n"
    "/delappl                Deletes application.\n"
    "/delproj                Deletes project.\n"
    "/delboot                Deletes Kestra boot file.\n"
    "/delfirm                Deletes Kestra firmware file.\n"
    "/delmips                Deletes Kestra MIPS file.\n"
    "/delmser                Deletes Kestra MIPS service file.\n"
    "/delfont {l|d|xl}       Deletes the specified font kind.\n"
    "/dump <filename>        Dumps SSFDC card contents in the file.\n"
    "/font <filename>        Basic filename of font ROM files to download.\n"
    "/format                 Starts the SSFDC card formatting.\n"
    "/firm <filename>        Starts downloading of Kestra firmware file.\n"
    "/help                   Shows this help.\n"
    "/flagcode               Specifies code download flags.\n"
    "/info                   Shows the SSFDC card information.\n"
    "/mips <filename>        Starts downloading of Kestra MIPS file.\n"
    "/mser <filename>        Starts downloading of Kestra MIPS service file.\n"
    "/pathcode               Specifies the path where code files are placed.\n"
    "/rom <filename>         Specifies name of the SSFDC ROM file to download.\n"
    "/raw <filename>[blocks] Starts raw card image download.\n"
    "/types                  Displays list of supported SSFDC types.\n"
    "/test                   Starts the test mode.\n"
    "/unformat               Deletes the SSFDC file system header block.\n"
    "/uplrom <filename>      Specifies name of the SSFDC ROM file to download.\n"
    "/uplboot <filename>     Uploads Kestra boot file.\n"
    "/uplfirm <filename>     Uploads Kestra firmware file.\n"
    "/uplmips <filename>     Uploads Kestra MIPS file.\n"
    "/uplmser <filename>     Uploads Kestra MIPS service file.\n"
    "/uplraw <file>[blocks]  Starts raw card image upload.\n"
    "/uplwince <filename><type><subtype> Starts Windows CE file upload.\n"
    "/ver                    Displays versions of the Norvel code on the card.\n"
    "/wcefs [blocks][type][subtype]         Creates placeholder for WCE file system.\n"
    "/wince <filename><type><subtype>[name] Starts Windows CE file download.\n"
    "\n"
    "These options end the run (options after them are not run): /info, /unformat, /dump, "
    "/boot, /firm, /mips, /mser, /delappl, /delproj, /delboot, /delfirm, /delmips, /delmser, "
    "/delfont, /raw, /uplraw, /uplboot, /uplfirm, /uplmips, /uplmser, /help; /uplrom too when "
    "the card is not formatted. Numbers are decimal, or hexadecimal after 0x. /wait waits for a "
    "card that another program is using.\n";

const std::string kInfo4MB =
    "Manufacturer: SmartMedia 3.3V\n"
    "Blocks:       512\n"
    "Block size:   8448\n"
    "Pages:        16\n"
    "Page size:    528\n"
    "ID byte:      229\n"
    "Status byte:  64\n";

// Standard error without the progress lines of long operations (one per operation when
// standard error is not a terminal).
std::string WithoutProgress(const std::string& text) {
    static const std::regex progress(R"(^.*: \d+% \d+/\d+ bytes.*\n)", std::regex::multiline);
    return std::regex_replace(text, progress, "");
}

// A simulated 4 MB card in the simulated reader at 0x378, and a folder for files.
class Cardload : public ::testing::Test {
  protected:
    ProgramRun run(std::vector<std::string> arguments) {
        ProgramRun result = RunProgram("cardload", arguments, environment);
        progress = result.err;
        result.err = WithoutProgress(result.err);
        return result;
    }
    std::string file(const std::string& name, const std::string& contents) {
        return folder.write(name, contents);
    }
    std::string path(const std::string& name) const { return folder.file(name); }
    // The card's contents as "/dump" writes them to standard output.
    std::string contents() { return run({"/dump", ""}).out; }

    TempFolder folder;
    std::string progress;  // standard error of the last run, progress lines and all
    std::map<std::string, std::optional<std::string>> environment = {
        {"KESTRA_WINDIR", folder.path()},
        {"KESTRA_CARD_READER", "sim"},
        {"KESTRA_SIM_CARD", folder.file("card.img")},
        {"KESTRA_SIM_CARD_TYPE", "0xE5"},
        {"KESTRA_SIM_PORT", std::nullopt},
        {"DISPLAY", std::nullopt},
        {"WAYLAND_DISPLAY", std::nullopt},
        {"QT_QPA_PLATFORM", std::nullopt},
    };
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST_F(Cardload, NoArgumentsPrintsTheUsageAndEndsWithMinusOne) {
    const ProgramRun result = run({});
    EXPECT_EQ(result.exitCode, 255);
    EXPECT_EQ(result.out, kUsage);
    EXPECT_EQ(result.err, "");
}

TEST_F(Cardload, HelpPrintsTheUsageAndStops) {
    const ProgramRun result = run({"/help", "/format"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, kUsage);
    EXPECT_FALSE(Has(run({"/info"}).out, "Formatted:    Yes"));
}

TEST_F(Cardload, TheUsualHelpRequestsPrintTheUsageAndRunNothing) {
    environment["KESTRA_CARD_READER"] = "none";  // any card work would fail
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--help"}, {"-h"}, {"/?"}, {"/format", "--help"}}) {
        const ProgramRun result = run(arguments);
        EXPECT_EQ(result.exitCode, 0) << arguments.back();
        EXPECT_EQ(result.out, kUsage) << arguments.back();
        EXPECT_EQ(result.err, "") << arguments.back();
    }
}

TEST_F(Cardload, NumbersAreDecimalOrHexadecimal) {
    environment["KESTRA_SIM_PORT"] = "0x278";
    for (const char* port : {"632", "0x278", "0X278"})
        EXPECT_EQ(run({"/port", port, "/info"}).exitCode, 0) << port;
    environment["KESTRA_SIM_PORT"] = std::nullopt;

    ASSERT_EQ(run({"/uplraw", path("part.raw"), "0x3"}).exitCode, 0);
    EXPECT_EQ(folder.read("part.raw").size(), 3u * 16 * 528);
    ASSERT_EQ(run({"/wcefs", "0x5", "0x28", "0X1"}).exitCode, 0);
    ASSERT_EQ(run({"/wince", file("img.bin", "w"), "0x29", "0x2", "Hex"}).exitCode, 0);
    const std::string listing = contents();
    EXPECT_TRUE(Has(listing, "  40       1 Windows CE file system Windows CE file system"))
        << listing;
    EXPECT_TRUE(Has(listing, "  41       2 Windows CE file        Hex")) << listing;
    EXPECT_EQ(run({"/wcefs", "0xZ"}).exitCode, 4122 & 0xFF) << "no number: 0 blocks";
}

// The lines of standard error that report options as not run.
std::string NotRun(const std::string& err) {
    std::string lines;
    for (std::size_t at = 0, end; at < err.size(); at = end + 1) {
        end = std::min(err.find('\n', at), err.size());
        const std::string line = err.substr(at, end - at + 1);
        if (Has(line, "' was not run: ")) lines += line;
    }
    return lines;
}

TEST_F(Cardload, OptionsAfterTheEndOfTheRunAreReportedAsNotRun) {
    ASSERT_EQ(run({"/format"}).exitCode, 0);
    const std::string dumpFile = path("d.html");
    const struct {
        std::vector<std::string> arguments;
        std::string notRun;
    } cases[] = {
        // A value that begins with "/" goes with its option.
        {{"/ver", "/info", "/dump", dumpFile},
         "cardload: '/dump " + dumpFile + "' was not run: '/info' ends the run.\n"},
        // The settings were taken by the earlier passes.
        {{"/help", "/card", "4", "/flagcode", "0x3", "/diswcedlg", "/test"},
         "cardload: '/test' was not run: '/help' ends the run.\n"},
        {{"/uplraw", path("u.raw"), "2", "/ver", "/wince", path("w.bin"), "1", "2", "/types"},
         "cardload: '/ver' was not run: '/uplraw' ends the run.\n"
         "cardload: '/wince " +
             path("w.bin") +
             " 1 2' was not run: '/uplraw' ends the run.\n"
             "cardload: '/types' was not run: '/uplraw' ends the run.\n"},
        {{"/rom", path("missing.rom"), "/ver"},
         "cardload: '/ver' was not run: the run ended when '/rom' failed.\n"},
        {{"/ver", "/info"}, ""},
    };
    for (const auto& c : cases) {
        const ProgramRun result = run(c.arguments);
        EXPECT_EQ(NotRun(result.err), c.notRun) << c.arguments.front();
    }
    EXPECT_FALSE(kestra::platform::FileExists(dumpFile));
    EXPECT_EQ(run({"/ver", "/info", "/dump", dumpFile}).out.find("Boot version:"), 0u)
        << "what came before the end was run";
}

TEST_F(Cardload, InfoBeforeFormatShowsTheCardUnformattedAndStops) {
    ASSERT_EQ(run({"/format", "/rom", file("r.rom", "rom")}).exitCode, 0);
    EXPECT_EQ(run({"/info"}).out, kInfo4MB + "Formatted:    Yes\n");
    const ProgramRun result = run({"/info", "/format"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, kInfo4MB + "Formatted:    No\n");
    EXPECT_EQ(run({"/info"}).out, kInfo4MB + "Formatted:    No\n")
        << "the run stopped before /format acted";
    EXPECT_EQ(run({"/formatX", "/info"}).out, kInfo4MB + "Formatted:    Yes\n")
        << "options are prefixes";
}

TEST_F(Cardload, PortChoosesTheReader) {
    environment["KESTRA_SIM_PORT"] = "0x278";
    const ProgramRun found = run({"/port", "632", "/info"});
    EXPECT_EQ(found.exitCode, 0);
    EXPECT_EQ(found.out, kInfo4MB + "Formatted:    No\n");
    const ProgramRun missing = run({"/info"});
    EXPECT_EQ(missing.exitCode, 4117 & 0xFF);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "SSFDC card: There is no SSFDC card in the reader.\n");
}

TEST_F(Cardload, WindowsCeDownloadsAndTheirMissingValues) {
    const std::string image = std::string(30000, 'w');
    ProgramRun result = run({"/wince", file("img.bin", image), "1", "2"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(Has(contents(), "WinCE Image generic name")) << contents();
    ASSERT_EQ(run({"/uplwince", path("back.bin"), "1", "2"}).exitCode, 0);
    EXPECT_EQ(folder.read("back.bin"), image);

    result = run({"/wince", path("img.bin"), "1"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "cardload: Parameter of the '1' option missing.\n");
    EXPECT_EQ(result.out, kUsage);
    result = run({"/boot"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "cardload: Parameter of the '/boot' option missing.\n");

    // A name, and an option after the subtype that is acted on rather than taken as a name.
    EXPECT_EQ(run({"/wince", path("img.bin"), "3", "4", "Panel image"}).exitCode, 0);
    result = run({"/wince", path("img.bin"), "5", "6", "/ver"});
    EXPECT_TRUE(Has(result.out, "Boot version:         not on card\n")) << result.out;
    const std::string listing = contents();
    EXPECT_TRUE(Has(listing, "Panel image")) << listing;
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 10 + 3 + 1) << listing;

    result = run({"/wince", path("img.bin"), "4", "1"});
    EXPECT_EQ(result.exitCode, 4122 & 0xFF);
    EXPECT_TRUE(Has(result.err, "File type 4 is kept for the card's own files")) << result.err;
}

TEST_F(Cardload, DelfontWithAnyOtherTextDeletesEveryFont) {
    const std::string base = path("font");
    for (const char* kind : {"-l.rom", "-d.rom", "-xl.rom"}) file(std::string("font") + kind, kind);
    ASSERT_EQ(run({"/font", base}).exitCode, 0);
    ProgramRun result = run({"/delfont", "d"});
    EXPECT_EQ(result.err, "SSFDC card: Delete the d font from the SSFDC card?\n");
    EXPECT_FALSE(Has(contents(), "font d "));
    EXPECT_TRUE(Has(contents(), "font xl "));
    result = run({"/delfont", "x"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "SSFDC card: Delete all fonts from the SSFDC card?\n");
    EXPECT_FALSE(Has(contents(), "font "));

    ASSERT_EQ(run({"/font", base}).exitCode, 0);
    result = run({"/delfont"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(Has(contents(), "font "));
}

TEST_F(Cardload, RomDeletesTheFontsUnlessFontsCameFirst) {
    const std::string base = path("font");
    for (const char* kind : {"-l.rom", "-d.rom", "-xl.rom"}) file(std::string("font") + kind, kind);
    const std::string rom = file("panel.rom", std::string(20000, 'r'));
    ASSERT_EQ(run({"/font", base, "/rom", rom}).exitCode, 0);
    std::string listing = contents();
    EXPECT_TRUE(Has(listing, "font l ") && Has(listing, "font d ") && Has(listing, "font xl "));
    EXPECT_TRUE(Has(listing, "ROM file "));
    const ProgramRun result = run({"/rom", rom});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err.find("Delete"), std::string::npos) << "no confirmation";
    listing = contents();
    EXPECT_FALSE(Has(listing, "font ")) << listing;
    EXPECT_TRUE(Has(listing, "ROM file "));
}

TEST_F(Cardload, FontFilesThatAreMissingOrEmpty) {
    file("f-l.rom", "large");
    file("f-xl.rom", "");
    const ProgramRun result = run({"/font", path("f"), "/ver"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "SSFDC card: The file '" + path("f-xl.rom") +
                              "' is empty; nothing was written to the card.\n");
    EXPECT_TRUE(Has(result.out, "Boot version:")) << "the run goes on";
    const std::string listing = contents();
    EXPECT_TRUE(Has(listing, "font l "));
    EXPECT_FALSE(Has(listing, "font d ") || Has(listing, "font xl "));
}

TEST_F(Cardload, DumpGoesToItsFileOrElseToStandardOutput) {
    ProgramRun result = run({"/dump"});
    EXPECT_EQ(result.err, "cardload: Missing name of the file for the '-dump' command.\n");
    result = run({"/dump", path("d.html")});
    EXPECT_EQ(result.err,
              "cardload: The SSFDC card is not formatted. Can not dump the contents.\n");
    ASSERT_EQ(run({"/firm", file("firm.bin", "KVER:4.1<b>\n")}).exitCode, 0);

    result = run({"/dump", "/no/such/folder/dump.html"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err,
              "cardload: /no/such/folder/dump.html cannot be written: No such file or directory; "
              "the dump follows on standard output\n");
    EXPECT_EQ(result.out.substr(0, kInfo4MB.size() + 18), kInfo4MB + "Formatted:    Yes\n");
    EXPECT_TRUE(Has(result.out, "Card contents:\n"));
    EXPECT_TRUE(Has(result.out, "4.1<b>"));
    EXPECT_FALSE(Has(result.out, "<table"));

    result = run({"/dump", path("d.html")});
    EXPECT_EQ(result.out, "");
    const std::string html = folder.read("d.html");
    EXPECT_EQ(html.substr(0, kInfo4MB.size()), kInfo4MB);
    EXPECT_TRUE(Has(html, "<table border=\"1\">"));
    EXPECT_TRUE(Has(html, "<td>4.1&lt;b&gt;</td>")) << html;
}

TEST_F(Cardload, TypesVersionsAndInformationInTheirOrder) {
    ASSERT_EQ(run({"/mips", file("mips.bin", "MIPS KVER:2.0 beta\n")}).exitCode, 0);
    const ProgramRun result = run({"/types", "/ver", "/info"});
    EXPECT_EQ(result.exitCode, 0);
    const auto types = result.out.find("Supported SSFDC card types:\n");
    const auto versions = result.out.find(
        "Boot version:         not on card\n"
        "Firmware version:     not on card\n"
        "MIPS code version:    2.0 beta\n"
        "MIPS service version: not on card\n");
    const auto info = result.out.find(kInfo4MB);
    ASSERT_NE(types, std::string::npos);
    ASSERT_NE(versions, std::string::npos) << result.out;
    ASSERT_NE(info, std::string::npos);
    EXPECT_LT(types, versions);
    EXPECT_LT(versions, info);
    EXPECT_TRUE(Has(result.out, "0x73    16   1024    32       528 yes         SmartMedia"))
        << result.out;
    EXPECT_TRUE(Has(result.out, "0x6E     1    256    16       264 raw only    SmartMedia"))
        << result.out;
}

TEST_F(Cardload, UnknownOptionShowsItsMessageAndTheUsage) {
    const ProgramRun result = run({"/bogus", "/format"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err,
              "cardload: Unknown command '/bogus' is found.\n\n"
              "cardload: '/format' was not run: the run ended at '/bogus'.\n");
    EXPECT_EQ(result.out, kUsage);
}

TEST_F(Cardload, CodeFilesGoBothWaysAndFailuresBecomeExitCodes) {
    const std::string firmware = "firmware KVER:7.3\n" + std::string(50000, 'f');
    ASSERT_EQ(run({"/firm", file("firm.bin", firmware)}).exitCode, 0);
    ASSERT_EQ(run({"/uplfirm", path("firm.out")}).exitCode, 0);
    EXPECT_EQ(folder.read("firm.out"), firmware);
    EXPECT_TRUE(Has(run({"/ver"}).out, "Firmware version:     7.3\n"));

    ProgramRun result = run({"/boot", path("missing.bin")});
    EXPECT_EQ(result.exitCode, 4113 & 0xFF);
    EXPECT_EQ(result.err, "SSFDC card: The file '" + path("missing.bin") + "' was not found.\n");
    result = run({"/uplboot", path("boot.out")});
    EXPECT_EQ(result.exitCode, 4113 & 0xFF);
    EXPECT_FALSE(kestra::platform::FileExists(path("boot.out")));

    result = run({"/delfirm", "ignored", "/ver"});
    EXPECT_EQ(result.err,
              "SSFDC card: Delete the firmware file from the SSFDC card?\n"
              "cardload: '/ver' was not run: '/delfirm' ends the run.\n");
    EXPECT_EQ(result.out, "") << "the run stopped";
    EXPECT_TRUE(Has(run({"/ver"}).out, "Firmware version:     not on card\n"));

    ASSERT_EQ(run({"/unformat"}).exitCode, 0);
    result = run({"/uplrom", path("r.out")});
    EXPECT_EQ(result.err, "cardload: The SSFDC card is not formatted. Can not upload ROM file.\n");
    EXPECT_EQ(run({"/ver"}).exitCode, 4112 & 0xFF);
}

TEST_F(Cardload, RawImagesMoveWholeCards) {
    ASSERT_EQ(run({"/rom", file("panel.rom", std::string(40000, 'p'))}).exitCode, 0);
    ASSERT_EQ(run({"/uplraw", path("card.raw")}).exitCode, 0);
    EXPECT_EQ(folder.read("card.raw").size(), 512u * 16 * 528);
    ASSERT_EQ(run({"/uplraw", path("part.raw"), "3"}).exitCode, 0);
    EXPECT_EQ(folder.read("part.raw").size(), 3u * 16 * 528);

    environment["KESTRA_SIM_CARD"] = path("other.img");
    EXPECT_EQ(run({"/info"}).out, kInfo4MB + "Formatted:    No\n");
    const ProgramRun result = run({"/raw", path("card.raw")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    ASSERT_EQ(run({"/uplrom", path("rom.out")}).exitCode, 0);
    EXPECT_EQ(folder.read("rom.out"), std::string(40000, 'p'));
    EXPECT_EQ(run({"/raw"}).exitCode, 4113 & 0xFF) << "no file: an empty name";
}

TEST_F(Cardload, DriverPathEndToEnd) {
    environment["KESTRA_CARD_READER"] = "sim-driver";
    const std::string firmware = "KVER:9\n" + std::string(30000, 'd');
    ProgramRun result = run({"/format", "/firm", file("firm.bin", firmware)});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_EQ(run({"/uplfirm", path("firm.out")}).exitCode, 0);
    EXPECT_EQ(folder.read("firm.out"), firmware);
    environment["KESTRA_CARD_READER"] = "sim";
    EXPECT_TRUE(Has(run({"/ver"}).out, "Firmware version:     9\n"))
        << "the same card through the ports";
}

TEST_F(Cardload, PlaceholderTestModeAndValuesConsumedByEarlierPasses) {
    ASSERT_EQ(run({"/format"}).exitCode, 0);
    ProgramRun result = run({"/wcefs", "5", "40", "1", "/ver"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(Has(result.out, "Boot version:")) << "three numbers taken, then the next option";
    EXPECT_TRUE(Has(contents(), "  40       1 Windows CE file system")) << contents();
    result = run({"/wcefs"});
    EXPECT_TRUE(Has(contents(), "  32       0 Windows CE file system")) << contents();

    result = run({"/card", "4", "/diswcedlg", "/flagcode", "3", "/test"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(Has(result.out, "Card test: every page of 512 blocks read.\n")) << result.out;
    result = run({"/pathcode"});
    EXPECT_EQ(result.err, "cardload: Parameter of the '/pathcode' option missing.\n");
    EXPECT_EQ(result.exitCode, 0);
}

TEST_F(Cardload, CodeDialogWithoutADisplayChoosesNothing) {
    ASSERT_EQ(run({"/format"}).exitCode, 0);
    file("firm1.bin", "KVER:1");
    const ProgramRun result = run({"/pathcode", folder.path(), "/code", "/ver"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(
        result.err,
        "K32CodeSel: The code selection dialog needs a display; no code files were chosen.\n");
    EXPECT_TRUE(Has(result.out, "Boot version:         not on card\n"));
}

TEST_F(Cardload, BrokenCardHeaderIsRemovedBeforeTheActions) {
    ASSERT_EQ(run({"/format"}).exitCode, 0);
    {
        // Damage the directory: a flipped bit in each half of its first page is corrected,
        // two in one half are not.
        auto card = kestra::platform::SimCard::Open(path("card.img"));
        for (DWORD row = 0; row < card->geometry().pages(); row += 16) {
            auto page = card->page(row);
            const auto label =
                kestra::card::ReadLabel(std::span<const std::uint8_t, 528>(page.data(), 528));
            if (label.zoneAddress == 0u && label.dataValid) {
                page[40] ^= 1;
                page[41] ^= 1;
            }
        }
        card->flush();
    }
    const ProgramRun result = run({"/info"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, kInfo4MB + "Formatted:    No\n");
    EXPECT_EQ(run({"/format", "/info"}).out, kInfo4MB + "Formatted:    Yes\n");
}

namespace {

namespace fs = std::filesystem;

unsigned Mode(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0xFFFFu;
}

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A character device node in the test's folder (null 1,3 or full 1,7), where the system
// lets the test make one and open it.
bool MakeDevice(const std::string& path, unsigned minor) {
    if (::mknod(path.c_str(), S_IFCHR | 0600, makedev(1, minor)) != 0) return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace

TEST_F(Cardload, UploadsWriteTheFileALinkNamesKeepItsModeAndRefuseReadOnlyFiles) {
    const std::string rom(20000, 'r');
    ASSERT_EQ(run({"/rom", file("panel.rom", rom)}).exitCode, 0);
    const std::string real = file("kept/real.rom", "old");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    fs::create_symlink("kept/real.rom", path("link.rom"));
    fs::create_symlink(path("link.rom"), path("link2.rom"));
    ProgramRun result = run({"/uplrom", path("link2.rom")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(fs::is_symlink(path("link.rom")));
    EXPECT_TRUE(fs::is_symlink(path("link2.rom")));
    EXPECT_EQ(folder.read("kept/real.rom"), rom);
    EXPECT_EQ(Mode(real), 0640u);

    fs::create_symlink("kept/dump.html", path("dump.html"));
    ASSERT_EQ(run({"/dump", path("dump.html")}).exitCode, 0);
    EXPECT_TRUE(fs::is_symlink(path("dump.html")));
    EXPECT_TRUE(Has(folder.read("kept/dump.html"), "<table border=\"1\">"));
    EXPECT_EQ(Entries(folder.file("kept")), (std::set<std::string>{"real.rom", "dump.html"}))
        << "no temporary file is left";

    const std::string locked = file("locked.rom", "keep");
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    result = run({"/uplrom", locked});
    EXPECT_EQ(result.exitCode, 4121 & 0xFF);
    EXPECT_EQ(result.err,
              "SSFDC card: The file '" + locked + "' cannot be written: the file is read-only.\n");
    EXPECT_EQ(folder.read("locked.rom"), "keep");
    result = run({"/uplrom", path("no/such/folder/r.rom")});
    EXPECT_EQ(result.exitCode, 4121 & 0xFF);
    EXPECT_EQ(result.err, "SSFDC card: The file '" + path("no/such/folder/r.rom") +
                              "' cannot be written: No such file or directory.\n");
}

TEST_F(Cardload, UploadsToPipesAndDevicesWriteThemInPlace) {
    const std::string rom(20000, 'r');
    ASSERT_EQ(run({"/rom", file("panel.rom", rom)}).exitCode, 0);
    // A link to a pipe, as /dev/stdout is when the output goes into a pipe.
    const std::string fifo = path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink("pipe", path("stdout"));
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ProgramRun result = run({"/uplrom", path("stdout")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::string received;
    char buffer[4096];
    for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;)
        received.append(buffer, static_cast<std::size_t>(n));
    ::close(reader);
    EXPECT_EQ(received, rom);
    EXPECT_TRUE(fs::is_symlink(path("stdout")));
    EXPECT_TRUE(fs::is_fifo(fifo));

    if (!MakeDevice(path("null"), 3) || !MakeDevice(path("full"), 7))
        GTEST_SKIP() << "device nodes cannot be made or opened here";
    result = run({"/uplrom", path("null")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(fs::is_character_file(path("null")));
    result = run({"/uplrom", path("full")});
    EXPECT_EQ(result.exitCode, 4121 & 0xFF);
    EXPECT_EQ(result.err, "SSFDC card: The file '" + path("full") +
                              "' cannot be written: No space left on device.\n");
    EXPECT_TRUE(fs::is_character_file(path("full")));
}

TEST_F(Cardload, FilesThatAreNotRegularAreReadToTheirEnd) {
    const std::string rom(30000, 'q');
    const ProgramRun result = RunProgram("cardload", {"/rom", "/dev/stdin"}, environment, rom);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    ASSERT_EQ(run({"/uplrom", path("back.rom")}).exitCode, 0);
    EXPECT_EQ(folder.read("back.rom"), rom);
}

TEST_F(Cardload, ARomFileThatCannotBeSentKeepsTheFonts) {
    for (const char* kind : {"-l.rom", "-d.rom", "-xl.rom"}) file(std::string("font") + kind, kind);
    ASSERT_EQ(run({"/font", path("font")}).exitCode, 0);
    ProgramRun result = run({"/rom", path("missing.rom")});
    EXPECT_EQ(result.exitCode, 4113 & 0xFF);
    EXPECT_EQ(result.err, "SSFDC card: The file '" + path("missing.rom") + "' was not found.\n");
    result = run({"/rom", file("empty.rom", "")});
    EXPECT_EQ(result.exitCode, 4115 & 0xFF);
    const std::string listing = contents();
    EXPECT_TRUE(Has(listing, "font l ") && Has(listing, "font d ") && Has(listing, "font xl "))
        << listing;
    EXPECT_FALSE(Has(listing, "ROM file "));
}

TEST_F(Cardload, RawImagesThatDoNotFitTheCardAreRefusedBeforeItIsTouched) {
    ASSERT_EQ(run({"/rom", file("panel.rom", std::string(20000, 'p'))}).exitCode, 0);
    const std::string before = folder.read("card.img");
    const std::string part = file("part.raw", std::string(3 * 16 * 528, '\xFF'));
    ProgramRun result = run({"/raw", part});
    EXPECT_EQ(result.exitCode, 4122 & 0xFF);
    EXPECT_EQ(result.err, "SSFDC card: The file '" + part +
                              "' is not an image of this card (512 blocks of 8448 bytes, 4325376 "
                              "bytes in all): it has 25344 bytes. Nothing was written to the "
                              "card.\n");
    for (const char* blocks : {"0", "4", "513"})
        EXPECT_EQ(run({"/raw", part, blocks}).exitCode, 4122 & 0xFF) << blocks;
    result = run({"/raw", file("big.raw", std::string(513 * 16 * 528, '\xFF')), "1"});
    EXPECT_EQ(result.exitCode, 4122 & 0xFF);
    EXPECT_TRUE(Has(result.err, "it is larger than the card")) << result.err;
    EXPECT_EQ(folder.read("card.img"), before) << "the card was not touched";

    // With a block count, a part of a card's image goes to the first blocks.
    ASSERT_EQ(run({"/uplraw", path("first.raw"), "2"}).exitCode, 0);
    result = run({"/raw", path("first.raw"), "2"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(folder.read("card.img"), before);
}

TEST_F(Cardload, WindowsCeFileSystemOfNoBlocksIsOutOfRange) {
    ASSERT_EQ(run({"/format"}).exitCode, 0);
    ProgramRun result = run({"/wcefs", "0", "40", "0"});
    EXPECT_EQ(result.exitCode, 4122 & 0xFF);
    EXPECT_EQ(result.err,
              "SSFDC card: A Windows CE file system needs at least one block; 0 is out of "
              "range.\n");
    EXPECT_EQ(run({"/wcefs", "-2"}).exitCode, 4122 & 0xFF);
    EXPECT_FALSE(Has(contents(), "Windows CE file system"));
    EXPECT_EQ(run({"/wcefs", "-1", "40"}).exitCode, 0) << "-1: every free block";
    EXPECT_TRUE(Has(contents(), "  40       0 Windows CE file system")) << contents();
}

TEST_F(Cardload, ReadOnlyAndUnusableCardImagesAreReportedOnceWithTheirCause) {
    const std::string rom(20000, 'p');
    ASSERT_EQ(run({"/rom", file("panel.rom", rom)}).exitCode, 0);
    ASSERT_EQ(::chmod(path("card.img").c_str(), 0444), 0);
    const std::string before = folder.read("card.img");
    ProgramRun result = run({"/info"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, kInfo4MB + "Formatted:    Yes\n");
    EXPECT_EQ(result.err, "");
    ASSERT_EQ(run({"/uplrom", path("back.rom")}).exitCode, 0);
    EXPECT_EQ(folder.read("back.rom"), rom);
    result = run({"/rom", path("panel.rom")});
    EXPECT_EQ(result.exitCode, 4123 & 0xFF);
    EXPECT_EQ(result.err, "SSFDC card: The card image '" + path("card.img") +
                              "' is read-only: the card can be read but not changed.\n");
    EXPECT_EQ(folder.read("card.img"), before);

    environment["KESTRA_SIM_CARD"] = file("garbage.img", "garbage");
    result = run({"/info"});
    EXPECT_EQ(result.exitCode, 4123 & 0xFF);
    EXPECT_EQ(result.err, "SSFDC card: The simulated card cannot be used: " + path("garbage.img") +
                              " is not a card image (image offset 0: card image header needs 64 "
                              "bytes, 7 remain).\n");
    fs::create_directories(path("folder.img"));
    environment["KESTRA_SIM_CARD"] = path("folder.img");
    result = run({"/info"});
    EXPECT_EQ(result.exitCode, 4123 & 0xFF);
    EXPECT_EQ(result.err,
              "SSFDC card: The simulated card cannot be used: cannot open the card image " +
                  path("folder.img") + ": Is a directory.\n");
}

TEST_F(Cardload, MessagesNameCardFilesByTheirKind) {
    ASSERT_EQ(run({"/format"}).exitCode, 0);
    ProgramRun result = run({"/uplrom", path("r.out")});
    EXPECT_EQ(result.exitCode, 4113 & 0xFF);
    EXPECT_EQ(result.err, "SSFDC card: There is no ROM file on the card.\n");
    EXPECT_EQ(run({"/uplfirm", path("f.out")}).err,
              "SSFDC card: There is no firmware on the card.\n");
    EXPECT_EQ(run({"/uplwince", path("w.out"), "40", "1"}).err,
              "SSFDC card: There is no Windows CE file of type 40, subtype 1 on the card.\n");
}

TEST_F(Cardload, QuestionsOnATerminalStartOnALineOfTheirOwn) {
    const std::string image(30000, 'w');
    const ProgramRun result = kestra::testing::RunInTerminal(
        "cardload", {"/wince", file("img.bin", image), "41", "2"}, environment, "Typed\n\n\n");
    EXPECT_EQ(result.exitCode, 0) << result.out;
    const auto question = result.out.find("Windows CE file name [WinCE Image generic name]: ");
    ASSERT_NE(question, std::string::npos) << result.out;
    ASSERT_GT(question, 0u);
    EXPECT_EQ(result.out[question - 1], '\n') << result.out;
    EXPECT_TRUE(Has(result.out, "Formatting the card: 100%")) << result.out;
    EXPECT_TRUE(Has(contents(), "Typed")) << contents();
}
