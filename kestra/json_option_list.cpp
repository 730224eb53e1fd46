// The option block (section 13) and the list section (section 17).
#include <algorithm>

#include "kestra/json_records.h"
#include "kestra/json_walk.h"

namespace kestra::json {
namespace {

// ---- Option block

struct TypedLayout {
    std::uint16_t fixed;
    std::uint8_t texts;
    std::uint8_t words;
};
constexpr TypedLayout kTypedLayouts[12] = {
    {4, 4, 0},   {4, 4, 0},    {117, 4, 0}, {230, 8, 0}, {450, 8, 4}, {113, 5, 5},
    {121, 8, 0}, {1098, 6, 0}, {819, 7, 0}, {620, 6, 0}, {10, 48, 0}, {534, 5, 0},
};
constexpr std::size_t kTypedHead = 89;  // u32 size and the 85-byte common head

// Whether the data after the description holds what the element's type calls for: its fixed
// part (type 8 adds its sub-records), its zero-terminated texts and its words.
bool TypedDataFits(std::uint32_t type, std::span<const std::uint8_t> data) {
    const TypedLayout& layout = kTypedLayouts[type];
    std::size_t fixed = layout.fixed, texts = layout.texts;
    if (data.size() < fixed) return false;
    if (type == 8) {
        fixed += data[818] * std::size_t{752};
        texts += data[818] * std::size_t{6};
    }
    if (data.size() < fixed) return false;
    std::size_t at = fixed;
    for (std::size_t i = 0; i < texts; ++i) {
        const auto end = std::find(data.begin() + at, data.end(), 0);
        if (end == data.end()) return false;
        at = static_cast<std::size_t>(end - data.begin()) + 1;
    }
    return data.size() - at >= layout.words * std::size_t{2};
}

// A typed element: its size (computed), type, head, font, values, description and data.
void TypedElement(Codec& c) {
    c.beginObject("");
    const RecordAt sizeAt{c.position(), 4};
    std::size_t size = 0;
    if (c.exporting()) {
        size = Le(c.peek(4), 0, 4);
        if (size < kTypedHead) c.fail("option element shorter than its head");
    }
    c.put32(0);
    const std::uint32_t type = c.u16("type");
    if (type >= 12) {
        if (c.exporting()) c.fail("option element of unknown type " + std::to_string(type));
        c.failAt("type", "must be 0 to 11");
    }
    c.hex("head", 25);
    c.hex("font", 50);
    c.hex("values", 8);
    const std::size_t start = c.position();
    c.cstring("description");
    const std::size_t used = c.position() - start;
    if (c.exporting() && used > size - kTypedHead)
        c.fail("option element description runs past the element");
    const Bytes data = c.exporting() ? c.hexBytes("data", size - kTypedHead - used, size)
                                     : c.hexBytes("data", 0, 0xFFFFFF);
    if (!TypedDataFits(type, data))
        c.refuseAt("data", "is too short for an element of type " + std::to_string(type));
    c.patch(sizeAt, 0, 4, c.position() - sizeAt.offset, "data");
    c.endObject();
}

struct OptionForm {
    bool layout2;
    bool longElements;
};

// The string indices of a 28-byte element, at 20 and 22.
constexpr std::size_t kElementTexts[] = {20, 22};

// A list (the member `name`, "" for an element): its 8-byte head and its elements. Returns the
// element count.
std::size_t OptionList(Codec& c, const OptionForm& form, std::string_view name) {
    c.beginObject(name);
    const RecordAt head = c.fields(records::kOptionListHead);
    const std::size_t n = c.array("elements", Le(c.recordBytes(head), 6, 2), [&](std::size_t) {
        if (form.layout2) {
            TypedElement(c);
        } else if (form.longElements) {
            const Bytes element = c.hex("", 28);
            for (const std::size_t at : kElementTexts)
                c.stringIndexInBytes(at, Le(element, at, 2), StringRule::UnlessZeroOrNone);
        } else {
            c.zeros(8);
            c.u16("");
            c.zeros(2);
        }
    });
    c.patch(head, 6, 2, n, "elements");
    c.endObject();
    return n;
}

constexpr FieldEntry kOptionHeadFields[] = {
    {0, 2, "elementForm", Kind::U16},      {2, 2, "check2", Kind::U16},
    {4, 2, "check4", Kind::U16},           {6, 2, "layout", Kind::U16},
    {8, 1, "level", Kind::Derived},        {14, 2, "word14", Kind::U16},
    {16, 20, "listCounts", Kind::Derived}, {36, 2, "seriesCount", Kind::Derived},
};
constexpr RecordTable kOptionHead{38, kOptionHeadFields};

}  // namespace

void WalkOptionBlock(Walk& w) {
    Codec& c = w.c;
    c.beginObject("optionBlock");
    const RecordAt head = c.fields(kOptionHead);
    const auto h = c.recordBytes(head);
    const OptionForm form{Le(h, 6, 2) > 2, Le(h, 0, 2) > 2};
    if (Le(h, 2, 2) == 0 || Le(h, 4, 2) == 0)
        c.fail("check2 and check4 must both be nonzero, or the block is not read");
    if (form.layout2 && Le(h, 6, 2) == 4) c.failAt("layout", "4 is read as 3; write 3");
    // Layout 2 with a text list or an extra list has a longer head with their counts.
    bool leveled;
    std::uint32_t textCount = 0, extraCount = 0;
    if (c.exporting()) {
        leveled = h[8] != 0;
        if (leveled) {
            const auto counts = c.peek(4);
            textCount = Le(counts, 0, 2);
            extraCount = Le(counts, 2, 2);
        }
    } else {
        if (!form.layout2 && (c.has("textList") || c.has("extraList")))
            c.fail("only layout 2 (layout above 2) has a text list and an extra list");
        leveled = form.layout2 && (c.has("textList") || c.has("extraList"));
    }
    if (leveled) c.zeros(4);  // the counts, written below
    c.patch(head, 8, 1, leveled ? 3 : 0, "layout");
    c.fixedArray("lists", 10, [&](std::size_t i) {
        const bool present =
            c.exporting() ? Le(c.recordBytes(head), 16 + 2 * i, 2) != 0 : !c.currentIsNull();
        if (!present) return;
        const std::size_t n = OptionList(c, form, "");
        if (n == 0) c.fail("an empty list is written as null");
        c.patch(head, 16 + 2 * i, 2, n, "lists");
    });
    const std::size_t series = c.array("series", Le(c.recordBytes(head), 36, 2),
                                       [&](std::size_t) { OptionList(c, form, ""); });
    c.patch(head, 36, 2, series, "series");
    if (leveled) {
        const RecordAt countsAt{head.offset + 38, 4};
        auto [countAt, count] = c.count16();
        if (c.exporting() && count != textCount) c.fail("text list count disagrees with its head");
        const std::size_t n = c.optionalArray("textList", count, [&](std::size_t) {
            c.beginObject("");
            c.text16("text");
            c.u16("value");
            c.endObject();
        });
        c.patch(countAt, 0, 2, n, "textList");
        c.patch(countsAt, 0, 2, n, "textList");
        const bool extra = c.exporting() ? extraCount != 0 : c.has("extraList");
        if (extra) {
            const std::size_t e = OptionList(c, form, "extraList");
            if (e == 0) c.failAt("extraList", "an empty extra list is left out");
            c.patch(countsAt, 2, 2, e, "extraList");
        }
    }
    c.endObject();
}

// ---- List section

namespace {

void Text16Array(Codec& c, std::string_view name, std::size_t n) {
    c.fixedArray(name, n, [&](std::size_t) { c.text16(""); });
}

void Numbers16(Codec& c, std::string_view name, std::size_t n) {
    c.fixedArray(name, n, [&](std::size_t) { c.u16(""); });
}

void ItemList(Codec& c) {
    c.beginObject("");
    c.u16("word0");
    auto [countAt, count] = c.count16();
    c.zeros(20);
    const std::size_t n = c.array("items", count, [&](std::size_t) {
        c.beginObject("");
        c.zeros(20);
        c.u16("word0");
        c.u16("word2");
        const std::uint32_t kind = c.u16("kind");
        c.u16("word6");
        if (kind == 5 || kind == 6) c.text16("text");
        c.endObject();
    });
    c.patch(countAt, 0, 2, n, "items");
    c.endObject();
}

void ListNode(Codec& c) {
    c.beginObject("");
    c.text16("name");
    Numbers16(c, "values", 9);
    c.u8("byte22");
    c.zeros(41);
    c.fixedArray("itemLists", 2, [&](std::size_t) { ItemList(c); });
    auto [countAt, count] = c.count16();
    c.zeros(20);
    const std::size_t n = c.array("entries", count, [&](std::size_t) {
        Numbers16(c, "", 9);
        c.zeros(20);
    });
    c.patch(countAt, 0, 2, n, "entries");
    c.endObject();
}

}  // namespace

void WalkListSection(Codec& c) {
    c.beginObject("listSection");
    Numbers16(c, "headWords", 2);
    c.zeros(20);
    Numbers16(c, "headValues", 5);
    c.zeros(30);
    c.text16("title");
    c.u32("settingsValue");
    Numbers16(c, "settings", 8);
    c.u8("settingsByte");
    c.zeros(41);
    Text16Array(c, "texts", 21);
    c.zeros(300);
    auto [columnsAt, columns] = c.count16();
    c.zeros(20);
    const std::size_t n = c.array("columns", columns, [&](std::size_t) {
        c.beginObject("");
        c.u16("word0");
        c.u16("word2");
        c.u32("value4");
        c.u16("word8");
        c.zeros(20);
        c.endObject();
    });
    c.patch(columnsAt, 0, 2, n, "columns");
    c.zeros(20);
    auto [nodesAt, nodes] = c.count16();
    const std::size_t m = c.array("nodes", nodes, [&](std::size_t) { ListNode(c); });
    c.patch(nodesAt, 0, 2, m, "nodes");
    c.endObject();
}

}  // namespace kestra::json
