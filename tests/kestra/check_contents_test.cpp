// What a check finds in small projects built here, asked through the S5 driver's exports: one
// sound project, and for each kind of problem a change of it that must be found (and nothing
// else), with its severity, page and field.
#include "kestra/check.h"

#include <gtest/gtest.h>

#include <functional>

#include "extension_classes/plc_driver.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "plc_s5/type1_image.h"
#include "support/temp_folder.h"
#include "utilities/passwords.h"
#include "utilities/services.h"

namespace kestra::host {
namespace {

using testing::TempFolder;
using testing::WindowsFolderScope;
using Severity = CheckFinding::Severity;
using Part = CheckFinding::Part;

constexpr const char* kTable = R"(
[DTYPE2]
Rows=4
Columns=20
TSType=-1

[Panel Model]
4x20 Text=DTYPE2
)";

constexpr std::uint8_t kNumeric = 0, kAscii = 2, kGraphics = 5;
constexpr std::uint8_t kWord = 3, kDword = 4, kAsciiFormat = 5, kBcdWord = 13;
constexpr std::size_t kDisplayCodeAt = 12;  // project record: the panel setup's display

// A project of two pages held in blocks of the test's own: page 1 holds a NUMERIC field at
// DB10 DW0 (row 1, column 1, 5 wide), page 2 an ASCII field at DB12 DW2 (row 2, 10 wide).
struct Project {
    std::vector<PageRecord> pages = std::vector<PageRecord>(2);
    std::vector<std::vector<FieldRecord>> fields =
        std::vector<std::vector<FieldRecord>>(2, std::vector<FieldRecord>(1));
    std::vector<TagElement> tags;
    std::vector<PasswordRecord> passwords;
    std::vector<ListEntry> values;  // list 1 of the ASCII field
    HGLOBAL handle = GlobalAlloc(GHND, kProjectBlockSize);

    explicit Project(KXCPlcDriver& driver) {
        ProjectBlock& p = block();
        driver.InitPlcDefaults(&p, nullptr, &p.record.nodeA, nullptr, 0);
        fields[0][0] = Field(driver, kNumeric, kWord, 0, 0, 5, 10, 0);
        fields[1][0] = Field(driver, kAscii, kAsciiFormat, 1, 0, 10, 12, 4);
    }
    ~Project() { GlobalFree(handle); }

    FieldRecord Field(KXCPlcDriver& driver, std::uint8_t type, std::uint8_t format, int row,
                      int column, int width, int dataBlock, int byteOffset) {
        FieldRecord f{};
        driver.InitPlcDefaults(nullptr, nullptr, &block().record.nodeA, &f, 4);
        f.fieldClass = 2;
        f.display.fieldType = type;
        f.plc.dataFormat = format;
        f.plc.dataBlock = static_cast<std::uint8_t>(dataBlock);
        f.plc.byteOffset = static_cast<std::uint16_t>(byteOffset);
        s5::FieldRow(f) = static_cast<std::uint8_t>(row);
        s5::FieldColumn(f) = static_cast<std::uint8_t>(column);
        f.width = static_cast<std::uint8_t>(width);
        f.height = 1;
        return f;
    }

    ProjectBlock& block() { return *reinterpret_cast<ProjectBlock*>(mem::Data(handle)); }
    FieldRecord& field(std::size_t page, std::size_t f = 0) { return fields.at(page).at(f); }

    // The tables into blocks, as the project holds them.
    ProjectBlock& laidOut() {
        ProjectBlock& p = block();
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (i < fields.size() && !fields[i].empty()) {
                if (&fields[i] == &fields[1] && !values.empty()) {
                    fields[1][0].list1.count = static_cast<std::int16_t>(values.size());
                    fields[1][0].list1.block = Host(values);
                }
                pages[i].fieldCount = static_cast<std::uint16_t>(fields[i].size());
                pages[i].fields = Host(fields[i]);
            }
        }
        p.record.pageCount = static_cast<std::uint16_t>(pages.size());
        p.record.pages = Host(pages);
        p.ext.tagFolder.count = static_cast<std::uint16_t>(tags.size());
        p.ext.tagFolder.elements = tags.empty() ? 0 : Host(tags);
        p.record.section1Count = static_cast<std::uint8_t>(passwords.size());
        p.record.section1 = passwords.empty() ? 0 : Host(passwords);
        return p;
    }

