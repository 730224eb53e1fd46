// The card file table of "SSFDCProps.bin" and the download manager on a simulated card.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <future>

#include "card_service/kes_ssfdc_device.h"
#include "devices/card_lock.h"
#include "keyboard_editor/clavon_model.h"
#include "keyboard_editor/down_mgr.h"
#include "keyboard_editor/ssfdc_file_table.h"
#include "keyboard_editor/user_folders.h"
#include "keyboard_support.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "support/card_reader_scope.h"

namespace clavon {
namespace {

const ::testing::Environment* const kQt =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

// A table record: length, type, subtype, two zero bytes, the file's head.
std::vector<std::uint8_t> Record(int type, int subtype, const std::vector<std::uint8_t>& head) {
    std::vector<std::uint8_t> r{static_cast<std::uint8_t>(5 + head.size()),
                                static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(subtype),
                                0, 0};
    r.insert(r.end(), head.begin(), head.end());
    return r;
}

std::vector<std::uint8_t> Table(const std::vector<std::vector<std::uint8_t>>& records) {
    std::vector<std::uint8_t> t(4, 0);
    for (const auto& r : records) t.insert(t.end(), r.begin(), r.end());
    const auto n = static_cast<std::uint32_t>(t.size() - 4);
    for (int i = 0; i < 4; ++i)
        t[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(n >> (8 * i));
    return t;
}

// The head of a keyboard image with a name and associated fields (stored plus one).
std::vector<std::uint8_t> KeyboardHead(const std::string& name, std::vector<std::uint8_t> fields) {
    std::vector<std::uint8_t> head(12, 0);
    head.push_back(static_cast<std::uint8_t>(name.size()));
    head.insert(head.end(), name.begin(), name.end());
    head.resize(56 + name.size(), 0);
    head.push_back(static_cast<std::uint8_t>(fields.size()));
    for (std::uint8_t f : fields) head.push_back(static_cast<std::uint8_t>(f + 1));
    return head;
}

TEST(FileTable, EntriesNamesMasksAndFreeSubtypes) {
    const auto bytes =
        Table({Record(6, 1, KeyboardHead("Pad", {0, 2})), Record(4, 0, {}),
               Record(6, 2, KeyboardHead("Numbers", {31})), Record(6, 4, KeyboardHead("", {}))});
    const auto table = CSSFDCFileTable::Parse(bytes);
    ASSERT_TRUE(table);
    ASSERT_EQ(table->Entries().size(), 4u);
    const auto keyboards = table->OfType(kKeyboardFileType);
    ASSERT_EQ(keyboards.size(), 3u);
    EXPECT_EQ(keyboards[0]->Name(), "Pad");
    EXPECT_EQ(keyboards[0]->FieldMask(), 5u);
    EXPECT_EQ(keyboards[1]->FieldMask(), 0x80000000u);
    EXPECT_EQ(table->FreeKeyboardSubtype(), 3) << "subtypes 1, 2 and 4 are taken";
    EXPECT_EQ(table->Entries()[1].Name(), "") << "a head too short for a name";

    std::vector<std::vector<std::uint8_t>> full;
    for (int s = 1; s <= 255; ++s) full.push_back(Record(6, s, {}));
    EXPECT_EQ(CSSFDCFileTable::Parse(Table(full))->FreeKeyboardSubtype(), -1);
    EXPECT_EQ(CSSFDCFileTable::Parse(Table({}))->FreeKeyboardSubtype(), 1);
}

TEST(FileTable, InvalidTablesAreRefusedWhole) {
    // Length byte 0 right at the start: valid and empty.
    const auto empty = CSSFDCFileTable::Parse(std::vector<std::uint8_t>{9, 0, 0, 0, 0, 1, 2});
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->Entries().empty());

    auto nonZeroByte4 = Table({Record(6, 1, {}), Record(6, 2, {})});
    nonZeroByte4[4 + 5 + 4] = 1;
    EXPECT_FALSE(CSSFDCFileTable::Parse(nonZeroByte4));
    auto nonZeroByte3 = Table({Record(6, 1, {})});
    nonZeroByte3[4 + 3] = 1;
    EXPECT_FALSE(CSSFDCFileTable::Parse(nonZeroByte3));
    EXPECT_FALSE(CSSFDCFileTable::Parse(std::vector<std::uint8_t>{5, 0, 0, 0, 3, 6, 1, 0, 0}))
        << "a record shorter than 5 bytes";
    auto lying = Table({Record(6, 1, {1, 2, 3})});
    lying[0] = 200;  // the area runs past the file
    EXPECT_FALSE(CSSFDCFileTable::Parse(lying));
    auto longRecord = Table({Record(6, 1, {1, 2, 3})});
    longRecord[4] = 40;  // the record runs past the file
    EXPECT_FALSE(CSSFDCFileTable::Parse(longRecord));
    EXPECT_FALSE(CSSFDCFileTable::Parse(std::vector<std::uint8_t>{1, 0}));
    EXPECT_FALSE(CSSFDCFileTable::Read("/nonexistent/SSFDCProps.bin"));
    // Records after the area's end are not read.
    auto shortArea = Table({Record(6, 1, {}), Record(6, 2, {})});
    shortArea[0] = 5;
    EXPECT_EQ(CSSFDCFileTable::Parse(shortArea)->Entries().size(), 1u);
}

class Download : public ::testing::Test {
  protected:
    void SetUp() override {
        CKesSSFDCDevice device(kestra::testing::ProgramFolderWithSeparator().c_str());
        ASSERT_TRUE(device.initSSFDC(0x378));
        device.Format();
        manager.SetReporter([this](const std::string& report) { reports.push_back(report); });
        manager.Init();
        tableFile = "SSFDCProps-" + std::to_string(::getpid()) + ".bin";
    }
    std::string MakeImage(const std::string& name) {
        CClavonModel model;
        model.SetText(kName, name);
        model.SetInt(kFieldMask, 6);
        model.Add(std::make_unique<CKesButton>(model));
        CKbdRomImage image = BuildRomImage(model, "");
        image.SetTarget(reader.folder().file(name + ".rom"));
        EXPECT_TRUE(image.Write());
        return image.Target();
    }
    std::optional<CSSFDCFileTable> CardTable() {
        if (!manager.UploadSSFDCFileProps(tableFile)) return std::nullopt;
        return CSSFDCFileTable::Read(CacheFile(tableFile));
    }
    bool Send(const std::string& file, int subtype) {
        bool ok = false;
        manager.SetFinished([&](bool result, const std::string&) { ok = result; });
        manager.Download(file, kKeyboardFileType, subtype);
        manager.Wait();
        EXPECT_FALSE(manager.IsUsed());
        return ok;
    }

