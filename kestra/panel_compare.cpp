#include "kestra/panel_compare.h"

#include "platform/memory.h"
#include "plc_s5/tables.h"
#include "plc_s5/type1_image.h"

namespace kestra::host {

namespace {

template <typename T>
std::span<const T> Records(mem::Ref ref, std::size_t count) {
    if (ref == 0 || count == 0) return {};
    const auto* first = reinterpret_cast<const T*>(mem::At(ref, 0, count * sizeof(T)));
    return first ? std::span<const T>(first, count) : std::span<const T>();
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::optional<std::string> CompareField(const FieldRecord& a, const FieldRecord& b) {
    if (s5::FieldRow(a) != s5::FieldRow(b) || s5::FieldColumn(a) != s5::FieldColumn(b))
        return "its place differs";
    if (a.fieldClass != b.fieldClass) return "its class differs";
    if (a.fieldClass != s5::kClassPlcData) return std::nullopt;
    // Word formats address whole words: the low bit of the offset does not travel.
    if (a.plc.dataBlock != b.plc.dataBlock || (a.plc.byteOffset | 1) != (b.plc.byteOffset | 1))
        return "its PLC address differs";
    if (a.width != b.width) return "its width differs";
    return std::nullopt;
}

std::optional<std::string> ComparePages(const ProjectBlock& a, const ProjectBlock& b) {
    const auto pagesA = Records<PageRecord>(a.record.pages, a.record.pageCount);
    const auto pagesB = Records<PageRecord>(b.record.pages, b.record.pageCount);
    if (pagesA.size() != pagesB.size())
        return std::to_string(pagesA.size()) + " pages became " + std::to_string(pagesB.size());
    for (std::size_t p = 0; p < pagesA.size(); ++p) {
        const std::string page = "page " + std::to_string(p + 1);
        const std::string nameA = ProjectText(a, pagesA[p].nameId());
        const std::string nameB = ProjectText(b, pagesB[p].nameId());
        if (nameA != nameB)
            return page + ": its name " + Quoted(nameA) + " became " + Quoted(nameB);
        const auto fieldsA = Records<FieldRecord>(pagesA[p].fields, pagesA[p].fieldCount);
        const auto fieldsB = Records<FieldRecord>(pagesB[p].fields, pagesB[p].fieldCount);
        if (fieldsA.size() != fieldsB.size())
            return page + ": " + std::to_string(fieldsA.size()) + " fields became " +
                   std::to_string(fieldsB.size());
        for (std::size_t f = 0; f < fieldsA.size(); ++f)
            if (auto difference = CompareField(fieldsA[f], fieldsB[f]))
                return page + ", field " + std::to_string(f + 1) + ": " + *difference;
    }
    return std::nullopt;
}

std::optional<std::string> CompareAlarms(const ProjectBlock& a, const ProjectBlock& b) {
    const auto alarmsA = Records<s5::AlarmRecord>(a.record.section2a, a.record.section2aCount);
    const auto alarmsB = Records<s5::AlarmRecord>(b.record.section2a, b.record.section2aCount);
    for (std::size_t i = 0; i < alarmsA.size() && i < s5::kAlarmCount; ++i) {
        const std::string alarm = "alarm " + std::to_string(i + 1);
        if (i >= alarmsB.size()) return alarm + " is missing";
        if (alarmsA[i].priority != alarmsB[i].priority) return alarm + ": its priority differs";
        // The project's text by its index, as the driver writes it; the image's by its flag.
        const std::string expected =
            s5::AlarmNamesText(alarmsA[i]) ? ProjectText(a, alarmsA[i].textId) : "";
        const std::string found =
            alarmsB[i].flags & s5::kAlarmHasText ? ProjectText(b, alarmsB[i].textId) : "";
        if (expected != found)
            return alarm + ": its text " + Quoted(expected) + " became " + Quoted(found);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> CompareReadBack(const ProjectBlock& original, const ProjectBlock& back) {
    const std::string titleA = ProjectText(original, original.record.titleId);
    const std::string titleB = ProjectText(back, back.record.titleId);
    if (titleA.substr(0, 200) != titleB)
        return "the title " + Quoted(titleA) + " became " + Quoted(titleB);
    if (auto difference = ComparePages(original, back)) return difference;
    return CompareAlarms(original, back);
}

}  // namespace kestra::host