    template <typename T>
    static mem::Ref Host(const std::vector<T>& records) {
        const mem::Ref ref = mem::HostAllocate(static_cast<std::uint32_t>(records.size() * sizeof(T)));
        std::memcpy(mem::Data(ref), records.data(), records.size() * sizeof(T));
        return ref;
    }
};

struct Expected {
    Severity severity;
    Part part;
    std::size_t page, field, item;
    const char* says;
};

struct Case {
    const char* what;
    std::function<void(Project&)> change;
    std::vector<Expected> found;
};

PasswordRecord Password(const char* code, int first, int last) {
    PasswordRecord p{};
    std::strncpy(p.code, code, 4);
    p.firstPage = static_cast<std::uint16_t>(first);
    p.lastPage = static_cast<std::uint16_t>(last);
    return p;
}

const Case kCases[] = {
    {"a sound project", [](Project&) {}, {}},
    {"a NUMERIC field of a format the driver does not allow it",
     [](Project& p) { p.field(0).plc.dataFormat = kBcdWord; },
     {{Severity::Error, Part::Field, 1, 1, 0,
       "page 1, field 1 (no. 1): data format 13 (WORD(BCD)) is refused by the driver for a "
       "NUMERIC field of class 2 (PLC data)"}}},
    {"a data format of 0, which prints as ERR",
     [](Project& p) { p.field(0).plc.dataFormat = 0; },
     {{Severity::Error, Part::Field, 1, 1, 0, "data format 0 is none the driver knows"}}},
    {"a GRAPHICS field showing PLC data",
     [](Project& p) { p.field(0).display.fieldType = kGraphics; },
     {{Severity::Error, Part::Field, 1, 1, 0,
       "the driver offers no data format for a GRAPHICS field of class 2 (PLC data)"}}},
    {"a data type the model refuses", [](Project& p) { p.field(0).plc.dataType = 0; },
     {{Severity::Error, Part::Field, 1, 1, 0, "data type 0 is refused by the driver"}}},
    {"an attribute field of a text format",
     [](Project& p) {
         p.field(0).fieldClass = 3;
         p.field(0).plc.dataFormat = kAsciiFormat;
     },
     {{Severity::Error, Part::Field, 1, 1, 0, "for a NUMERIC field of class 3 (attribute)"}}},
    {"fields of the editor's own classes are not the driver's business",
     [](Project& p) {
         p.field(0).fieldClass = 1;
         p.field(0).plc.dataFormat = 0;
     },
     {}},
    {"data block 1", [](Project& p) { p.field(0).plc.dataBlock = 1; },
     {{Severity::Error, Part::Field, 1, 1, 0,
       "address \"DB1 DW0\" lies outside the driver's limits"}}},
    {"a double word at the last element",
     [](Project& p) {
         p.field(0).plc.dataFormat = kDword;
         p.field(0).plc.byteOffset = 510;
     },
     {{Severity::Error, Part::Field, 1, 1, 0,
       "address \"DB10 DD255\" lies outside the driver's limits"}}},
    {"a double word one element lower is fine",
     [](Project& p) {
         p.field(0).plc.dataFormat = kDword;
         p.field(0).plc.byteOffset = 508;
     },
     {}},
    {"a word at an odd byte offset",
     [](Project& p) { p.field(0).plc.byteOffset = 11; },
     {{Severity::Error, Part::Field, 1, 1, 0,
       "does not name the field's place (data block 10, byte offset 11, bit 0)"}}},
    {"a field bound to a tag the project does not hold",
     [](Project& p) {
         p.field(1).plc.flags = uPLCADR::kBoundToTag;
         p.field(1).plc.tagIndex = 7;
         p.tags.push_back(TagElement{});
         p.tags.back().key = 6;
     },
     {{Severity::Error, Part::Field, 2, 1, 0,
       "page 2, field 1 (no. 2): is bound to tag 7, which the project's tags do not hold"}}},
    {"a field bound to a tag the project holds",
     [](Project& p) {
         p.field(1).plc.flags = uPLCADR::kBoundToTag;
         p.field(1).plc.tagIndex = 7;
         p.tags.push_back(TagElement{});
         p.tags.back().key = 7;
     },
     {}},
    {"passwords whose pages are not the project's",
     [](Project& p) {
         p.passwords = {Password("1234", 1, 2), Password("", 0, 0), Password("4321", 2, 3),
                        Password("5555", 0, 1), Password("6666", 2, 1)};
     },
     {{Severity::Error, Part::Password, 0, 0, 3,
       "password 3: its data entry pages 2 to 3 are not pages of the project (it has 2 pages)"},
      {Severity::Error, Part::Password, 0, 0, 4, "password 4: its data entry pages 0 to 1"},
      {Severity::Error, Part::Password, 0, 0, 5, "password 5: its data entry pages 2 to 1"}}},
    {"an empty recipe", [](Project& p) { p.field(1).namesRecipe = 1; },
     {{Severity::Error, Part::Recipe, 2, 1, 0,
       "page 2: the recipe that field 1 names is empty: no numeric or text field of the page "
       "holds a value for any parameter set"}}},
    {"a recipe with a value", [](Project& p) {
         p.field(1).namesRecipe = 1;
         p.values.push_back(ListEntry{});
     },
     {}},
    {"a field below the generic model's display",
     [](Project& p) { s5::FieldRow(p.field(0)) = 3; p.field(0).height = 2; },
     {{Severity::Warning, Part::Field, 1, 1, 0,
       "at row 4, column 1, 5 x 2 characters, runs past the display \"4x20 Text\" (4 rows, 20 "
       "columns, standing in without panel setup)"}}},
    {"a field past the display the panel setup chose",
     [](Project& p) {
         s5::FieldColumn(p.field(1)) = 11;
         reinterpret_cast<std::uint8_t*>(&p.block().record)[kDisplayCodeAt] = 2;
     },
     {{Severity::Error, Part::Field, 2, 1, 0,
       "at row 2, column 12, 10 x 1 characters, runs past the display \"4x20 Text\" (4 rows, "
       "20 columns)"}}},
    {"fields that overlap, named by the later one",
     [](Project& p) {
         p.fields[0].push_back(p.field(0));
         p.fields[0].push_back(p.field(0));
         s5::FieldColumn(p.fields[0][1]) = 5;  // beside the first
         s5::FieldColumn(p.fields[0][2]) = 4;  // over both
         p.fields[0][2].width = 2;
     },
     {{Severity::Warning, Part::Field, 1, 3, 0, "page 1, field 3 (no. 3): overlaps field 1"},
      {Severity::Warning, Part::Field, 1, 3, 0, "page 1, field 3 (no. 3): overlaps field 2"}}},
};

