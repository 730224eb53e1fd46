// What a check finds in a loaded project: its fields asked about through the driver's exports
// as the field dialog asks (the format test, the address written and read back), its fields
// laid on the display its pages are shown on, its tags, passwords and recipes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <optional>
#include <span>
#include <string>

#include "extension_classes/plc_driver.h"
#include "kestra/check.h"
#include "kestra/driver.h"
#include "kestra/panel_display.h"
#include "platform/module.h"
#include "plc_s5/field_context.h"
#include "plc_s5/k32plc1.h"
#include "plc_s5/type1_image.h"
#include "utilities/blocks.h"
#include "utilities/passwords.h"

namespace kestra::host {

namespace {

using Severity = CheckFinding::Severity;
using Part = CheckFinding::Part;

constexpr std::uint16_t kPlcDataClass = 2;
constexpr std::uint16_t kAttributeClass = 3;
// The format tests' filter flag of a field that writes to the PLC (modes 2 and 3).
constexpr DWORD kWritingNeeded = 4;
constexpr std::uint8_t kNumericKind = 0;
constexpr std::uint8_t kTextKind = FieldRecord::kTextKind;

template <typename T>
std::span<T> Table(mem::Ref ref, std::size_t count) {
    return blocks::Records<T>(ref, count).value_or(std::span<T>());
}

std::span<PageRecord> PagesOf(const ProjectBlock& project) {
    return Table<PageRecord>(project.record.pages, project.record.pageCount);
}

std::span<FieldRecord> FieldsOf(const PageRecord& page) {
    return Table<FieldRecord>(page.fields, page.fieldCount);
}

// Where a field lies on its page, in character cells; a field without a size takes one cell.
struct Box {
    int row, column, width, height;

    static Box Of(const FieldRecord& field) {
        return {s5::FieldRow(field), s5::FieldColumn(field), std::max<int>(field.width, 1),
                std::max<int>(field.height, 1)};
    }
    int bottom() const { return row + height; }
    int right() const { return column + width; }
    bool overlaps(const Box& other) const {
        return row < other.bottom() && other.row < bottom() && column < other.right() &&
               other.column < right();
    }
};

// A field as the findings name it.
struct FieldName {
    std::size_t page;    // from 0
    std::size_t place;   // on the page, from 0
    std::size_t number;  // in the printed PLC list, from 0

    std::string text() const {
        return "page " + std::to_string(page + 1) + ", field " + std::to_string(place + 1) +
               " (no. " + std::to_string(number + 1) + ")";
    }
};

class Findings {
  public:
    explicit Findings(CheckReport& report) : report_(report) {}

    void field(Severity severity, const FieldName& name, const std::string& what) {
        report_.findings.push_back(
            {severity, Part::Field, name.page + 1, name.place + 1, 0, name.text() + ": " + what});
    }
    void add(Severity severity, Part part, std::size_t page, std::size_t field, std::size_t item,
             const std::string& text) {
        report_.findings.push_back({severity, part, page, field, item, text});
    }

  private:
    CheckReport& report_;
};

// The driver asked about a field, as its field dialog asks: through the format test, and by
// writing the field's address as text and reading it back.
class DriverQuestions {
  public:
    explicit DriverQuestions(KXCPlcDriver& driver)
        : driver_(driver),
          tagContextValid_(reinterpret_cast<decltype(&IsTagContextValid)>(
              GetProcAddress(driver.GetHandle(), "IsTagContextValid"))) {}