    kestra::testing::SimulatedReaderScope reader;
    kestra::testing::TempFolder home;
    kestra::testing::EnvironmentScope cache{"XDG_CACHE_HOME", home.file("cache")};
    CDownMgr manager;
    std::vector<std::string> reports;
    std::string tableFile;
};

TEST_F(Download, KeyboardsAreSentListedReplacedAndDeleted) {
    sSSFDCPROPERTY properties{};
    ASSERT_TRUE(manager.UploadSSFDCProps(&properties));
    EXPECT_NE(properties.blocks.get(), 0);
    EXPECT_NE(properties.pagesPerBlock.get(), 0);
    EXPECT_EQ(properties.formatted.get(), 1u);

    ASSERT_TRUE(Send(MakeImage("Pad"), 3));
    auto table = CardTable();
    ASSERT_TRUE(table);
    auto keyboards = table->OfType(kKeyboardFileType);
    ASSERT_EQ(keyboards.size(), 1u);
    EXPECT_EQ(keyboards[0]->subtype, 3);
    EXPECT_EQ(keyboards[0]->Name(), "Pad");
    EXPECT_EQ(keyboards[0]->FieldMask(), 6u);

    // Choosing the existing keyboard sends the new image with its subtype, replacing it.
    ASSERT_TRUE(Send(MakeImage("Other"), keyboards[0]->subtype));
    table = CardTable();
    ASSERT_EQ(table->OfType(kKeyboardFileType).size(), 1u);
    EXPECT_EQ(table->OfType(kKeyboardFileType)[0]->Name(), "Other");

    EXPECT_TRUE(manager.DeleteFileOnSSFDC(kKeyboardFileType, 3));
    EXPECT_TRUE(CardTable()->OfType(kKeyboardFileType).empty());
    EXPECT_TRUE(reports.empty());
}

TEST_F(Download, TheCardsFileTableGoesToTheUsersCacheFolder) {
    ASSERT_TRUE(CardTable());
    EXPECT_TRUE(kestra::platform::FileExists(home.file("cache/kestra/" + tableFile)));
    EXPECT_FALSE(kestra::platform::FileExists(
        kestra::platform::JoinPath(kestra::platform::ProgramFolder(), tableFile)));
    // Without the variable (or with a relative path in it), the cache is ~/.cache.
    kestra::testing::EnvironmentScope relative("XDG_CACHE_HOME", std::string("cache"));
    kestra::testing::EnvironmentScope homeFolder("HOME", home.path());
    EXPECT_EQ(CacheFile("x.bin"), home.file(".cache/kestra/x.bin"));
    EXPECT_TRUE(std::filesystem::is_directory(home.file(".cache/kestra")));
    kestra::testing::EnvironmentScope data("XDG_DATA_HOME", std::nullopt);
    EXPECT_EQ(UserDataFolder(), home.file(".local/share/kestra"));
}

TEST_F(Download, TheEndOfADownloadIsReportedWithTheManagerFree) {
    // Whatever the report sets off (the windows' commands coming back) finds no transfer.
    std::promise<bool> usedWhenReported;
    manager.SetFinished(
        [&](bool, const std::string&) { usedWhenReported.set_value(manager.IsUsed()); });
    manager.Download(MakeImage("Pad"), kKeyboardFileType, 1);
    EXPECT_FALSE(usedWhenReported.get_future().get());
    manager.Wait();
}

TEST_F(Download, AnUnformattedCardIsFormattedThroughTheService) {
    {
        CKesSSFDCDevice device(kestra::testing::ProgramFolderWithSeparator().c_str());
        ASSERT_TRUE(device.initSSFDC(0x378));
        device.Unformat();
    }
    sSSFDCPROPERTY properties{};
    ASSERT_TRUE(manager.UploadSSFDCProps(&properties));
    EXPECT_EQ(properties.formatted.get(), 0u);
    EXPECT_NE(properties.blocks.get(), 0);
    EXPECT_FALSE(CardTable());
    EXPECT_EQ(reports, std::vector<std::string>{"The SSFDC card is not formatted."});
    ASSERT_TRUE(manager.FormatCard());
    ASSERT_TRUE(manager.UploadSSFDCProps(&properties));
    EXPECT_EQ(properties.formatted.get(), 1u);
    ASSERT_TRUE(CardTable());
    EXPECT_TRUE(CardTable()->Entries().empty());
}

TEST_F(Download, CardPulledDuringADownloadKeepsTheOldKeyboard) {
    ASSERT_TRUE(Send(MakeImage("Pad"), 1));
    std::string failure;
    manager.SetFinished([&](bool, const std::string& report) { failure = report; });
    reader.card->cutPowerAfter(3);
    manager.Download(MakeImage("Newer"), kKeyboardFileType, 1);
    manager.Wait();
    EXPECT_FALSE(failure.empty());
    reader.card->restorePower();
    const auto table = CardTable();
    ASSERT_TRUE(table);
    ASSERT_EQ(table->OfType(kKeyboardFileType).size(), 1u);
    EXPECT_EQ(table->OfType(kKeyboardFileType)[0]->Name(), "Pad");
}

// How the card's properties answer each reader: an empty reader is an answer (no card), a
// reader that cannot be reached is a failure that says why.
struct ReaderCase {
    const char* name;
    std::function<std::shared_ptr<void>(const kestra::testing::TempFolder&)> reader;
    unsigned port;
    bool answers;        // UploadSSFDCProps succeeds
    bool card;           // and finds a card
    const char* report;  // LastReport() of a failure holds this
};

std::shared_ptr<void> Configured(const std::string& reader) {
    return std::make_shared<kestra::testing::ReaderConfigurationScope>(reader);
}

const ReaderCase kReaderCases[] = {
    {"EmptyReader", [](const auto&) { return Configured("sim"); }, 0x378, true, false, ""},
    {"CardInTheReader",
     [](const auto&) { return std::make_shared<kestra::testing::SimulatedReaderScope>(); }, 0x378,
     true, true, ""},
    {"NothingAnswersAtThePort",
     [](const auto&) { return std::make_shared<kestra::testing::SimulatedReaderScope>(); }, 0x278,
     false, false, "No card reader answers at port 0x278"},
    {"EmptyReaderAtAnotherPort", [](const auto&) { return Configured("sim"); }, 0x278, false, false,
     "No card reader answers at port 0x278"},
    {"UnknownReaderName", [](const auto&) { return Configured("parallel-port-9"); }, 0x378, false,
     false, "could not be set up"},
    {"UsbReaderWithoutCard",
     [](const auto& files) { return Configured("blockdev:" + files.write("disk", "")); }, 0x378,
     true, false, ""},
    {"UsbReaderThatIsNotThere",
     [](const auto& files) { return Configured("blockdev:" + files.file("gone")); }, 0x378, false,
     false, "cannot be reached"},
};

void PrintTo(const ReaderCase& c, std::ostream* out) {
    *out << c.name;
}

class CardProperties : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(CardProperties, AnswerOrFailure) {
    const ReaderCase& c = GetParam();
    kestra::testing::TempFolder files;
    const std::shared_ptr<void> reader = c.reader(files);
    CDownMgr manager;
    manager.SetPort(c.port);
    manager.Init();
    sSSFDCPROPERTY properties{};
    properties.blocks = 7;
    ASSERT_EQ(manager.UploadSSFDCProps(&properties), c.answers) << manager.LastReport();
    EXPECT_EQ(properties.blocks.get() != 0, c.card);
    EXPECT_EQ(properties.pagesPerBlock.get() != 0, c.card);
    if (!c.answers)
        EXPECT_NE(manager.LastReport().find(c.report), std::string::npos) << manager.LastReport();
}

INSTANTIATE_TEST_SUITE_P(Download, CardProperties, ::testing::ValuesIn(kReaderCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DownloadWithoutCard, PropertiesSayNoCardAndTheTableFails) {
    kestra::testing::ReaderConfigurationScope empty;
    CDownMgr manager;
    std::vector<std::string> reports;
    manager.SetReporter([&](const std::string& report) { reports.push_back(report); });
    manager.Init();
    sSSFDCPROPERTY properties{};
    properties.blocks = 7;
    ASSERT_TRUE(manager.UploadSSFDCProps(&properties));
    EXPECT_EQ(properties.blocks.get(), 0);
    EXPECT_EQ(properties.pagesPerBlock.get(), 0);
    EXPECT_FALSE(manager.UploadSSFDCFileProps("SSFDCProps-none.bin"));
    EXPECT_EQ(reports, (std::vector<std::string>{"There is no SSFDC card in the reader."}));
}

TEST(DownloadWithCardInUse, TheUserMayRetryAndTheCardIsLetGoAfterEachOperation) {
    kestra::testing::ReaderConfigurationScope configuration;
    const std::string image = configuration.folder().file("card.img");
    kestra::platform::SimCard::Create(image,
                                      *kestra::platform::SimCardGeometry::ForDeviceCode(0x73));
    kestra::testing::EnvironmentScope card(kestra::platform::kSimCardVariable, image);
    using kestra::platform::CardLock;
    using kestra::platform::CardUse;

    // Another program has the card; the user waits for it and retries, or gives up.
    CardLock other = CardLock::Take(image, CardUse::Write);
    std::vector<std::string> asked;
    int answer = IDRETRY;
    auto previous = kestra::platform::SetMessageBoxPresenter(
        [&](HWND, std::string_view text, std::string_view, UINT type) {
            asked.emplace_back(text);
            EXPECT_EQ(type & MB_TYPEMASK, UINT{MB_RETRYCANCEL});
            if (answer == IDRETRY) other.release();
            return answer;
        });
    CDownMgr manager;
    manager.Init();
    sSSFDCPROPERTY properties{};
    EXPECT_TRUE(manager.UploadSSFDCProps(&properties));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0],
              "The SSFDC card is in use by another program.\n\nRetry when that program is done "
              "with the card.");
    EXPECT_NE(properties.blocks.get(), 0);
    EXPECT_TRUE(CardLock::Take(image, CardUse::Write).held()) << "let go after the operation";

    other = CardLock::Take(image, CardUse::Write);
    answer = IDCANCEL;
    EXPECT_FALSE(manager.FormatCard()) << "a format on the worker shows nothing";
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_FALSE(manager.DeleteFileOnSSFDC(kKeyboardFileType, 1));
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(manager.LastReport(), "The SSFDC card is in use by another program.");
    kestra::platform::SetMessageBoxPresenter(std::move(previous));
}

}  // namespace
}  // namespace clavon