class CheckContentsTest : public ::testing::TestWithParam<Case> {
  protected:
    static void SetUpTestSuite() {
        SetAppFmalloc(&mem::HostAllocate);
        driver_ = new KXCPlcDriver;
        ASSERT_TRUE(driver_->LoadDriver(platform::JoinPath(platform::ProgramFolder(), "K32PLC1.so")));
    }
    static void TearDownTestSuite() {
        delete driver_;
        driver_ = nullptr;
    }
    void SetUp() override { folder_.write("Displays.ini", kTable); }

    TempFolder folder_;
    WindowsFolderScope windows_{folder_.path()};
    static inline KXCPlcDriver* driver_ = nullptr;
};

TEST_P(CheckContentsTest, FindsEachKindOfProblemWhereItIs) {
    const Case& c = GetParam();
    Project project(*driver_);
    c.change(project);
    const CheckReport report = CheckContents(project.laidOut(), driver_);
    EXPECT_EQ(report.pages, 2u);
    ASSERT_EQ(report.findings.size(), c.found.size()) << c.what << ": " << [&] {
        std::string all;
        for (const auto& f : report.findings) all += "\n  " + f.text;
        return all;
    }();
    for (std::size_t i = 0; i < c.found.size(); ++i) {
        const CheckFinding& f = report.findings[i];
        const Expected& e = c.found[i];
        EXPECT_EQ(f.severity, e.severity) << c.what << ": " << f.text;
        EXPECT_EQ(f.part, e.part) << f.text;
        EXPECT_EQ(f.page, e.page) << f.text;
        EXPECT_EQ(f.field, e.field) << f.text;
        EXPECT_EQ(f.item, e.item) << f.text;
        EXPECT_NE(f.text.find(e.says), std::string::npos) << c.what << ":\n" << f.text;
    }
}

