// The project document: opening, changes as undo steps, files that must not cost the open
// project anything.
#include <filesystem>
#include <fstream>
#include <functional>

#include "extension_classes/plc_driver.h"
#include "extension_classes/plc_info.h"
#include "kestra/driver.h"
#include "platform/file_writer.h"
#include "platform/memory.h"
#include "workbench/document/project_pages.h"
#include "workbench_test.h"

namespace kestra::workbench::testing {
namespace {

namespace fs = std::filesystem;

class Document : public WorkbenchTest {
  protected:
    void SetUp() override {
        WorkbenchTest::SetUp();
        document.open(sample());
    }
    ProjectBlock& project() { return document.block(); }

    ProjectDocument document;
};

TEST_F(Document, OpensTheSampleWithTheDriverOfItsProjectCode) {
    EXPECT_EQ(document.path(), sample());
    EXPECT_EQ(document.displayName(), "sample.kpr");
    EXPECT_FALSE(document.isModified());
    ASSERT_NE(document.driver(), nullptr) << document.driverProblem().toStdString();
    EXPECT_EQ(document.driver()->name(), "Simatic S5 - Old");
    ASSERT_EQ(Pages(project()).size(), 3u);
    EXPECT_EQ(PageName(project(), 0), "Tanks");
    EXPECT_EQ(PageText(project(), 0, 0), "Tank farm: levels and pumps");
    EXPECT_EQ(PageText(project(), 0, 1), "Tanklager: Staende und Pumpen");
    EXPECT_EQ(LanguageName(project(), 1), "Deutsch");
}

// ---- Every edit is one step that undo takes back byte for byte ------------------------------

struct Edit {
    const char* name;
    std::function<bool(ProjectBlock&, host::Driver&)> run;
    std::function<void(const ProjectBlock&)> check;  // what the project shows afterwards
};

FieldRecord& FirstField(ProjectBlock& p, std::size_t page) {
    return Fields(Pages(p)[page])[0];
}

const Edit kEdits[] = {
    {"AddAPage",
     [](ProjectBlock& p, host::Driver&) { return ReorderPages(p, Inserting(3, 1, 1), {"Pumps"}); },
     [](const ProjectBlock& p) {
         ASSERT_EQ(Pages(p).size(), 4u);
         EXPECT_EQ(PageName(p, 1), "Pumps");
         EXPECT_EQ(PageText(p, 2, 1), "Meldungen und Balken");  // the texts moved along
     }},
    {"DeleteAPage",
     [](ProjectBlock& p, host::Driver&) { return ReorderPages(p, Deleting(3, 0, 1)); },
     [](const ProjectBlock& p) {
         ASSERT_EQ(Pages(p).size(), 2u);
         EXPECT_EQ(PageName(p, 0), "Messages");
         EXPECT_EQ(PageText(p, 0, 1), "Meldungen und Balken");
     }},
    {"MoveAPage", [](ProjectBlock& p, host::Driver&) { return ReorderPages(p, Moving(3, 2, 0)); },
     [](const ProjectBlock& p) {
         EXPECT_EQ(PageName(p, 0), "Counters");
         EXPECT_EQ(PageText(p, 0, 0), "Counters and timers");
         EXPECT_EQ(PageText(p, 0, 1), "Zaehler und Zeiten");
     }},
    {"RenameAPage",
     [](ProjectBlock& p, host::Driver&) { return SetPageName(p, 2, "Counters and timers"); },
     [](const ProjectBlock& p) { EXPECT_EQ(PageName(p, 2), "Counters and timers"); }},
    {"ChangeAPageTextOfTheDefaultLanguage",
     [](ProjectBlock& p, host::Driver&) { return SetPageText(p, 1, 0, "Alarms and bars"); },
     [](const ProjectBlock& p) {
         EXPECT_EQ(PageText(p, 1, 0), "Alarms and bars");
         EXPECT_EQ(PageText(p, 1, 1), "Meldungen und Balken");
     }},
    {"ChangeAPageTextOfTheSecondLanguage",
     [](ProjectBlock& p, host::Driver&) { return SetPageText(p, 1, 1, "Alarme und Balken"); },
     [](const ProjectBlock& p) {
         EXPECT_EQ(PageText(p, 1, 0), "Messages and bar graphs");
         EXPECT_EQ(PageText(p, 1, 1), "Alarme und Balken");
     }},
    {"EmptyAPageText", [](ProjectBlock& p, host::Driver&) { return SetPageText(p, 0, 0, ""); },
     [](const ProjectBlock& p) { EXPECT_EQ(PageText(p, 0, 0), ""); }},
    {"AddAField",
     [](ProjectBlock& p, host::Driver& driver) {
         const auto field = DefaultField(driver.loader(), p);
         return field && ReorderFields(p, 1, Inserting(7, 0, 1), {&*field, 1});
     },
     [](const ProjectBlock& p) { EXPECT_EQ(Fields(Pages(p)[1]).size(), 8u); }},
    {"DuplicateAField",
     [](ProjectBlock& p, host::Driver&) {
         const auto copy = CopyField(p, FirstField(p, 0));
         return copy && ReorderFields(p, 0, Inserting(7, 1, 1), {&*copy, 1});
     },
     [](const ProjectBlock& p) {
         const auto fields = Fields(Pages(p)[0]);
         ASSERT_EQ(fields.size(), 8u);
         EXPECT_EQ(std::memcmp(&fields[0].plc, &fields[1].plc, sizeof(uPLCADR)), 0);
     }},
    {"DeleteAField",
     [](ProjectBlock& p, host::Driver&) { return ReorderFields(p, 2, Deleting(6, 0, 1)); },
     [](const ProjectBlock& p) { EXPECT_EQ(Fields(Pages(p)[2]).size(), 5u); }},
    {"MoveAField",
     [](ProjectBlock& p, host::Driver&) { return ReorderFields(p, 0, Moving(7, 6, 0)); },
     [](const ProjectBlock& p) { EXPECT_EQ(Fields(Pages(p)[0])[0].plc.byteOffset, 4); }},
};

class EachEdit : public Document, public ::testing::WithParamInterface<Edit> {};

TEST_P(EachEdit, UndoGivesTheImageBeforeByteForByteAndRedoTheImageAfter) {
    const Edit& edit = GetParam();
    const Bytes original = SavedNow(document);
    ASSERT_TRUE(document.change(QString::fromLatin1(edit.name),
                                [&] { return edit.run(project(), *document.driver()); }));
    edit.check(project());
    const Bytes changed = SavedNow(document);
    ASSERT_NE(changed, original);
    EXPECT_TRUE(document.isModified());
    EXPECT_EQ(document.undoStack().count(), 1);

    document.undoStack().undo();
    EXPECT_EQ(SavedNow(document), original);
    EXPECT_FALSE(document.isModified());
    document.undoStack().redo();
    EXPECT_EQ(SavedNow(document), changed);
    edit.check(project());

    // And what was saved opens as it was.
    const QString copy = QString::fromStdString(file("changed.kpr"));
    document.saveAs(copy);
    ProjectDocument reopened;
    reopened.open(copy);
    EXPECT_EQ(SavedNow(reopened), changed);
}

INSTANTIATE_TEST_SUITE_P(Workbench, EachEdit, ::testing::ValuesIn(kEdits),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Document, AChangeThatGivesUpOrFailsLeavesEveryByteAndNoStep) {
    const Bytes original = SavedNow(document);
    // A dialog that changed the project and was then cancelled.
    EXPECT_FALSE(document.change("cancelled", [&] {
        SetPageName(project(), 0, "Half edited");
        FirstField(project(), 0).plc.dataBlock = 99;
        return false;
    }));
    EXPECT_EQ(SavedNow(document), original);
    EXPECT_EQ(PageName(project(), 0), "Tanks");
    // One that failed halfway.
    EXPECT_THROW(document.change("failed",
                                 [&]() -> bool {
                                     FirstField(project(), 1).width = 77;
                                     host::Fail(host::kExitInternal, "no room");
                                 }),
                 host::Failure);
    EXPECT_EQ(SavedNow(document), original);
    // One that changed nothing.
    EXPECT_FALSE(document.change("nothing", [] { return true; }));
    EXPECT_EQ(document.undoStack().count(), 0);
    EXPECT_FALSE(document.isModified());
}

TEST_F(Document, UndoAndRedoLoadTheProjectAgainWithoutKeepingTheOldOne) {
    ASSERT_TRUE(
        document.change("add", [&] { return ReorderPages(project(), Inserting(3, 3, 1), {"P"}); }));
    document.undoStack().undo();
    document.undoStack().redo();
    const std::size_t before =
        mem::LiveBlocks(mem::Kind::Host) + mem::LiveBlocks(mem::Kind::Global);
    for (int i = 0; i < 25; ++i) {
        document.undoStack().undo();
        document.undoStack().redo();
    }
    const std::size_t after = mem::LiveBlocks(mem::Kind::Host) + mem::LiveBlocks(mem::Kind::Global);
    EXPECT_LE(after, before + 2) << "blocks left behind by 50 reloads";
    EXPECT_EQ(Pages(project()).size(), 4u);
}

// ---- Files -----------------------------------------------------------------------------------

// Every input of the fuzz corpora, whole and damaged: cut short, and with bytes overwritten.
std::vector<std::pair<std::string, std::string>> OfferedFiles() {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : fs::recursive_directory_iterator(KESTRA_FUZZ_SEEDS)) {
        if (!entry.is_regular_file()) continue;
        const std::string bytes = platform::ReadWholeFile(entry.path().string()).value_or("");
        const std::string name =
            entry.path().parent_path().filename().string() + "/" + entry.path().filename().string();
        files.emplace_back(name, bytes);
        for (std::size_t cut :
             {std::size_t{0}, std::size_t{47}, bytes.size() / 2, bytes.size() - 1})
            if (cut < bytes.size())
                files.emplace_back(name + " cut to " + std::to_string(cut), bytes.substr(0, cut));
        for (std::size_t at = 48; at < bytes.size();
             at += std::max<std::size_t>(bytes.size() / 7, 1)) {
            std::string damaged = bytes;
            damaged[at] = static_cast<char>(0xFF);
            if (at + 1 < damaged.size()) damaged[at + 1] = static_cast<char>(0xFF);
            files.emplace_back(name + " damaged at " + std::to_string(at), damaged);
        }
    }
    return files;
}

TEST_F(Document, DamagedAndForeignFilesOfferedToOpenAndImportLeaveTheOpenProjectAsItWas) {
    ASSERT_TRUE(document.change("unsaved", [&] { return SetPageName(project(), 0, "Unsaved"); }));
    const Bytes before = SavedNow(document);
    int refused = 0, offered = 0;
    for (const auto& [name, bytes] : OfferedFiles()) {
        const QString path = QString::fromStdString(folder_.write("offered", bytes));
        for (bool import : {false, true}) {
            ++offered;
            try {
                import ? document.importJson(path) : (void)document.open(path);
            } catch (const host::Failure& failure) {
                ++refused;
                EXPECT_FALSE(failure.message.empty());
                ASSERT_EQ(SavedNow(document), before) << name << (import ? " imported" : " opened");
                ASSERT_EQ(document.path(), sample()) << name;
                ASSERT_TRUE(document.isModified()) << name;
                continue;
            }
            // A seed that is a sound project opens; the test goes on from the sample again.
            document.open(sample());
            ASSERT_TRUE(
                document.change("unsaved", [&] { return SetPageName(project(), 0, "Unsaved"); }));
        }
    }
    EXPECT_GT(refused, offered / 2) << refused << " of " << offered << " refused";
}

TEST_F(Document, TheStoresMessageSaysWhyAFileIsRefused) {
    const struct {
        const char* bytes;
        std::size_t size;
        const char* says;
    } kCases[] = {
        {"", 0, "not a project image"},
        {"\x2c\x00 a text file, not a project", 30, "not a project image"},
    };
    for (const auto& c : kCases) {
        const QString path =
            QString::fromStdString(folder_.write("bad.kpr", std::string(c.bytes, c.size)));
        try {
            document.open(path);
            ADD_FAILURE() << "opened " << c.bytes;
        } catch (const host::Failure& failure) {
            EXPECT_NE(failure.message.find(c.says), std::string::npos) << failure.message;
        }
    }
    try {
        document.open(QString::fromStdString(file("missing.kpr")));
        ADD_FAILURE() << "opened a missing file";
    } catch (const host::Failure& failure) {
        EXPECT_EQ(failure.code, host::kExitUnreadable);
        EXPECT_NE(failure.message.find("no such file"), std::string::npos) << failure.message;
    }
}

TEST_F(Document, AFailedSaveLeavesTheOldFileWholeAndTheProjectUnsaved) {
    const std::string old = folder_.read("sample.kpr");
    ASSERT_TRUE(document.change("rename", [&] { return SetPageName(project(), 0, "Renamed"); }));
    platform::InjectWriteFault(platform::InjectedWriteFault{100, 28});  // ENOSPC after 100 bytes
    EXPECT_THROW(document.save(), host::Failure);
    platform::InjectWriteFault(std::nullopt);
    EXPECT_EQ(folder_.read("sample.kpr"), old);
    EXPECT_TRUE(document.isModified());
    document.save();
    EXPECT_NE(folder_.read("sample.kpr"), old);
    EXPECT_FALSE(document.isModified());
}

TEST_F(Document, TellsWhenAnotherProgramChangedTheFileSinceItWasOpenedOrSaved) {
    EXPECT_FALSE(document.changedOnDisk());
    std::string bytes = folder_.read("sample.kpr");
    bytes.back() ^= 1;
    fs::remove(sample_);  // another program writes its file anew
    folder_.write("sample.kpr", bytes);
    EXPECT_TRUE(document.changedOnDisk());
    document.save();
    EXPECT_FALSE(document.changedOnDisk());
    fs::remove(sample_);
    EXPECT_TRUE(document.changedOnDisk());
}

TEST_F(Document, ImportsTheJsonFormAsAnUnsavedProjectWithoutAFile) {
    const std::string json = folder_.write("tanks.json", SampleJson());
    document.importJson(QString::fromStdString(json));
    EXPECT_TRUE(document.path().isEmpty());
    EXPECT_EQ(document.displayName(), "tanks.kpr");
    EXPECT_TRUE(document.isModified());
    EXPECT_EQ(SavedNow(document), SampleImage());
    document.exportJson(QString::fromStdString(file("again.json")));
    EXPECT_EQ(json::ImportProjectJson(folder_.read("again.json")), SampleImage());
}

TEST_F(Document, ANewProjectHasTheDriversDefaultsAndOnePage) {
    CPlcInfoList drivers(host::kDriverListRegistryWord);
    ASSERT_EQ(drivers.Load(FALSE), 1);
    const CPlcInfo* entry = drivers.FindDLL("K32PLC1.so");
    ASSERT_NE(entry, nullptr);
    document.newProject(*entry);
    EXPECT_TRUE(document.path().isEmpty());
    EXPECT_FALSE(document.isModified());
    ASSERT_NE(document.driver(), nullptr);
    EXPECT_EQ(document.driver()->library(), "K32PLC1.so");
    ASSERT_EQ(Pages(project()).size(), 1u);
    EXPECT_EQ(PageName(project(), 0), "Page 1");
    EXPECT_EQ(project().record.plcType, 20);
    EXPECT_EQ(project().record.nodeA.slaveAddress, 10);
    // Its fields come from the same driver.
    ASSERT_TRUE(document.change("field", [&] {
        const auto field = DefaultField(document.driver()->loader(), project());
        return field && ReorderFields(project(), 0, Inserting(0, 0, 1), {&*field, 1});
    }));
    EXPECT_EQ(Fields(Pages(project())[0]).size(), 1u);
}

TEST_F(Document, OpenWithRepairsListsTheRepairsAsCheckDoes) {
    // A menu field without width: the store drops it when asked to repair.
    ASSERT_TRUE(document.change("menu field", [&] {
        FieldRecord& field = FirstField(project(), 1);
        field.fieldClass = 6;
        field.width = 0;
        return true;
    }));
    document.saveAs(QString::fromStdString(file("menu.kpr")));
    // Open as it is, the field stays.
    document.open(QString::fromStdString(file("menu.kpr")));
    EXPECT_EQ(Fields(Pages(project())[1]).size(), 7u);
    const std::vector<std::string> repairs =
        document.open(QString::fromStdString(file("menu.kpr")), true);
    EXPECT_EQ(repairs,
              std::vector<std::string>{"page 2: dropped 1 menu field without width or height"});
    EXPECT_EQ(Fields(Pages(project())[1]).size(), 6u);
    EXPECT_TRUE(document.isModified()) << "the repairs are not saved yet";

    // A project that does not load even with repairs is refused, and the open one stays.
    const std::string damaged = folder_.read("menu.kpr").substr(0, 600);
    folder_.write("cut.kpr", damaged);
    EXPECT_THROW(document.open(QString::fromStdString(file("cut.kpr")), true), host::Failure);
    EXPECT_EQ(document.path().toStdString(), file("menu.kpr"));
}

}  // namespace
}  // namespace kestra::workbench::testing