    // What the driver refuses of the field's data type and data format; nothing when it
    // accepts both.
    std::optional<std::string> formatProblem(const ProjectBlock& project,
                                             const FieldRecord& field) {
        uPLCSETUP setup = FieldPlcSetup(project, field);
        FieldRecord copy = field;
        uPLCADR ref = field.plc;
        const WORD type = field.kind();
        const WORD fieldClass = field.fieldClass;
        const DWORD filter = field.mode == 2 || field.mode == 3 ? kWritingNeeded : 0;
        const std::string what = "a " + typeName(type) + " field of " + className(fieldClass);
        if (!driver_.IsFormatSupported(&setup, type, &ref, fieldClass, filter != 0))
            return "the driver offers no data format for " + what;
        if (tagContextValid_ && !dataTypePasses(copy, setup, ref, filter))
            return "data type " + std::to_string(ref.dataType.get()) +
                   " is refused by the driver for " + what;
        _tagDEFIELD context{};
        context.version = s5::kFieldContextVersion;
        context.field = &copy;
        context.project = const_cast<ProjectBlock*>(&project);
        context.setup = &setup;
        if (driver_.IsValidAddressAndDataFormat(&context, &ref, ref.dataFormat)) return std::nullopt;
        const unsigned format = ref.dataFormat;
        const std::string name = formatName(format);
        if (name.empty())
            return "data format " + std::to_string(format) +
                   " is none the driver knows (the PLC list prints it as ERR); the driver "
                   "refuses it for " +
                   what;
        return "data format " + std::to_string(format) + " (" + name +
               ") is refused by the driver for " + what;
    }

    // What is wrong with the field's address; nothing when the driver writes it and reads the
    // text back as the same place.
    std::optional<std::string> addressProblem(const ProjectBlock& project,
                                              const FieldRecord& field) {
        uPLCSETUP setup = FieldPlcSetup(project, field);
        uPLCADR ref = field.plc;
        char text[256] = "";
        const std::string place = "data block " + std::to_string(ref.dataBlock) +
                                  ", byte offset " + std::to_string(ref.byteOffset.get()) +
                                  ", bit " + std::to_string(ref.bit);
        if (!driver_.GetLogicalAddress(text, &setup, &ref))
            return "its address (" + place +
                   ") cannot be written by the driver: it lies outside the driver's limits";
        text[sizeof text - 1] = '\0';
        uPLCADR back = field.plc;
        if (!driver_.SetLogicalTag(text, &setup, &back))
            return "address \"" + std::string(text) + "\" lies outside the driver's limits";
        if (back.dataBlock != ref.dataBlock || back.byteOffset != ref.byteOffset ||
            back.bit != ref.bit || back.dataType != ref.dataType)
            return "address \"" + std::string(text) + "\" does not name the field's place (" +
                   place + "): the place lies outside the driver's limits for its data format";
        return std::nullopt;
    }

  private:
    // The driver's data type test for a field's type and class (a tag context names the field
    // at byte 44, its PLC's setup block at 52 and the filter flags at 60).
    bool dataTypePasses(const FieldRecord& field, const uPLCSETUP& setup, const uPLCADR& ref,
                        DWORD filter) {
        std::uint8_t context[64] = {};
        const FieldRecord* fieldPointer = &field;
        const uPLCSETUP* setupPointer = &setup;
        std::memcpy(context + 44, &fieldPointer, sizeof fieldPointer);
        std::memcpy(context + 52, &setupPointer, sizeof setupPointer);
        WriteLe16(context + 60, static_cast<std::uint16_t>(filter));
        return tagContextValid_(context, &ref) != 0;
    }

    std::string typeName(WORD type) { return FieldTypeName(driver_.GetHandle(), type); }
    static std::string className(WORD fieldClass) {
        const char* meaning = fieldClass == kPlcDataClass     ? " (PLC data)"
                              : fieldClass == kAttributeClass ? " (attribute)"
                                                              : "";
        return "class " + std::to_string(fieldClass) + meaning;
    }
    // The data format's name; "" for one the driver does not know.
    std::string formatName(unsigned format) {
        std::string name;
        driver_.GetDataFormatStringFromId(static_cast<WORD>(format), name);
        return name;
    }

