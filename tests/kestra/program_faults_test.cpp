// Faults from outside, met by the built programs: two programs on one card, a full disk under
// the card's image, standard output that cannot be written, output names at the folder's
// limit, signals in the middle of a write, card names at the card's limit, card images that
// cannot be used, and few files that a print may open.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "card_service/card_file_system.h"
#include "card_service/image_page_device.h"
#include "devices/sim_card.h"
#include "kestra_program.h"
#include "support/program_process.h"
#include "support/small_disk.h"

namespace {

namespace fs = std::filesystem;
using kestra::testing::KestraProgram;
using kestra::testing::ProgramProcess;
using kestra::testing::ProgramRun;
using kestra::testing::RunProgram;

// The names of the card's files, each read back and checked against the checksum written with
// it (an assertion fails for any that is not whole, and for blocks the card lost).
std::vector<std::string> WholeFilesOfCard(const std::string& image) {
    kestra::card::ImagePageDevice device = kestra::card::ImagePageDevice::Load(image);
    kestra::card::CardFileSystem system(device);
    EXPECT_EQ(system.mount(), kestra::card::MountState::Formatted);
    std::vector<std::string> names;
    for (const kestra::card::CardFile& file : system.files()) {
        EXPECT_NO_THROW(system.load(file.key, "checking")) << file.name;
        names.push_back(file.name);
    }
    EXPECT_EQ(system.usage().badBlocks, 0u) << "blocks marked bad for good";
    std::sort(names.begin(), names.end());
    return names;
}

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class KestraFaults : public KestraProgram {
  protected:
    ProgramProcess::Options options(std::optional<std::string> holdAt = std::nullopt) {
        ProgramProcess::Options o;
        o.environment = environment;
        o.holdAt = std::move(holdAt);
        return o;
    }
    std::string fontBase() const { return kestra::platform::ProgramFolder() + "/samples/Sample"; }
    // Where the card's logical image shows what a standard reader finds on the card.
    void expectStandardReaderListsCard(const std::vector<std::string>& names) {
        const ProgramRun logical =
            RunProgram("smlogical", {folder.file("card.img"), folder.file("logical.img")}, {});
        ASSERT_EQ(logical.exitCode, 0) << logical.err;
        const ProgramRun list = kestra(
            {"card", "list"}, {{"KESTRA_CARD_READER", "blockdev:" + folder.file("logical.img")}});
        ASSERT_EQ(list.exitCode, 0) << list.err;
        for (const std::string& name : names)
            EXPECT_NE(list.out.find(name), std::string::npos) << name << "\n" << list.out;
    }
};

const std::vector<std::string> kFonts = {"Sample-d.rom", "Sample-l.rom", "Sample-xl.rom"};

// What a command of poppler-utils says of a PDF file.
std::string PdfTool(const std::string& tool, const std::string& pdf) {
    std::string out;
    if (FILE* pipe = popen((tool + " '" + pdf + "' 2>&1").c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

// The fonts a PDF uses, by name without the tag of their subset ("ABCDEF+").
std::set<std::string> PdfFonts(const std::string& pdf) {
    std::set<std::string> fonts;
    std::istringstream lines(PdfTool("pdffonts", pdf));
    std::string line;
    for (int row = 0; std::getline(lines, line); ++row) {
        if (row < 2 || line.empty()) continue;  // the heading and its rule
        std::string name = line.substr(0, line.find(' '));
        if (name.size() > 7 && name[6] == '+') name = name.substr(7);
        fonts.insert(name);
    }
    return fonts;
}

std::string PdfPages(const std::string& pdf) {
    const std::string info = PdfTool("pdfinfo", pdf);
    const std::size_t at = info.find("Pages:");
    return at == std::string::npos ? "" : info.substr(at, info.find('\n', at) - at);
}

}  // namespace

TEST_F(KestraFaults, TwoProgramsOnOneCardTakeTurnsOrTheSecondIsToldWhoHasIt) {
    struct Case {
        const char* what;
        bool prepared;  // a formatted card with old.kpr on it
        std::string firstProgram, holdAt;
        std::vector<std::string> first;
        std::string secondProgram;
        std::vector<std::string> second;
        bool secondWaits;
        int secondExit;
        std::string told;  // what the second says of the first
        std::vector<std::string> files;
    };
    const std::string send = "kestra", load = "cardload";
    const std::vector<Case> cases = {
        {"two sends",
         false,
         send,
         "card-directory",
         {"card", "send", sample, "--name", "first.kpr"},
         send,
         {"card", "send", sample, "--name", "second.kpr"},
         false,
         15,
         "kestra: card send: The SSFDC card is in use by kestra (process PID). Give --wait to "
         "wait until it is free. (card error 4124)\n",
         {"first.kpr"}},
        {"two sends, the second waiting",
         false,
         send,
         "card-directory",
         {"card", "send", sample, "--name", "first.kpr"},
         send,
         {"card", "send", sample, "--name", "second.kpr", "--wait"},
         true,
         0,
         "kestra: the card is in use by kestra (process PID); waiting for it\n",
         {"second.kpr"}},
        {"a font load beside a send",
         false,
         send,
         "card-directory",
         {"card", "send", sample, "--name", "first.kpr"},
         load,
         {"/font", fontBase()},
         false,
         28,
         "The SSFDC card is in use by kestra (process PID). Give /wait to wait until it is free.",
         {"first.kpr"}},
        {"a send beside a font load",
         false,
         load,
         "card-directory",
         {"/font", fontBase()},
         send,
         {"card", "send", sample, "--name", "second.kpr"},
         false,
         15,
         "The SSFDC card is in use by cardload (process PID).",
         kFonts},
        {"a font load waiting for a send",
         false,
         send,
         "card-directory",
         {"card", "send", sample, "--name", "first.kpr"},
         load,
         {"/wait", "/font", fontBase()},
         true,
         0,
         "cardload: the card is in use by kestra (process PID); waiting for it\n",
         {"Sample-d.rom", "Sample-l.rom", "Sample-xl.rom", "first.kpr"}},
        {"two listings",
         true,
         send,
         "card-locked",
         {"card", "list"},
         send,
         {"card", "list"},
         false,
         0,
         "",
         {"old.kpr"}},
        {"a send beside a listing",
         true,
         send,
         "card-locked",
         {"card", "list"},
         send,
         {"card", "send", sample, "--name", "second.kpr"},
         false,
         15,
         "The SSFDC card is in use by kestra (process PID).",
         {"old.kpr"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(folder.file("card.img"));
        if (c.prepared)
            ASSERT_EQ(kestra({"card", "send", sample, "--name", "old.kpr"}).exitCode, 0);

        ProgramProcess first(c.firstProgram, c.first, options(c.holdAt));
        ASSERT_TRUE(first.reachedHold()) << first.wait().err;
        const std::string told =
            std::regex_replace(c.told, std::regex("PID"), std::to_string(first.pid()));
        ProgramRun second;
        if (c.secondWaits) {
            ProgramProcess waiting(c.secondProgram, c.second, options());
            ASSERT_TRUE(waiting.awaitError(told)) << waiting.wait().err;
            first.release();
            second = waiting.wait();
        } else {
            second = RunProgram(c.secondProgram, c.second, environment);
        }
        EXPECT_EQ(second.exitCode, c.secondExit) << second.err;
        EXPECT_NE(second.err.find(told), std::string::npos) << second.err;
        const ProgramRun firstRun = first.wait();
        EXPECT_EQ(firstRun.exitCode, 0) << firstRun.err;
        EXPECT_EQ(WholeFilesOfCard(folder.file("card.img")), c.files);
        expectStandardReaderListsCard(c.files);
    }
}

TEST_F(KestraFaults, ACardImageOnAFullDiskIsRefusedAndNeverMapped) {
    const std::string disk = folder.file("disk");
    fs::create_directories(disk);
    KESTRA_ON_SMALL_DISK(disk, 8 * 1024 * 1024, [&] {
        // A 16 MB card has no room: refused, and nothing of it is left.
        environment["KESTRA_SIM_CARD"] = disk + "/card.img";
        ProgramRun run = kestra({"card", "send", sample});
        EXPECT_EQ(run.exitCode, 16) << run.err;
        EXPECT_NE(run.err.find("The simulated card cannot be used: cannot make the card image " +
                               disk + "/card.img: No space left on device. (card error 4123)"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(cardload({"/format"}).exitCode, 4123 & 0xFF);
        EXPECT_TRUE(Entries(disk).empty());

        // The image an earlier program left half made: its header, the rest without room.
        const auto geometry = *kestra::platform::SimCardGeometry::ForDeviceCode(0x73);
        const auto header = kestra::platform::MakeSimCardHeader(geometry, {});
        {
            std::ofstream sparse(disk + "/card.img", std::ios::binary);
            sparse.write(reinterpret_cast<const char*>(header.data()),
                         static_cast<std::streamsize>(header.size()));
        }
        fs::resize_file(disk + "/card.img", header.size() + geometry.bytes());
        run = kestra({"card", "list"});
        EXPECT_EQ(run.exitCode, 16) << "not ended by SIGBUS\n" << run.err;
        EXPECT_NE(run.err.find("no room on the disk for the whole card image"), std::string::npos)
            << run.err;
        EXPECT_EQ(cardload({"/info"}).exitCode, 4123 & 0xFF);
        fs::remove(disk + "/card.img");

        // A 4 MB card fits.
        environment["KESTRA_SIM_CARD_TYPE"] = "0xE5";
        run = kestra({"card", "send", sample});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(WholeFilesOfCard(disk + "/card.img"), std::vector<std::string>{"sample.kpr"});
    });
}

TEST_F(KestraFaults, CardsThatCannotBeUsedHaveTheirOwnExitCodes) {
    ASSERT_EQ(kestra({"card", "send", sample, "--name", "old.kpr"}).exitCode, 0);
    const std::string card = bytes(folder.file("card.img"));
    struct Case {
        const char* what;
        std::string image;  // the card image's contents
        bool readOnly;
        std::vector<std::string> arguments;
        int exitCode;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"no card image", "junk", false, {"card", "list"}, 16, "is not a card image"},
        {"a truncated image",
         card.substr(0, card.size() / 2),
         false,
         {"card", "list"},
         16,
         "card image size that does not match its geometry). (card error 4123)"},
        {"a read-only image, changed",
         card,
         true,
         {"card", "send", sample},
         16,
         "is read-only: the card can be read but not changed. (card error 4123)"},
        {"a read-only image, listed", card, true, {"card", "list"}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = folder.file("case.img");
        if (fs::exists(path)) fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
        folder.write("case.img", c.image);
        if (c.readOnly) fs::permissions(path, fs::perms::all, fs::perm_options::remove);
        fs::permissions(path, c.readOnly ? fs::perms::owner_read : fs::perms::owner_all,
                        fs::perm_options::add);
        const ProgramRun run = kestra(c.arguments, {{"KESTRA_SIM_CARD", path}});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_EQ(kestra({"card", "list"}, {{"KESTRA_SIM_CARD", "none"}}).exitCode, 11);
}

TEST_F(KestraFaults, StandardOutputThatCannotBeWrittenIsAFailure) {
    ASSERT_EQ(kestra({"card", "send", sample}).exitCode, 0);
    struct Case {
        std::string program;
        std::vector<std::string> arguments;
        int exitCode;
    };
    // Large reports fail as they are written, short ones when the program ends.
    const std::vector<Case> cases = {
        {"kestra", {"export", sample}, 10},
        {"kestra", {"info", sample}, 10},
        {"kestra", {"print", sample, "--text"}, 10},
        {"kestra", {"check", sample}, 10},
        {"kestra", {"card", "list"}, 10},
        {"kestra", {"--help"}, 10},
        {"cardload", {"/types"}, 4121 & 0xFF},
        {"cardload", {"/info"}, 4121 & 0xFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + " " + c.arguments[0]);
        ProgramProcess::Options full = options();
        full.output = "/dev/full";
        ProgramProcess program(c.program, c.arguments, full);
        const ProgramRun run = program.wait();
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.program + ": standard output: cannot be written"),
                  std::string::npos)
            << run.err;
    }
}

TEST_F(KestraFaults, OutputNamesUpToTheFoldersLimitAreWritten) {
    fs::create_directories(folder.file("out"));
    for (std::size_t length : {241, 242, 250, 255}) {
        SCOPED_TRACE(length);
        const std::string json = std::string(length - 5, 'j') + ".json";
        const std::string project = std::string(length - 4, 'p') + ".kpr";
        ProgramRun run = kestra({"export", sample, "-o", folder.file("out/" + json)});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        run = kestra({"import", folder.file("out/" + json), "-o", folder.file("out/" + project)});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(Entries(folder.file("out")), (std::set<std::string>{json, project}));
        fs::remove_all(folder.file("out"));
        fs::create_directories(folder.file("out"));
    }
}

TEST_F(KestraFaults, AnImportEndedBySignalOrFileSizeLimitLeavesTheOldFileAlone) {
    const std::string json = folder.file("sample.json");
    ASSERT_EQ(kestra({"export", sample, "-o", json}).exitCode, 0);
    fs::create_directories(folder.file("out"));
    const std::string out = folder.write("out/out.kpr", "the old project");
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(number));
        ProgramProcess import("kestra", {"import", json, "-o", out}, options("file-commit"));
        ASSERT_TRUE(import.reachedHold()) << import.wait().err;
        EXPECT_EQ(Entries(folder.file("out")).size(), 2u) << "the new file has its temporary name";
        import.signal(number);
        EXPECT_EQ(import.wait().exitCode, 128 + number);
        EXPECT_EQ(folder.read("out/out.kpr"), "the old project");
        EXPECT_EQ(Entries(folder.file("out")), std::set<std::string>{"out.kpr"});
    }
    ProgramProcess::Options limited = options();
    limited.fileSizeLimit = rlimit{4096, 4096};
    ProgramProcess import("kestra", {"import", json, "-o", out}, limited);
    const ProgramRun run = import.wait();
    EXPECT_EQ(run.exitCode, 10) << run.err;
    EXPECT_NE(run.err.find(out + ": cannot be written: File too large"), std::string::npos)
        << run.err;
    EXPECT_EQ(folder.read("out/out.kpr"), "the old project");
    EXPECT_EQ(Entries(folder.file("out")), std::set<std::string>{"out.kpr"});
}

TEST_F(KestraFaults, CardNamesThatDoNotFitAreRefusedOrShortenedOnRequest) {
    const std::string umlauts = [] {
        std::string text;
        for (int i = 0; i < 20; ++i) text += "\xC3\xA4";  // 20 times U+00E4, 40 bytes
        return text;
    }();
    struct Case {
        std::string name;
        bool shorten;
        int exitCode;
        std::string stored;  // the name on the card, or the message when refused
    };
    const std::vector<Case> cases = {
        {std::string(39, 'n'), false, 0, std::string(39, 'n')},
        {std::string(40, 'n'), false, 2,
         "it is 40 bytes long; a name on the card holds at most 39 bytes of UTF-8 "
         "(--shorten-name shortens it)"},
        {std::string(40, 'n'), true, 0, std::string(39, 'n')},
        {umlauts, true, 0, umlauts.substr(0, 38)},  // whole characters only
        {"line\nbreak", true, 2,
         "\"line\\nbreak\" cannot be a file name on the card: it holds a "
         "control character (\\n)"},
        {"bad\xFF.kpr", false, 2, "it is not UTF-8 text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments = {"card", "send", sample, "--name", c.name};
        if (c.shorten) arguments.push_back("--shorten-name");
        const ProgramRun run = kestra(arguments);
        ASSERT_EQ(run.exitCode, c.exitCode) << run.err;
        if (c.exitCode != 0) {
            EXPECT_NE(run.err.find(c.stored), std::string::npos) << run.err;
            continue;
        }
        EXPECT_NE(run.out.find("as its project file \"" + c.stored + "\" and verified"),
                  std::string::npos)
            << run.out;
        EXPECT_EQ(WholeFilesOfCard(folder.file("card.img")), std::vector<std::string>{c.stored});
    }
    // A file's own name is held to the same rule.
    const std::string longName = folder.write(std::string(41, 'f') + ".kpr", bytes(sample));
    EXPECT_EQ(kestra({"card", "send", longName}).exitCode, 2);
    EXPECT_EQ(kestra({"card", "send", longName, "--shorten-name"}).exitCode, 0);
}

TEST_F(KestraFaults, APrintWithTooFewFilesIsRefusedRatherThanPrintedInOtherFonts) {
    const std::string expected = folder.file("expected.pdf");
    ASSERT_EQ(kestra({"print", sample, "--pdf", expected}).exitCode, 0);
    ASSERT_FALSE(PdfFonts(expected).empty()) << PdfTool("pdffonts", expected);
    ASSERT_NE(PdfPages(expected), "");
    // From 8: below, the sanitizers of the test build may find no file left for their own
    // checks (a check that cannot open its pipe reports memory it cannot read).
    for (rlim_t files : {8, 12, 40, 200}) {
        SCOPED_TRACE(files);
        const std::string pdf = folder.file("limited.pdf");
        ProgramProcess::Options limited = options();
        limited.openFilesLimit = rlimit{files, files};
        ProgramProcess print("kestra", {"print", sample, "--pdf", pdf}, limited);
        const ProgramRun run = print.wait();
        if (run.exitCode == 0) {
            EXPECT_EQ(PdfFonts(pdf), PdfFonts(expected));
            EXPECT_EQ(PdfPages(pdf), PdfPages(expected));
        } else {
            EXPECT_EQ(run.exitCode, 10) << run.err;
            EXPECT_NE(run.err.find(pdf + ": cannot be printed: the program may open only " +
                                   std::to_string(files) + " files (ulimit -n)"),
                      std::string::npos)
                << run.err;
            EXPECT_FALSE(fs::exists(pdf));
        }
        fs::remove(pdf);
    }
}
