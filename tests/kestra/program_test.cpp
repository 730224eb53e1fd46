// The built `kestra` program, run on projects made by the S5 sample editor and changed here,
// against a simulated card of each test's own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <numeric>
#include <regex>
#include <sstream>

#include "card_loader/run_program.h"
#include "kestra/project.h"
#include "kestra/project_json.h"
#include "kestra_program.h"
#include "platform/memory.h"
#include "platform/module.h"
#include "project_store/project_store.h"
#include "support/project_builder.h"
#include "support/temp_folder.h"
#include "utilities/services.h"

namespace {

using kestra::ProjectBlock;
using kestra::testing::KestraProgram;
using kestra::testing::ProgramRun;
using kestra::testing::RunProgram;
using kestra::testing::TempFolder;
namespace fs = std::filesystem;

constexpr std::size_t kRecordAt = 48;         // the project record in a project image
constexpr std::size_t kProjectCodeAt = 81;    // in the project record
constexpr std::size_t kTitleTimeAt = 28 + 4;  // the time of saving in a panel image
constexpr std::size_t kTitleTimeBytes = 6;

// --- the libraries in this process, as the editor binds them -------------------------------

struct Libraries {
    HMODULE driver = nullptr;
    decltype(&::SaveProject) driverSave = nullptr;