    KXCPlcDriver& driver_;
    decltype(&IsTagContextValid) tagContextValid_;
};

bool HoldsTag(std::span<const TagElement> tags, std::uint16_t key) {
    return key != 0 && std::any_of(tags.begin(), tags.end(),
                                   [key](const TagElement& tag) { return tag.key == key; });
}

void CheckDriverView(Findings& out, const ProjectBlock& project, KXCPlcDriver& driver) {
    DriverQuestions ask(driver);
    const auto tags = Table<const TagElement>(project.ext.tagFolder.elements,
                                              project.ext.tagFolder.count);
    std::size_t number = 0;
    const auto pages = PagesOf(project);
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const auto fields = FieldsOf(pages[p]);
        for (std::size_t f = 0; f < fields.size(); ++f, ++number) {
            const FieldRecord& field = fields[f];
            if (field.fieldClass != kPlcDataClass && field.fieldClass != kAttributeClass)
                continue;
            const FieldName name{p, f, number};
            std::optional<std::string> problem = ask.formatProblem(project, field);
            if (!problem) problem = ask.addressProblem(project, field);
            if (problem) out.field(Severity::Error, name, *problem);
            if ((field.plc.flags & uPLCADR::kBoundToTag) && !HoldsTag(tags, field.plc.tagIndex))
                out.field(Severity::Error, name,
                          "is bound to tag " + std::to_string(field.plc.tagIndex.get()) +
                              ", which the project's tags do not hold");
        }
    }
}

}  // namespace

std::string DescribeDisplay(const PanelDisplay& display) {
    std::string text = "the display ";
    if (!display.name.empty()) text += "\"" + display.name + "\" ";
    text += "(" + std::to_string(display.rows) + " rows, " + std::to_string(display.columns) +
            " columns";
    if (display.source == PanelDisplay::Source::GenericModel)
        text += ", standing in without panel setup";
    else if (display.source == PanelDisplay::Source::Fallback)
        text += "; the display table names none";
    text += ")";
    return text;
}

namespace {

// Fields past the display, and fields that overlap (each pair once, named by the later field).
void CheckLayout(Findings& out, const ProjectBlock& project) {
    const PanelDisplay display = PanelDisplayOf(project);
    const Severity outside = display.source == PanelDisplay::Source::PanelSetup
                                 ? Severity::Error
                                 : Severity::Warning;
    std::size_t number = 0;
    const auto pages = PagesOf(project);
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const auto fields = FieldsOf(pages[p]);
        std::vector<Box> boxes;
        for (const FieldRecord& field : fields) boxes.push_back(Box::Of(field));
        for (std::size_t f = 0; f < boxes.size(); ++f) {
            const Box& b = boxes[f];
            if (!display.holds(b.row, b.column, b.width, b.height))
                out.field(outside, {p, f, number + f},
                          "at row " + std::to_string(b.row + 1) + ", column " +
                              std::to_string(b.column + 1) + ", " + std::to_string(b.width) +
                              " x " + std::to_string(b.height) + " characters, runs past " +
                              DescribeDisplay(display));
        }
        // By rows, so that only fields that share rows are compared.
        std::vector<std::size_t> byRow(boxes.size());
        std::iota(byRow.begin(), byRow.end(), std::size_t{0});
        std::stable_sort(byRow.begin(), byRow.end(),
                         [&](std::size_t a, std::size_t b) { return boxes[a].row < boxes[b].row; });
        std::vector<std::pair<std::size_t, std::size_t>> pairs;
        for (std::size_t i = 0; i < byRow.size(); ++i)
            for (std::size_t j = i + 1;
                 j < byRow.size() && boxes[byRow[j]].row < boxes[byRow[i]].bottom(); ++j)
                if (boxes[byRow[i]].overlaps(boxes[byRow[j]]))
                    pairs.emplace_back(std::min(byRow[i], byRow[j]), std::max(byRow[i], byRow[j]));
        std::sort(pairs.begin(), pairs.end(),
                  [](const auto& a, const auto& b) { return std::pair(a.second, a.first) <
                                                            std::pair(b.second, b.first); });
        for (const auto& [first, later] : pairs)
            out.field(Severity::Warning, {p, later, number + later},
                      "overlaps field " + std::to_string(first + 1) + " of the page");
        number += fields.size();
    }
}

void CheckPasswords(Findings& out, const ProjectBlock& project) {
    const std::size_t pages = PagesOf(project).size();
    const auto passwords =
        Table<const PasswordRecord>(project.record.section1, project.record.section1Count);
    for (std::size_t i = 0; i < passwords.size(); ++i) {
        const PasswordRecord& password = passwords[i];
        if (password.code[0] == '\0') continue;
        const unsigned first = password.firstPage, last = password.lastPage;
        if (first >= 1 && first <= last && last <= pages) continue;
        out.add(Severity::Error, Part::Password, 0, 0, i + 1,
                "password " + std::to_string(i + 1) + ": its data entry pages " +
                    std::to_string(first) + " to " + std::to_string(last) +
                    " are not pages of the project (it has " + Counted(pages, "page") + ")");
    }
}