INSTANTIATE_TEST_SUITE_P(Projects, CheckContentsTest, ::testing::ValuesIn(kCases));

TEST_F(CheckContentsTest, WithoutADriverOnlyTheFieldsFormatsAreLeftAlone) {
    Project project(*driver_);
    project.field(0).plc.dataFormat = kBcdWord;
    s5::FieldRow(project.field(0)) = 9;
    const CheckReport report = CheckContents(project.laidOut(), nullptr, "no driver here");
    ASSERT_EQ(report.findings.size(), 2u);
    EXPECT_EQ(report.findings[0].severity, Severity::Warning);
    EXPECT_EQ(report.findings[0].page, 1u) << "the field first, the project last";
    EXPECT_EQ(report.findings[1].part, Part::Project);
    EXPECT_EQ(report.findings[1].text,
              "no driver here; the fields' data formats and addresses were not asked about");
}

TEST_F(CheckContentsTest, SummariesAndRefusalsNameTheFirstErrors) {
    Project project(*driver_);
    EXPECT_EQ(CheckContents(project.laidOut(), driver_).summary("p.kpr"),
              "p.kpr: sound (2 pages, 2 fields)");

    Project bad(*driver_);
    bad.field(0).plc.dataFormat = 0;
    bad.field(1).plc.dataBlock = 0;
    s5::FieldRow(bad.field(1)) = 7;
    bad.passwords = {Password("1234", 1, 9), Password("4321", 3, 3)};
    const CheckReport report = CheckContents(bad.laidOut(), driver_);
    EXPECT_EQ(report.errors(), 4u);
    EXPECT_EQ(report.warnings(), 1u);
    EXPECT_EQ(report.summary("p.kpr"), "p.kpr: 4 errors and 1 warning (2 pages, 2 fields)");
    const std::string first = report.firstErrors(2);
    EXPECT_EQ(first.rfind("page 1, field 1 (no. 1): data format 0", 0), 0u) << first;
    EXPECT_NE(first.find("; page 2, field 1 (no. 2): address \"DB0 DW2\""), std::string::npos)
        << first;
    EXPECT_TRUE(first.ends_with("; ...")) << first;

    EXPECT_NO_THROW(RefuseProjectWithErrors("p.kpr", report, true));
    try {
        RefuseProjectWithErrors("p.kpr", report, false);
        ADD_FAILURE() << "a project with errors is refused";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.code, kExitProjectErrors);
        EXPECT_EQ(failure.message.rfind("p.kpr: the project has 4 errors: page 1, field 1", 0),
                  0u)
            << failure.message;
        EXPECT_TRUE(failure.message.ends_with("(kestra check lists them all; --force builds "
                                              "anyway)"))
            << failure.message;
    }
    CheckReport warningsOnly;
    warningsOnly.findings.push_back({Severity::Warning, Part::Field, 1, 1, 0, "w"});
    EXPECT_NO_THROW(RefuseProjectWithErrors("p.kpr", warningsOnly, false));
}

}  // namespace
}  // namespace kestra::host