    Libraries() {
        SetAppFmalloc(&kestra::mem::HostAllocate);
        driver = LoadLibrary("K32PLC1");
        if (driver)
            driverSave =
                reinterpret_cast<decltype(&::SaveProject)>(GetProcAddress(driver, "SaveProject"));
    }
};

Libraries& Libs() {
    static Libraries libraries;
    return libraries;
}

HGLOBAL LoadImage(const std::string& image) {
    SetAppFmalloc(&kestra::mem::HostAllocate);
    HGLOBAL copy = GlobalAlloc(GHND, image.size());
    std::memcpy(GlobalLock(copy), image.data(), image.size());
    GlobalUnlock(copy);
    HGLOBAL project = GetProject(copy, 0);
    GlobalFree(copy);
    return project;
}

std::string Take(HGLOBAL block, DWORD size) {
    std::string bytes(static_cast<const char*>(GlobalLock(block)), size);
    GlobalUnlock(block);
    GlobalFree(block);
    return bytes;
}

std::string SaveImage(HGLOBAL project) {
    HGLOBAL image = 0;
    const DWORD size = SaveProject(project, 0, &image);
    return size ? Take(image, size) : std::string();
}

// The panel image the driver builds of a project image.
std::string DriverPanelImage(const std::string& projectImage) {
    HGLOBAL project = LoadImage(projectImage);
    if (!project || !Libs().driverSave) return {};
    HGLOBAL image = 0;
    const DWORD size = Libs().driverSave(project, 0, &image);
    return size ? Take(image, size) : std::string();
}

ProjectBlock& Block(HGLOBAL project) {
    return *reinterpret_cast<ProjectBlock*>(kestra::mem::Data(project));
}

// Compares two panel images that differ only in their time of saving: every other byte the
// same, and each image's checksums right for its own bytes.
void ExpectSamePanelImage(const std::string& expected, const std::string& actual) {
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(actual.size(), expected.size());
    const std::size_t padded = actual.size() * 256 / 257;
    for (std::size_t i = 0; i < padded; ++i) {
        if (i >= kTitleTimeAt && i < kTitleTimeAt + kTitleTimeBytes) continue;
        ASSERT_EQ(actual[i], expected[i]) << "byte " << i;
    }
    for (std::size_t block = 0; block * 256 < padded; ++block) {
        const auto sum =
            std::accumulate(actual.begin() + block * 256, actual.begin() + (block + 1) * 256, 0u,
                            [](unsigned s, char c) { return s + std::uint8_t(c); });
        EXPECT_EQ(std::uint8_t(actual[padded + block]), std::uint8_t(sum)) << "block " << block;
    }
}

TEST_F(KestraProgram, InfoShowsWhatTheProjectHoldsAndItsDriver) {
    const ProgramRun run = kestra({"info", sample});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* line :
         {"Format code:   0x22\n", "Title:         S5 sample\n", "Pages:         3\n",
          "  page 1: \"Page 1\", 7 fields, 0 child fields\n",
          "  page 3: \"Page 3\", 6 fields, 0 child fields\n",
          "Fields:        20 (and 0 child fields)\n", "Languages:     1\n", "Tags:          0\n",
          "Alarms:        3\n", "PLC type:      20, project code 1\n",
          "Driver:        Simatic S5 - Old (K32PLC1.so)\n"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
    EXPECT_NE(run.out.find("Image size:    " + std::to_string(bytes(sample).size()) + " bytes\n"),
              std::string::npos);
}

TEST_F(KestraProgram, BadInputFilesHaveTheirOwnExitCodesAndMessages) {
    const std::string image = bytes(sample);
    const std::string truncated = folder.write("truncated.kpr", image.substr(0, 1000));
    const std::string foreign = folder.write("foreign.kpr", "This is a text file.\n" + image);
    const std::string empty = folder.write("empty.kpr", "");
    fs::create_directories(folder.file("folder.kpr"));
    const std::string missing = folder.file("missing.kpr");
    for (const char* command : {"info", "check", "panel-image", "print"}) {
        std::vector<std::string> extra;
        if (std::string(command) == "panel-image") extra = {"-o", folder.file("out.img")};
        if (std::string(command) == "print") extra = {"--text"};
        auto run = [&](const std::string& file) {
            std::vector<std::string> arguments{command, file};
            arguments.insert(arguments.end(), extra.begin(), extra.end());
            return kestra(arguments);
        };
        ProgramRun r = run(missing);
        EXPECT_EQ(r.exitCode, 3) << command;
        EXPECT_EQ(r.err, "kestra: " + missing + ": no such file\n");
        r = run(folder.file("folder.kpr"));
        EXPECT_EQ(r.exitCode, 3) << command;
        EXPECT_NE(r.err.find("cannot be read"), std::string::npos) << r.err;
        for (const std::string& file : {foreign, empty}) {
            r = run(file);
            EXPECT_EQ(r.exitCode, 4) << command;
            EXPECT_EQ(r.err, "kestra: " + file +
                                 ": not a project image (no project descriptor at byte 44)\n");
        }
        r = run(truncated);
        EXPECT_EQ(r.exitCode, 5) << command;
        EXPECT_EQ(r.err, "kestra: " + truncated +
                             ": the project image is damaged (the library said: Exception in "
                             "geting project...)\n");
        EXPECT_FALSE(fs::exists(folder.file("out.img")));
    }
}

TEST_F(KestraProgram, CheckReportsSoundDamagedAndRepairedProjects) {
    ProgramRun run = kestra({"check", sample});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, sample + ": sound (3 pages, 20 fields)\n");

    // Two menu fields without width or height at the start of page 2.
    HGLOBAL project = LoadImage(bytes(sample));
    ASSERT_NE(project, 0u);
    ProjectBlock& p = Block(project);
    auto* pages = reinterpret_cast<kestra::PageRecord*>(
        kestra::mem::At(p.record.pages, 0, 3 * sizeof(kestra::PageRecord)));
    auto* fields = reinterpret_cast<kestra::FieldRecord*>(
        kestra::mem::At(pages[1].fields, 0, pages[1].fieldCount * sizeof(kestra::FieldRecord)));
    fields[0].fieldClass = 6;
    fields[0].width = 0;
    fields[1].fieldClass = 6;
    fields[1].height = 0;
    const std::string menus = folder.write("menus.kpr", SaveImage(project));

    run = kestra({"check", menus});
    EXPECT_EQ(run.exitCode, 0) << "without the repair the fields load as they are";
    run = kestra({"check", menus, "--repair-menu-fields"});
    EXPECT_EQ(run.exitCode, 6) << run.err;
    EXPECT_EQ(run.out, menus +
                           ": repaired: page 2: dropped 2 menu fields without width or "
                           "height\n");
    EXPECT_EQ(run.err, "kestra: " + menus +
                           ": loads only with repairs (1 repair); save it again to keep them\n");
    run = kestra({"check", menus, "--repair-menu-fields", "--option", "501"});
    EXPECT_EQ(run.exitCode, 6);

    const std::string truncated = folder.write("truncated.kpr", bytes(sample).substr(0, 3000));
    run = kestra({"check", truncated, "--repair-menu-fields"});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_NE(run.err.find("damaged"), std::string::npos);
}

TEST_F(KestraProgram, AProjectWithErrorsIsReportedAndRefusedUnlessForced) {
    HGLOBAL project = LoadImage(bytes(sample));
    ASSERT_NE(project, 0u);
    ProjectBlock& p = Block(project);
    auto* pages = reinterpret_cast<kestra::PageRecord*>(
        kestra::mem::At(p.record.pages, 0, sizeof(kestra::PageRecord)));
    auto* first = reinterpret_cast<kestra::FieldRecord*>(
        kestra::mem::At(pages[0].fields, 0, sizeof(kestra::FieldRecord)));
    first->plc.dataFormat = 13;  // WORD(BCD): not for a NUMERIC field
    const std::string bad = folder.write("bad.kpr", SaveImage(project));
    const std::string error =
        "page 1, field 1 (no. 1): data format 13 (WORD(BCD)) is refused by the driver for a "
        "NUMERIC field of class 2 (PLC data)";

    ProgramRun run = kestra({"check", bad});
    EXPECT_EQ(run.exitCode, 14);
    EXPECT_EQ(run.out, bad + ": error: " + error + "\n");
    EXPECT_EQ(run.err.rfind("kestra: " + bad + ": 1 error and 0 warnings (3 pages, 20 "
                                               "fields): the driver would refuse",
                            0),
              0u)
        << run.err;

    const std::string image = folder.file("bad.img");
    run = kestra({"panel-image", bad, "-o", image});
    EXPECT_EQ(run.exitCode, 14);
    EXPECT_EQ(run.err, "kestra: " + bad + ": the project has 1 error: " + error +
                           " (kestra check lists them all; --force builds anyway)\n");
    EXPECT_FALSE(fs::exists(image));
    run = kestra({"card", "send", bad});
    EXPECT_EQ(run.exitCode, 14);
    EXPECT_FALSE(fs::exists(folder.file("card.img"))) << "the card was not touched";

    run = kestra({"panel-image", bad, "-o", image, "--force"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.rfind("kestra: " + bad + ": warning: " + error + "\n", 0), 0u) << run.err;
    EXPECT_TRUE(fs::exists(image));
    run = kestra({"card", "send", bad, "--force"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("warning: " + error), std::string::npos) << run.err;

    run = kestra({"--help"});
    EXPECT_NE(run.out.find("14  check: the project has errors"), std::string::npos) << run.out;
}

// Runs in a folder of the test's own, where the store writes its repair log.
class InFolder {
  public:
    explicit InFolder(const std::string& folder) : previous_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~InFolder() { fs::current_path(previous_); }

  private:
    fs::path previous_;
};

TEST_F(KestraProgram, CheckReportsTheLinesOfTheRepairLog) {
    HGLOBAL project = kestra::testing::BuildProject({.bitmaps = 4});
    auto* entries = reinterpret_cast<kestra::BitmapEntry*>(
        kestra::mem::At(Block(project).ext.bitmaps, 0, 4 * sizeof(kestra::BitmapEntry)));
    entries[0].head.attributes = 0x0042;  // numbered, stored, and its height reads as 0
    const std::string bitmaps = folder.write("bitmaps.kpr", SaveImage(project));
    folder.write("PrjFix.txt", "an older line\n");
    InFolder here(folder.path());
    ProgramRun run = kestra({"check", bitmaps});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(folder.read("PrjFix.txt"), "an older line\n");
    run = kestra({"check", bitmaps, "--repair-menu-fields"});
    EXPECT_EQ(run.exitCode, 6) << run.err;
    // The repairs first; then what the contents hold (this project's fields all overlap).
    EXPECT_EQ(run.out.rfind(bitmaps + ": repaired: Fixed bitmap with zero-dimension...\n" +
                                bitmaps + ": warning: page 1, field 2 (no. 2): overlaps field 1",
                            0),
              0u)
        << run.out;
    EXPECT_EQ(folder.read("PrjFix.txt"), "an older line\n   Fixed bitmap with zero-dimension...\n");
}

TEST_F(KestraProgram, PanelImageIsWhatTheDriverBuilds) {
    const std::string out = folder.file("sample.img");
    ProgramRun run = kestra({"panel-image", sample, "-o", out, "--check"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("read back, it carries the project"), std::string::npos) << run.err;
    ExpectSamePanelImage(DriverPanelImage(bytes(sample)), bytes(out));

    // An existing output stays as it was when the command fails.
    const std::string noDriver = sampleWith("nodriver.kpr", kRecordAt + kProjectCodeAt, 9);
    folder.write("kept.img", "old contents");
    run = kestra({"panel-image", noDriver, "-o", folder.file("kept.img")});
    EXPECT_EQ(run.exitCode, 8);
    EXPECT_NE(run.err.find(noDriver + ": no installed PLC driver serves project code 9 (PLC type "
                                      "20); installed: K32PLC1.so (project code 1)"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(folder.read("kept.img"), "old contents");

    run = kestra({"panel-image", sample, "-o", folder.file("no/such/folder/x.img")});
    EXPECT_EQ(run.exitCode, 10);
    EXPECT_NE(run.err.find("no/such/folder/x.img: cannot be written"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder.file("no")));

    // A project for another PLC type: the driver refuses it with its own message.
    const std::string otherType = sampleWith("type19.kpr", kRecordAt + 15, 19);
    run = kestra({"panel-image", otherType, "-o", folder.file("t19.img")});
    EXPECT_EQ(run.exitCode, 9);
    EXPECT_NE(run.err.find("The Attached Kestra Panel is Made for Simatic S5 PLCs but the Current "
                           "Project Specifies a Different Type"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(folder.file("t19.img")));
}

TEST_F(KestraProgram, InfoAndPrintWithoutADriver) {
    const std::string noDriver = sampleWith("nodriver.kpr", kRecordAt + kProjectCodeAt, 9);
    ProgramRun run = kestra({"info", noDriver});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("Driver:        none installed\n"), std::string::npos);
    run = kestra({"print", noDriver, "--pdf", folder.file("x.pdf")});
    EXPECT_EQ(run.exitCode, 8);
    EXPECT_FALSE(fs::exists(folder.file("x.pdf")));
}

// The user's registry store holds one copy of the driver list for every program folder.
TEST_F(KestraProgram, InfoScansAgainWhenTheDriverListCopyIsOfAnotherFolder) {
    ASSERT_EQ(kestra({"info", sample}).exitCode, 0) << "writes the copy";
    const std::string written = folder.read("registry.reg");
    const std::string fullPath = "\"FullPath\"=\"";
    const std::size_t at = written.find(fullPath);
    ASSERT_NE(at, std::string::npos) << written;
    const std::size_t value = at + fullPath.size();
    const std::string programFolder = written.substr(value, written.find('"', value) - value);

    // Another build's driver, which this program cannot load, named by the copy.
    fs::create_directories(folder.file("other"));
    folder.write("other/K32PLC1.so", "a library built for another runtime");
    std::string foreign = written;
    foreign.replace(value, programFolder.size(), folder.file("other") + "/");
    folder.write("registry.reg", foreign);
    ProgramRun run = kestra({"info", sample});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Driver:        Simatic S5 - Old (K32PLC1.so)\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(folder.read("registry.reg"), written) << "the copy names this folder again";

    // A copy that is this folder's, but whose driver cannot be loaded: the report is whole,
    // the driver's line says what is wrong, and the exit code follows the report.
    std::string broken = written;
    const std::string key = "\\K32PLC1.so]";
    broken.replace(broken.find(key), key.size(), "\\cardtype.ini]");
    folder.write("registry.reg", broken);
    run = kestra({"info", sample});
    EXPECT_EQ(run.exitCode, 9);
    EXPECT_NE(run.out.find("Alarms:        3\nPLC type:      20, project code 1\n"
                           "Driver:        unusable: the PLC driver " +
                           programFolder + "cardtype.ini cannot be loaded\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.err.find("kestra: " + sample + ": the PLC driver " + programFolder +
                           "cardtype.ini cannot be loaded\n"),
              std::string::npos)
        << run.err;
}

TEST_F(KestraProgram, AnAlarmWithoutTextGoesIntoThePanelImageWithout) {
    ASSERT_EQ(kestra({"export", sample, "-o", folder.file("sample.json")}).exitCode, 0);
    nlohmann::json document = nlohmann::json::parse(folder.read("sample.json"));
    nlohmann::json& alarm = document.at("listEntries").at(1);
    alarm["firstKey"] = 0x0004;  // flags: time of acknowledgement, no text; priority 0
    alarm["textString"] = 0;     // index 0: no text
    const std::string project = folder.file("no-text.kpr");
    ProgramRun run =
        kestra({"import", folder.write("no-text.json", document.dump(2)), "-o", project});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = kestra({"panel-image", project, "-o", folder.file("no-text.img"), "--check"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string image = folder.read("no-text.img");
    const std::size_t entry = std::uint8_t(image.at(6)) + 256u * std::uint8_t(image.at(7)) + 5;
    EXPECT_EQ(std::uint8_t(image.at(entry)), 0x04 | 0x20) << "defined, without a text";
}

TEST_F(KestraProgram, PrintsThePlcLinesAsTextAndPdf) {
    ProgramRun run = kestra({"print", sample, "--text"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* line :
         {"PLC slave address   10\n", "PLC model           AG90/100/115/135\n", "Page 2: Page 2\n",
          "  1   1   1   NUM|  0 | 10           DB10 DW5   WORD\\O|  RO          0       1000   "
          "0    5        -|     1      1      0\n"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line;
    EXPECT_EQ(run.out.rfind("Num Row Col Type |Node|Slave", 0), std::string::npos)
        << "the first heading line comes first";
    EXPECT_EQ(run.out.find("                 | Net|PLC"), 0u);

    const std::string textFile = folder.file("lines.txt");
    ASSERT_EQ(kestra({"print", sample, "--text", "-o", textFile}).exitCode, 0);
    EXPECT_EQ(folder.read("lines.txt"), run.out);
    EXPECT_EQ(kestra({"print", sample, "--pdf", folder.file("x.pdf"), "-o", textFile}).exitCode, 2)
        << "-o belongs to --text";
    EXPECT_FALSE(fs::exists(folder.file("x.pdf")));

    const std::string pdf = folder.file("lines.pdf");
    run = kestra({"print", sample, "--pdf", pdf});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const ProgramRun text = [&] {
        ProgramRun r;
        const std::string command = "pdftotext -layout " + pdf + " " + folder.file("lines.txt");
        r.exitCode = std::system(command.c_str());
        r.out = folder.read("lines.txt");
        return r;
    }();
    ASSERT_EQ(text.exitCode, 0);
    for (const char* words :
         {"PLC model", "AG90/100/115/135", "DB10 DW5", "Page 3: Page 3", "DB255 DW255"})
        EXPECT_NE(text.out.find(words), std::string::npos) << words << "\n" << text.out;

    EXPECT_EQ(kestra({"print", sample}).exitCode, 2);
    EXPECT_EQ(kestra({"print", sample, "--text", "--pdf", pdf}).exitCode, 2);
    run = kestra({"print", sample, "--pdf", folder.file("none/x.pdf")});
    EXPECT_EQ(run.exitCode, 10);
    EXPECT_FALSE(fs::exists(folder.file("none")));
}

TEST_F(KestraProgram, CardSendWritesVerifiesAndListsTheProjectFile) {
    ProgramRun run = kestra({"card", "send", sample});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("formatting it"), std::string::npos);
    const std::string image = DriverPanelImage(bytes(sample));
    EXPECT_EQ(run.out, sample + ": " + std::to_string(image.size()) +
                           " bytes sent to the card as its project file \"sample.kpr\" and "
                           "verified\n");
    run = kestra({"card", "list"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("  18       0 project                sample.kpr"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(" " + std::to_string(image.size()) + "      1\n"), std::string::npos);

    // A panel image goes as it is, under the name given.
    const std::string panel = folder.file("sample.img");
    ASSERT_EQ(kestra({"panel-image", sample, "-o", panel}).exitCode, 0);
    run = kestra({"card", "send", panel, "--name", "line-3.img"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(kestra({"card", "list"}).out.find("project                line-3.img"),
              std::string::npos);

    // A damaged panel image never reaches the card.
    std::string broken = bytes(panel);
    broken[100] ^= 0x40;
    run = kestra({"card", "send", folder.write("broken.img", broken)});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.err.find("checksums do not match"), std::string::npos) << run.err;
    run = kestra({"card", "send", folder.write("junk.bin", "junk")});
    EXPECT_EQ(run.exitCode, 4);
    for (const char* name : {"a/b", ".."})
        EXPECT_EQ(kestra({"card", "send", panel, "--name", name}).exitCode, 2) << name;
    EXPECT_NE(kestra({"card", "list"}).out.find("line-3.img"), std::string::npos);

    // The port is decimal or 0x hexadecimal, and a leading zero does not make it octal: 0377
    // is port 377, where no reader answers.
    for (auto [port, exitCode] : std::vector<std::pair<const char*, int>>{
             {"0x378", 0}, {"888", 0}, {"0888", 0}, {"0377", 11}, {"0b1", 2}, {"x", 2}})
        EXPECT_EQ(kestra({"card", "list", "--port", port}).exitCode, exitCode) << port;
}

TEST_F(KestraProgram, CardFailuresKeepTheOldProjectFile) {
    ASSERT_EQ(kestra({"card", "send", sample, "--name", "old.kpr"}).exitCode, 0);

    // Taken out after a few page programs: the new file never makes it into the directory.
    ProgramRun run =
        kestra({"card", "send", sample, "--name", "new.kpr"}, {{"KESTRA_SIM_CARD_PULL", "3"}});
    EXPECT_EQ(run.exitCode, 11) << run.err;
    EXPECT_NE(run.err.find("kestra: card send: The card was taken out of the reader or lost "
                           "power. (card error 4117)"),
              std::string::npos)
        << run.err;
    run = kestra({"card", "list"});
    EXPECT_NE(run.out.find("old.kpr"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("new.kpr"), std::string::npos);

    // A full card: a placeholder takes every free block.
    ASSERT_EQ(cardload({"/wcefs"}).exitCode, 0);
    run = kestra({"card", "send", sample, "--name", "new.kpr"});
    EXPECT_EQ(run.exitCode, 12) << run.err;
    EXPECT_NE(run.err.find("(card error 4116)"), std::string::npos) << run.err;
    EXPECT_NE(kestra({"card", "list"}).out.find("old.kpr"), std::string::npos);

    run = kestra({"card", "list"}, {{"KESTRA_SIM_CARD", "none"}});
    EXPECT_EQ(run.exitCode, 11);
    EXPECT_EQ(run.err,
              "kestra: card list: There is no SSFDC card in the reader. (card error 4117)\n");
    run = kestra({"card", "send", sample}, {{"KESTRA_SIM_CARD", "none"}});
    EXPECT_EQ(run.exitCode, 11);
}

TEST_F(KestraProgram, UsageAndHelp) {
    EXPECT_EQ(kestra({}).exitCode, 2);
    EXPECT_EQ(kestra({"bogus"}).exitCode, 2);
    EXPECT_EQ(kestra({"info"}).exitCode, 2);
    EXPECT_EQ(kestra({"card"}).exitCode, 2);
    EXPECT_EQ(kestra({"panel-image", sample}).exitCode, 2);
    for (std::vector<std::string> help : {std::vector<std::string>{"--help"},
                                          {"info", "--help"},
                                          {"check", "--help"},
                                          {"panel-image", "--help"},
                                          {"print", "--help"},
                                          {"card", "send", "--help"},
                                          {"card", "list", "--help"}}) {
        const ProgramRun run = kestra(help);
        EXPECT_EQ(run.exitCode, 0) << help[0];
        EXPECT_NE(run.out.find("Usage:"), std::string::npos) << help[0];
    }
    const std::string help = kestra({"--help"}).out;
    EXPECT_NE(help.find("\n  10  an output file cannot be written"), std::string::npos) << help;
    EXPECT_NE(help.find("\n  70  a fault of the program itself\n"), std::string::npos) << help;
    const ProgramRun version = kestra({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("kestra [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << version.out;
}

// The entries of the help's lists (arguments, options, subcommands): each name with its
// description, the description's wrapped lines joined again.
std::map<std::string, std::string> HelpEntries(const std::string& help) {
    std::map<std::string, std::string> entries;
    std::istringstream lines(help);
    std::string line, name;
    bool inList = false;
    while (std::getline(lines, line)) {
        if (line == "Positionals:" || line == "Options:" || line == "Subcommands:") {
            inList = true;
        } else if (line.empty() || line[0] != ' ') {
            inList = false;
        } else if (inList && line.compare(0, 3, "   ") != 0) {
            const std::size_t split = line.find("  ", 2);
            name = line.substr(2, split - 2);
            entries[name] =
                split == std::string::npos ? "" : line.substr(line.find_first_not_of(' ', split));
        } else if (inList) {
            entries[name] += " " + line.substr(line.find_first_not_of(' '));
        }
    }
    return entries;
}

TEST_F(KestraProgram, HelpNamesTheProgramAndDescribesEachEntryInSentences) {
    for (const std::string command : {"", "info", "check", "export", "import", "panel-image",
                                      "print", "card", "card send", "card list"}) {
        std::vector<std::string> arguments;
        std::istringstream words(command);
        for (std::string word; words >> word;) arguments.push_back(word);
        arguments.push_back("--help");
        const std::string help = kestra(arguments).out;
        const std::string usage = "Usage: kestra " + (command.empty() ? "" : command + " ");
        EXPECT_NE(help.find("\n" + usage), std::string::npos) << help;
        const auto entries = HelpEntries(help);
        EXPECT_FALSE(entries.empty()) << help;
        for (const auto& [name, description] : entries) {
            EXPECT_FALSE(description.empty()) << command << ": " << name;
            EXPECT_TRUE(std::isupper(static_cast<unsigned char>(description.front())) &&
                        description.back() == '.')
                << command << ": " << name << ": " << description;
            EXPECT_EQ(
                std::regex_search(name + " " + description, std::regex("Excludes|Needs:|REQUIRED")),
                false)
                << command << ": " << name << ": " << description;
        }
    }
    const auto print = HelpEntries(kestra({"print", "--help"}).out);
    EXPECT_EQ(print.at("--pdf FILE"), "The PDF file to write, on A4 pages. Not with --text.");
    EXPECT_EQ(print.at("-o,--output FILE"),
              "The text file to write (standard output when not given). Only with --text.");
}

TEST_F(KestraProgram, TheExamplesOfTheHelpRunAsShown) {
    const std::string help = kestra({"--help"}).out;
    const auto start = help.find("Examples");
    ASSERT_NE(start, std::string::npos) << help;
    std::vector<std::vector<std::string>> examples;
    std::istringstream lines(help.substr(help.find('\n', start) + 1));
    for (std::string line; std::getline(lines, line) && !line.empty();) {
        std::istringstream words(line);
        std::string word;
        ASSERT_TRUE(words >> word && word == "kestra") << line;
        examples.emplace_back();
        while (words >> word) examples.back().push_back(word);
    }
    ASSERT_FALSE(examples.empty());
    const std::string work = folder.file("program-folder");
    fs::create_directories(work);
    fs::create_directory_symlink(
        kestra::platform::JoinPath(kestra::platform::ProgramFolder(), "samples"),
        work + "/samples");
    InFolder in(work);
    for (const auto& example : examples) {
        const ProgramRun run = kestra(example);
        EXPECT_EQ(run.exitCode, 0) << example.front() << ": " << run.err;
    }
    EXPECT_NE(kestra({"card", "list"}).out.find("sample.kpr"), std::string::npos);
}

// The first number in a document and its JSON pointer.
std::optional<std::string> FirstNumber(nlohmann::json& value, const std::string& at,
                                       nlohmann::json** found) {
    if (value.is_number()) {
        *found = &value;
        return at;
    }
    if (value.is_object())
        for (auto& [key, member] : value.items())
            if (auto path = FirstNumber(member, at + "/" + key, found)) return path;
    if (value.is_array())
        for (std::size_t i = 0; i < value.size(); ++i)
            if (auto path = FirstNumber(value[i], at + "/" + std::to_string(i), found)) return path;
    return std::nullopt;
}

TEST_F(KestraProgram, ExportAndImportGiveBackTheSameImageAndDocument) {
    const std::string json = folder.file("sample.json");
    ProgramRun run = kestra({"export", sample, "-o", json});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(kestra({"export", sample}).out, folder.read("sample.json"));

    const std::string imported = folder.file("imported.kpr");
    run = kestra({"import", json, "-o", imported});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    HGLOBAL original = LoadImage(bytes(sample));
    ASSERT_NE(original, 0u);
    EXPECT_EQ(bytes(imported), SaveImage(original))
        << "import saves what a save of the original gives";
    run = kestra({"export", imported, "-o", folder.file("again.json")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(folder.read("again.json"), folder.read("sample.json"));
}

TEST_F(KestraProgram, ImportRefusesBadDocumentsWithTheirPath) {
    const std::string json = folder.file("sample.json");
    ASSERT_EQ(kestra({"export", sample, "-o", json}).exitCode, 0);
    nlohmann::json document = nlohmann::json::parse(folder.read("sample.json"));
    nlohmann::json* number = nullptr;
    const auto path = FirstNumber(document, "", &number);
    ASSERT_TRUE(path && number);
    *number = "not a number";
    const std::string wrongType = folder.write("wrong-type.json", document.dump(2));
    folder.write("kept.kpr", "old contents");
    ProgramRun run = kestra({"import", wrongType, "-o", folder.file("kept.kpr")});
    EXPECT_EQ(run.exitCode, 7) << run.err;
    EXPECT_NE(run.err.find("kestra: " + wrongType + ": at \"" + *path + "\""), std::string::npos)
        << run.err;
    EXPECT_EQ(folder.read("kept.kpr"), "old contents");

    nlohmann::json newer = nlohmann::json::parse(folder.read("sample.json"));
    newer["version"] = kestra::json::kProjectSchemaVersion + 1;
    run = kestra(
        {"import", folder.write("newer.json", newer.dump(2)), "-o", folder.file("kept.kpr")});
    EXPECT_EQ(run.exitCode, 7) << run.err;
    EXPECT_NE(run.err.find(": at \"/version\""), std::string::npos) << run.err;
    EXPECT_EQ(folder.read("kept.kpr"), "old contents");

    for (const std::string& text : {std::string("{"), std::string("[]"), std::string("")}) {
        const std::string bad = folder.write("bad.json", text);
        run = kestra({"import", bad, "-o", folder.file("new.kpr")});
        EXPECT_EQ(run.exitCode, 7) << text;
        EXPECT_FALSE(fs::exists(folder.file("new.kpr"))) << text;
    }
    run = kestra({"import", folder.file("missing.json"), "-o", folder.file("new.kpr")});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(kestra({"import", json}).exitCode, 2) << "the output is required";
    run = kestra({"import", json, "-o", folder.file("no/folder/new.kpr")});
    EXPECT_EQ(run.exitCode, 10);

    const std::string truncated = folder.write("truncated.kpr", bytes(sample).substr(0, 1000));
    run = kestra({"export", truncated, "-o", folder.file("t.json")});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_FALSE(fs::exists(folder.file("t.json")));
}

TEST_F(KestraProgram, ImportRefusesDeepNestingAndTextsBeyondThePool) {
    const std::string json = folder.file("sample.json");
    ASSERT_EQ(kestra({"export", sample, "-o", json}).exitCode, 0);
    const auto document = nlohmann::ordered_json::parse(folder.read("sample.json"));
    const std::string pool = std::to_string(document["strings"].size());
    // Arrays nested 100,000 deep where a number belongs, and a title beyond the string pool.
    auto placed = document;
    placed["projectRecord"]["settings2"] = "@@";
    std::string deep = placed.dump(2);
    deep.replace(deep.find("\"@@\""), 4, std::string(100000, '[') + std::string(100000, ']'));
    auto beyond = document;
    beyond["projectRecord"]["titleString"] = document["strings"].size();
    const struct {
        std::string text;
        std::string said;
    } cases[] = {
        {deep, ": at \"/projectRecord/settings2/0/0/0/"},
        {beyond.dump(2), ": at \"/projectRecord/titleString\": is " + pool +
                             ", beyond the last string of the pool"},
    };
    for (const auto& c : cases) {
        const std::string bad = folder.write("bad.json", c.text);
        const ProgramRun run = kestra({"import", bad, "-o", folder.file("new.kpr")});
        EXPECT_EQ(run.exitCode, 7) << run.err;
        EXPECT_NE(run.err.find("kestra: " + bad + c.said), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(folder.file("new.kpr")));
    }
}

// A project of format 0x20, as an older editor saved it: the project record, one page with its
// name inline, the string pool and an empty keyed-entry table, and nothing after that.
std::string OldFormatImage() {
    kestra::ProjectRecord record{};
    record.pageCount = 1;
    record.stringCount = 1;
    kestra::PageRecord page{};
    std::memcpy(page.name, "Main", 4);
    std::string image(kRecordAt, '\0');
    image[0] = 44;
    image.replace(44, 4, std::string("\x01\x30\x00\x20", 4));
    image.append(reinterpret_cast<const char*>(&record), sizeof record);
    image.append(reinterpret_cast<const char*>(&page), sizeof page);
    image += std::string("Page text\0Title\0\x4B\x4C\0\0", 20);
    return image;
}

TEST_F(KestraProgram, ImportOfAnExportGivesTheExportedImageOfAnOlderFormatToo) {
    // Export writes the form of the image a load and save gives; import gives that image
    // back, not the one a further load and save would write (which gains a list section).
    const std::string old = folder.write("old.kpr", OldFormatImage());
    HGLOBAL loaded = LoadImage(bytes(old));
    ASSERT_NE(loaded, 0u);
    const std::string exported = SaveImage(loaded);
    ASSERT_EQ(kestra({"export", old, "-o", folder.file("old.json")}).exitCode, 0);
    const ProgramRun run =
        kestra({"import", folder.file("old.json"), "-o", folder.file("new.kpr")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(bytes(folder.file("new.kpr")), exported);
    HGLOBAL again = LoadImage(exported);
    ASSERT_NE(again, 0u);
    EXPECT_GT(SaveImage(again).size(), exported.size()) << "a load adds no section";
}

TEST_F(KestraProgram, TheSampleDocumentRunsTheWholeChain) {
    const std::string document = kestra::platform::JoinPath(kestra::platform::ProgramFolder(),
                                                            "samples/sample-project.json");
    const std::string project = folder.file("sample.kpr");
    ProgramRun run = kestra({"import", document, "-o", project});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = kestra({"export", project});
    EXPECT_EQ(run.out, kestra::platform::ReadWholeFile(document).value_or(""))
        << "the checked-in document is what export writes";
    EXPECT_EQ(kestra({"check", project}).exitCode, 0);
    run = kestra({"info", project});
    EXPECT_NE(run.out.find("Languages:     2\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Tags:          3\n"), std::string::npos);
    EXPECT_EQ(kestra({"panel-image", project, "-o", folder.file("s.img"), "--check"}).exitCode, 0);
    EXPECT_EQ(kestra({"print", project, "--pdf", folder.file("s.pdf")}).exitCode, 0);
    EXPECT_EQ(kestra({"card", "send", project}).exitCode, 0);
    EXPECT_NE(kestra({"card", "list"}).out.find("sample.kpr"), std::string::npos);
}

}  // namespace