// A page's recipe is its numeric and text fields' values, one folder (list 1) each.
void CheckRecipes(Findings& out, const ProjectBlock& project) {
    const auto pages = PagesOf(project);
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const auto fields = FieldsOf(pages[p]);
        const auto naming = std::find_if(fields.begin(), fields.end(),
                                         [](const FieldRecord& f) { return f.namesRecipe == 1; });
        if (naming == fields.end()) continue;
        const bool holdsValues = std::any_of(fields.begin(), fields.end(), [](const FieldRecord& f) {
            return (f.kind() == kNumericKind || f.kind() == kTextKind) && f.list1.count > 0;
        });
        if (holdsValues) continue;
        const auto place = static_cast<std::size_t>(naming - fields.begin());
        out.add(Severity::Error, Part::Recipe, p + 1, place + 1, 0,
                "page " + std::to_string(p + 1) + ": the recipe that field " +
                    std::to_string(place + 1) +
                    " names is empty: no numeric or text field of the page holds a value for "
                    "any parameter set");
    }
}

}  // namespace

std::size_t CheckReport::errors() const {
    return static_cast<std::size_t>(
        std::count_if(findings.begin(), findings.end(), [](const auto& f) { return f.error(); }));
}

std::size_t CheckReport::warnings() const {
    return findings.size() - errors();
}

std::string CheckReport::summary(const std::string& name) const {
    const std::string counts =
        " (" + Counted(pages, "page") + ", " + Counted(fields, "field") + ")";
    if (errors() > 0)
        return name + ": " + Counted(errors(), "error") + " and " + Counted(warnings(), "warning") +
               counts;
    if (warnings() > 0) return name + ": sound with " + Counted(warnings(), "warning") + counts;
    return name + ": sound" + counts;
}

std::string CheckReport::firstErrors(std::size_t most) const {
    std::string text;
    std::size_t named = 0;
    for (const CheckFinding& finding : findings) {
        if (!finding.error()) continue;
        if (named == most) return text + "; ...";
        text += (named++ ? "; " : "") + finding.text;
    }
    return text;
}

CheckReport CheckContents(const ProjectBlock& project, KXCPlcDriver* driver,
                          const std::string& withoutDriver) {
    CheckReport report;
    Findings out(report);
    const auto pages = PagesOf(project);
    report.pages = pages.size();
    for (const PageRecord& page : pages) report.fields += FieldsOf(page).size();
    if (driver) {
        CheckDriverView(out, project, *driver);
    } else {
        std::string why = withoutDriver;
        if (!why.empty() && why.back() == '.') why.pop_back();
        out.add(Severity::Warning, Part::Project, 0, 0, 0,
                why + "; the fields' data formats and addresses were not asked about");
    }
    CheckLayout(out, project);
    CheckPasswords(out, project);
    CheckRecipes(out, project);
    // Page by page, each page's fields in order; the project's own findings last.
    std::stable_sort(report.findings.begin(), report.findings.end(),
                     [](const CheckFinding& a, const CheckFinding& b) {
                         auto key = [](const CheckFinding& f) {
                             return std::pair(f.page == 0 ? SIZE_MAX : f.page, f.field);
                         };
                         return key(a) < key(b);
                     });
    return report;
}

void RefuseProjectWithErrors(const std::string& what, const CheckReport& report, bool force) {
    if (report.errors() == 0) return;
    if (!force)
        Fail(kExitProjectErrors, what + ": the project has " + Counted(report.errors(), "error") +
                                     ": " + report.firstErrors() +
                                     " (kestra check lists them all; --force builds anyway)");
    for (const CheckFinding& finding : report.findings)
        if (finding.error())
            std::fprintf(stderr, "kestra: %s: warning: %s\n", what.c_str(), finding.text.c_str());
}

}  // namespace kestra::host
