// The project record and the sections up to the keyed-entry table: the tables of the record,
// pages with their fields, the text blocks, the string pool and the keyed entries.
#include <algorithm>
#include <optional>

#include "kestra/json_records.h"
#include "kestra/json_text.h"
#include "kestra/json_walk.h"

namespace kestra::json {
namespace {

namespace pr = records::project;
namespace fr = records::field;

constexpr std::size_t kMaxFieldNesting = 8;  // deeper chains are damage, as the store sees it
constexpr std::size_t kMaxS16 = 32767;
constexpr std::size_t kInlineNameRoom = 41;

// ---- Record tables with their lists

// An entry of a list whose member "textString" (at `at` in the record) is a string index.
RecordAt TextedEntry(Codec& c, const RecordTable& table, std::size_t at, StringRule rule) {
    const RecordAt entry = c.record("", table);
    c.stringIndex({"textString"}, c.recordValue(entry, at, 2), rule);
    return entry;
}

constexpr std::size_t kIndexedEntryText = 2, kFolderEntryText = 4, kEntry14Text = 2,
                      kGroupText = 42, kFieldText = 93;

void Groups(Walk& w, bool stored) {
    Codec& c = w.c;
    const std::size_t exportCount = stored ? Le(c.recordBytes(w.project), pr::kGroupCount, 1) : 0;
    std::vector<RecordAt> groups;
    const std::size_t n = c.optionalArray("groups", exportCount, [&](std::size_t) {
        c.beginObject("");
        groups.push_back(c.fields(records::kGroup));
        c.stringIndex({"textString"}, c.recordValue(groups.back(), kGroupText, 2),
                      StringRule::IfNonzero);
        c.markUsed("entries");
        c.keepEnd();
        c.endObject();
    });
    if (stored) c.patch(w.project, pr::kGroupCount, 1, n, "groups");
    c.revisit("groups", [&](std::size_t i) {
        c.reopenObject();
        const std::size_t count = Le(c.recordBytes(groups[i]), 4, 2);
        const std::size_t entries = c.array("entries", count, [&](std::size_t) {
            TextedEntry(c, records::kIndexedEntry, kIndexedEntryText, StringRule::Always);
        });
        c.patch(groups[i], 4, 2, entries, "entries");
        c.endRevisit();
    });
}

void Records310(Walk& w) {
    Codec& c = w.c;
    std::vector<RecordAt> kept;
    const std::size_t n = c.optionalArray(
        "records310", Le(c.recordBytes(w.project), pr::kSection5Count, 2), [&](std::size_t) {
            c.beginObject("");
            kept.push_back(c.fields(records::kRecord310));
            c.markUsed("entries");
            c.keepEnd();
            c.endObject();
        });
    c.patch(w.project, pr::kSection5Count, 2, n, "records310");
    c.revisit("records310", [&](std::size_t i) {
        c.reopenObject();
        const std::size_t count = Le(c.recordBytes(kept[i]), 300, 2);
        const std::size_t entries = c.array("entries", count, [&](std::size_t) { c.hex("", 298); });
        c.patch(kept[i], 300, 2, entries, "entries");
        c.endRevisit();
    });
}

// Section 7: a 208-byte head whose word at 72 counts the entries; an entry is u16 k and
// k x 66 + 10 more bytes.
void VariableBlock(Walk& w) {
    Codec& c = w.c;
    const bool present = Le(c.recordBytes(w.project), pr::kSection7Present, 2) != 0;
    if (c.exporting() ? !present : !c.has("variableBlock")) {
        if (!c.exporting() && present)
            c.failAt("variableBlock", "is missing, while variableBlockPresent is nonzero");
        return;
    }
    if (!c.exporting() && !present)
        c.failAt("variableBlock", "needs a nonzero variableBlockPresent in the project record");
    c.beginObject("variableBlock");
    c.hex("head0", 72);
    auto [countAt, count] = c.count16();
    c.hex("head74", 134);
    const std::size_t n = c.array("entries", count, [&](std::size_t) {
        if (c.exporting()) {
            const std::size_t k = Le(c.peek(2), 0, 2);
            c.put16(static_cast<std::uint16_t>(k));
            c.hexBytes("", k * 66 + 10, k * 66 + 10);
            return;
        }
        auto bytes = c.hexValue("", {}, 0xFFFF * 66 + 10);
        if (bytes.size() < 10 || (bytes.size() - 10) % 66 != 0)
            c.fail("must hold 10 bytes and a multiple of 66 more");
        c.put16(static_cast<std::uint16_t>((bytes.size() - 10) / 66));
        c.emit(bytes);
    });
    c.patch(countAt, 0, 2, n, "entries");
    c.endObject();
}

void TextBlock(Walk& w, std::string_view name, std::size_t lengthAt) {
    Codec& c = w.c;
    const std::size_t stored = Le(c.recordBytes(w.project), lengthAt, 1);
    if (c.exporting() ? stored == 0 : !c.has(name)) return;
    const auto text = c.text(name, stored - 1, 254);
    c.patch(w.project, lengthAt, 1, text.size() + 1, name);
}

void Block108(Walk& w) {
    Codec& c = w.c;
    const bool present = Le(c.recordBytes(w.project), pr::kSection4Present, 2) != 0;
    if (!c.exporting() && present != c.has("block108"))
        c.failAt("block108", present ? "is missing, while block108Present is nonzero"
                                     : "needs a nonzero block108Present in the project record");
    if (present) c.hex("block108", 108);
}

// ---- Pages

bool HasList2(std::span<const std::uint8_t> f) {
    return f[fr::kKind] == 6 || f[fr::kMode] == 2;
}

bool CompactLabelled(std::span<const std::uint8_t> f) {
    return Le(f, fr::kClass, 2) == 2 && f[fr::kMode] == 1 && f[fr::kSubKind] == 12;
}

// Whether loading reads the list's string indices: always list 1, list 2 for a field of kind 6,
// or of mode 2 whose list 2 is not numeric.
bool List2HoldsTexts(std::span<const std::uint8_t> f) {
    return f[fr::kKind] == 6 || (f[fr::kMode] == 2 && Le(f, fr::kList2Numeric, 2) == 0);
}

void FolderList(Codec& c, std::string_view name, const RecordAt& field, std::size_t countAt,
                bool texts) {
    const auto stored = static_cast<std::int16_t>(Le(c.recordBytes(field), countAt, 2));
    if (c.exporting() && stored < 0) c.fail(std::string(name) + " has a negative entry count");
    const std::size_t n =
        c.optionalArray(name, c.exporting() ? std::size_t(stored) : 0, [&](std::size_t) {
            const RecordAt entry = c.record("", records::kFolderEntry);
            if (texts)
                c.stringIndex({"textString"}, c.recordValue(entry, kFolderEntryText, 2),
                              StringRule::UnlessNone);
        });
    c.patch(field, countAt, 2, n, name, kMaxS16);
}

// The label: its length, the record's attribute word (unless compact-labelled), the text.
void Label(Codec& c, const RecordAt& field) {
    const auto f = c.recordBytes(field);
    const bool present = Le(f, fr::kLabel, 4) != 0;
    if (c.exporting() ? !present : !c.has("label")) return;
    c.patch(field, fr::kLabel, 4, 1, "label");
    const std::size_t length = c.exporting() ? c.peek(1)[0] : 0;
    const RecordAt lengthAt{c.position(), 1};
    c.put8(0);
    if (!CompactLabelled(f)) c.put16(static_cast<std::uint16_t>(Le(f, 108, 2)));
    const std::size_t written = c.text("label", length, 255).size();
    c.patch(lengthAt, 0, 1, written, "label");
}

// The counts of a field record that its content gives where the record says it has one.
constexpr std::uint16_t kFieldCounts[] = {fr::kList2Count, fr::kChildCount};
unsigned FieldCountsComputed(Bytes f) {
    return (HasList2(f) ? 1u : 0u) | (f[fr::kFlags] & 1 ? 2u : 0u);
}

void Field(Codec& c, std::size_t depth) {
    c.beginObject("");
    // Importing, a record that stands as export writes it is read in one pass; otherwise what
    // it holds is looked at first, to know which counts are members.
    std::optional<RecordAt> read =
        c.fieldsDeciding(records::kField, kFieldCounts, FieldCountsComputed);
    bool list2, children;
    if (read) {
        const unsigned counts = FieldCountsComputed(c.recordBytes(*read));
        list2 = counts & 1;
        children = counts & 2;
    } else if (c.exporting()) {
        const auto f = c.peek(records::kField.size);
        list2 = HasList2(f);
        children = f[fr::kFlags] & 1;
    } else {
        list2 = c.peekNumber("kind") == 6 || c.peekNumber("mode") == 2;
        children = c.peekNumber("flags") & 1;
    }
    if (!read) {
        std::vector<std::string_view> computed;
        if (list2) computed.push_back("list2Count");
        if (children) computed.push_back("childCount");
        read = c.fields(records::kField, computed);
    }
    const RecordAt field = *read;
    c.stringIndex({"textString"}, c.recordValue(field, kFieldText, 2), StringRule::IfNonzero);
    FolderList(c, "list1", field, fr::kList1Count, true);
    if (list2)
        FolderList(c, "list2", field, fr::kList2Count, List2HoldsTexts(c.recordBytes(field)));
    if (children) {
        if (depth + 1 >= kMaxFieldNesting) c.fail("child field records nested too deep");
        const std::size_t n = c.array("children", Le(c.recordBytes(field), fr::kChildCount, 2),
                                      [&](std::size_t) { Field(c, depth + 1); });
        c.patch(field, fr::kChildCount, 2, n, "children");
    }
    Label(c, field);
    c.endObject();
}

void PageName(Codec& c, RecordAt& page) {
    std::vector<std::uint8_t> name;
    std::vector<std::uint8_t> rest;
    if (c.exporting()) {
        const auto bytes = c.peek(kInlineNameRoom);
        const auto end = std::find(bytes.begin(), bytes.end(), 0);
        if (end == bytes.end()) c.fail("page name has no terminating zero");
        name = c.textValue("name", {bytes.begin(), end}, kInlineNameRoom - 1);
        rest.assign(end + 1, bytes.end());
        if (std::any_of(rest.begin(), rest.end(), [](std::uint8_t b) { return b != 0; }))
            c.hexValue("nameRest", rest, rest.size());
    } else {
        name = c.textValue("name", {}, kInlineNameRoom - 1, true);
        rest.assign(kInlineNameRoom - 1 - name.size(), 0);
        if (c.has("nameRest")) {
            auto given = c.hexValue("nameRest", {}, rest.size());
            if (given.size() != rest.size())
                c.failAt("nameRest", "must hold exactly " + std::to_string(rest.size()) +
                                         " bytes, the room the name leaves");
            rest = std::move(given);
        }
    }
    page = c.fields(records::kPageSingleLanguage);
    name.push_back(0);
    name.insert(name.end(), rest.begin(), rest.end());
    c.patchBytes(page, 0, name);
}

void Page(Walk& w) {
    Codec& c = w.c;
    c.beginObject("");
    RecordAt page;
    if (w.multiLanguage) {
        page = c.fields(records::kPageMultiLanguage);
        c.stringIndex({"nameString"}, c.recordValue(page, 0, 2), StringRule::Always);
    } else {
        PageName(c, page);
    }
    if (w.format <= 0x22)
        c.cstring("text");
    else
        c.text32("text");
    const std::size_t n = c.optionalArray("fields", Le(c.recordBytes(page), 50, 2),
                                          [&](std::size_t) { Field(c, 0); });
    c.patch(page, 50, 2, n, "fields");
    c.markUsed("extension1");
    c.markUsed("extension2");
    c.keepEnd();
    c.endObject();
}

void Pages(Walk& w, bool countKept) {
    Codec& c = w.c;
    const std::size_t stored = Le(c.recordBytes(w.project), pr::kPageCount, 2);
    const std::size_t n = c.array("pages", stored == 0 ? 1 : stored, [&](std::size_t) { Page(w); });
    w.pages = n;
    if (countKept) {
        if (stored != 0) c.failAt("projectRecord", "pageCount may only be given as 0");
        if (n != 1) c.failAt("pages", "must hold exactly one page when pageCount is 0");
        return;
    }
    if (n == 0) c.failAt("pages", "must hold at least one page");
    c.patch(w.project, pr::kPageCount, 2, n, "pages");
}

// ---- String pool and keyed entries

void Strings(Walk& w) {
    Codec& c = w.c;
    const std::size_t n = c.array("strings", Le(c.recordBytes(w.project), pr::kStringCount, 2),
                                  [&](std::size_t) { c.cstring(""); });
    c.patch(w.project, pr::kStringCount, 2, n, "strings");
    c.stringPool(n);
}

constexpr std::uint16_t kKeyedImageTag = 0x4C4B;
constexpr std::size_t kTrailerRoom = 28;
constexpr std::size_t kTextSlot = 104;  // in an element's data (108 from its type word)

bool Texted(std::uint32_t type, std::size_t dataSize) {
    return (type == 143 || type == 144) && dataSize >= kTextSlot + 4;
}

// A trailer text: u8 length and 28 bytes; a plain text when it fits and the rest is zero.
void TrailerText(Codec& c, std::string_view name) {
    bool plain;
    std::size_t length = 0;
    if (c.exporting()) {
        const auto bytes = c.peek(1 + kTrailerRoom);
        length = bytes[0];
        plain = length <= kTrailerRoom && std::all_of(bytes.begin() + 1 + length, bytes.end(),
                                                      [](std::uint8_t b) { return b == 0; });
    } else {
        plain = c.kindOf(name) != ValueKind::Object;
    }
    if (!plain) {
        c.beginObject(name);
        c.u8("length");
        c.hex("bytes", kTrailerRoom);
        c.endObject();
        return;
    }
    const RecordAt lengthAt{c.position(), 1};
    c.put8(0);
    const std::size_t written = c.text(name, length, kTrailerRoom).size();
    c.zeros(kTrailerRoom - written);
    c.patch(lengthAt, 0, 1, written, name);
}

struct TextedElement {
    std::size_t sub, part, element;
};

// Elements that hold a string index in their data, where (counted from the data's start), and
// whether loading reads it only in a project of several languages.
struct IndexedElement {
    std::uint32_t type;
    std::size_t at;
    bool onlyMultiLanguage;
};
constexpr IndexedElement kIndexedElements[] = {{74, 111, false}, {81, 3, true}};

const IndexedElement* StringIndexAt(std::uint32_t type, std::size_t dataSize) {
    for (const IndexedElement& e : kIndexedElements)
        if (e.type == type && dataSize >= e.at + 2) return &e;
    return nullptr;
}

bool Zero(std::span<const std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// An element: its type, its data as hex with the string index (as "textString") and the text
// slot (as the presence of "text") taken out, and its trailer text noted for later.
void Element(Codec& c, std::vector<TextedElement>& texted, TextedElement at, bool multiLanguage) {
    c.beginObject("");
    const std::uint32_t type = c.u16("type");
    std::vector<std::uint8_t> data;
    bool hasText;
    std::uint32_t storedIndex = 0;
    if (c.exporting()) {
        const std::size_t size = Le(c.peek(2), 0, 2);
        c.put16(static_cast<std::uint16_t>(size));
        const auto stored = c.peek(size);
        data.assign(stored.begin(), stored.end());
        hasText = Texted(type, size) && Le(data, kTextSlot, 4) != 0;
        if (Texted(type, size)) std::fill_n(data.begin() + kTextSlot, 4, 0);
        if (const IndexedElement* index = StringIndexAt(type, size)) {
            storedIndex = Le(data, index->at, 2);
            std::fill_n(data.begin() + index->at, 2, 0);
        }
        c.hexValue("data", data, size);
        c.in().skip(size);
    } else {
        data = c.hexValue("data", {}, 0xFFFF);
        hasText = c.has("text");
        if (hasText && !Texted(type, data.size()))
            c.failAt("text",
                     "only elements of type 143 or 144 with at least 108 data bytes have a "
                     "text");
        if (Texted(type, data.size()) && !Zero(std::span(data).subspan(kTextSlot, 4)))
            c.failAt("data", "bytes 104 to 107 must be zero: they say whether \"text\" is given");
        if (const IndexedElement* index = StringIndexAt(type, data.size());
            index && !Zero(std::span(data).subspan(index->at, 2)))
            c.failAt("data", "bytes " + std::to_string(index->at) + " and " +
                                 std::to_string(index->at + 1) +
                                 " must be zero: the string index is \"textString\"");
        c.put16(static_cast<std::uint16_t>(data.size()));
    }
    // The data as the image holds it: the text slot says whether there is a text, and the
    // string index stands in its place.
    if (Texted(type, data.size())) data[kTextSlot] = hasText ? 1 : 0;
    if (const IndexedElement* index = StringIndexAt(type, data.size())) {
        const std::uint32_t value = c.numberValue("textString", Kind::U16, storedIndex);
        data[index->at] = static_cast<std::uint8_t>(value);
        data[index->at + 1] = static_cast<std::uint8_t>(value >> 8);
        if (multiLanguage || !index->onlyMultiLanguage)
            c.stringIndex({"textString"}, value, StringRule::Always);
    }
    c.emit(data);
    if (hasText) {
        texted.push_back(at);
        c.markUsed("text");
        c.keepEnd();
    }
    c.endObject();
}

// What the walk of one keyed entry keeps: whether the project has several languages, and the
// elements that have a trailer text.
struct KeyedWalk {
    Codec& c;
    bool multiLanguage;
    std::vector<TextedElement> texted;
};

void Part(KeyedWalk& k, std::size_t sub, std::size_t part, std::uint32_t& lastSlot) {
    Codec& c = k.c;
    c.beginObject("");
    const std::uint32_t slot = c.u16("slot");
    if (slot < 1 || slot > 7 || slot <= lastSlot)
        c.refuseAt("slot", "must be 1 to 7, each slot once, in rising order");
    lastSlot = slot;
    c.u16("word2");
    auto [countAt, count] = c.count16();
    const std::size_t n = c.array("elements", count, [&](std::size_t i) {
        Element(c, k.texted, {sub, part, i}, k.multiLanguage);
    });
    c.patch(countAt, 0, 2, n, "elements");
    c.endObject();
}

void SubEntry(KeyedWalk& k, std::size_t sub) {
    Codec& c = k.c;
    c.beginObject("");
    c.u16("key");
    auto [countAt, count] = c.count16();
    // The part lengths: computed once the parts are written.
    std::vector<std::size_t> lengths;
    const RecordAt lengthsAt{c.position(), 0};
    if (c.exporting())
        for (std::size_t i = 0; i < count; ++i) lengths.push_back(c.get16());
    else if (c.kindOf("parts") == ValueKind::Array)
        count = static_cast<std::uint32_t>(c.arraySize("parts"));
    c.output().resize(c.output().size() + 2 * count);
    std::uint32_t lastSlot = 0;
    const std::size_t n = c.array("parts", count, [&](std::size_t i) {
        const std::size_t start = c.position();
        Part(k, sub, i, lastSlot);
        if (c.exporting() && c.position() - start != lengths[i])
            c.fail("a keyed entry part is not as long as its length says");
        c.patch(lengthsAt, 2 * i, 2, c.position() - start, "parts");
    });
    c.patch(countAt, 0, 2, n, "parts");
    c.endObject();
}

void KeyedEntry(Codec& c, bool multiLanguage) {
    c.beginObject("");
    c.put16(8);
    c.u16("key");
    auto [countAt, count] = c.count16();
    c.put16(0);
    KeyedWalk k{c, multiLanguage, {}};
    const std::size_t n = c.array("subEntries", count, [&](std::size_t i) { SubEntry(k, i); });
    if (n == 0) c.failAt("subEntries", "must hold at least one sub-entry");
    c.patch(countAt, 0, 2, n, "subEntries");
    // The trailer: the texts of the texted elements, in order of appearance.
    for (const TextedElement& t : k.texted) {
        c.descend("subEntries");
        c.descend(t.sub);
        c.descend("parts");
        c.descend(t.part);
        c.descend("elements");
        c.descend(t.element);
        c.reopenObject();
        TrailerText(c, "text");
        for (int i = 0; i < 7; ++i) c.endRevisit();
    }
    c.endObject();
}

void KeyedTable(Walk& w) {
    Codec& c = w.c;
    c.put16(kKeyedImageTag);
    auto [countAt, count] = c.count16();
    const std::size_t capacity = Le(c.recordBytes(w.project), pr::kKeyedCapacity, 2);
    const RecordAt sizesAt{c.position(), 2 * capacity};
    std::vector<std::size_t> sizes;
    if (c.exporting()) {
        for (std::size_t i = 0; i < capacity; ++i) sizes.push_back(c.get16());
        if (count > capacity) c.fail("more keyed entries than the table has room for");
    }
    c.output().resize(c.output().size() + 2 * capacity);
    const std::size_t n = c.optionalArray("keyedEntries", count, [&](std::size_t i) {
        if (!c.exporting() && i >= capacity)
            c.fail("is beyond the keyedCapacity of the project record (" +
                   std::to_string(capacity) + ")");
        const std::size_t start = c.position();
        KeyedEntry(c, w.multiLanguage);
        if (c.exporting() && c.position() - start != sizes[i])
            c.fail("a keyed entry is not as long as the size table says");
        c.patch(sizesAt, 2 * i, 2, c.position() - start, "keyedEntries");
    });
    c.patch(countAt, 0, 2, n, "keyedEntries");
}

}  // namespace

void WalkProjectSections(Walk& w) {
    Codec& c = w.c;
    bool groupsStored, pageCountKept, nodeAChildren;
    if (c.exporting()) {
        const auto r = c.peek(records::kProjectRecord.size);
        groupsStored = Le(r, pr::kSection2aCount, 2) == 0 && r[pr::kGroupCount] > 0;
        pageCountKept = Le(r, pr::kPageCount, 2) == 0;
        nodeAChildren = r[pr::kNodeA + records::node::kFlags] & 1;
    } else {
        groupsStored = c.has("groups");
        pageCountKept = nodeAChildren = false;
        c.peekInside("projectRecord", [&] {
            pageCountKept = c.has("pageCount");
            c.peekInside("nodeA", [&] { nodeAChildren = c.peekFlag("flags"); });
        });
    }
    std::vector<std::string_view> computed;
    if (groupsStored) computed.push_back("groupCount");
    if (!pageCountKept) computed.push_back("pageCount");
    if (nodeAChildren) computed.push_back("nodeA.childCount");
    c.beginObject("projectRecord");
    w.project = c.fields(records::kProjectRecord, computed);
    c.stringIndex({"titleString"}, c.recordValue(w.project, 0, 2), StringRule::Always);
    c.stringIndex({"nodeA", "nameString"},
                  c.recordValue(w.project, pr::kNodeA + records::node::kName, 2),
                  StringRule::IfNonzero);
    c.endObject();

    const auto count1 = Le(c.recordBytes(w.project), pr::kSection1Count, 1);
    const std::size_t n1 =
        c.optionalArray("entries20", count1, [&](std::size_t) { c.hex("", 20); });
    c.patch(w.project, pr::kSection1Count, 1, n1, "entries20");

    const std::size_t n2a = c.optionalArray(
        "listEntries", Le(c.recordBytes(w.project), pr::kSection2aCount, 2), [&](std::size_t) {
            TextedEntry(c, records::kIndexedEntry, kIndexedEntryText, StringRule::IfNonzero);
        });
    c.patch(w.project, pr::kSection2aCount, 2, n2a, "listEntries");
    if (!c.exporting()) {
        const bool list2a = Le(c.recordBytes(w.project), pr::kSection2aCount, 2) != 0;
        if (groupsStored && list2a)
            c.failAt("groups", "cannot be stored together with listEntries");
        if (!groupsStored && !list2a && c.recordBytes(w.project)[pr::kGroupCount] != 0)
            c.failAt("projectRecord",
                     "groupCount must be 0 when there are neither groups nor listEntries");
    }
    Groups(w, groupsStored);
    Pages(w, pageCountKept);
    Block108(w);
    Records310(w);
    const std::size_t n6 =
        c.optionalArray("listEntries6", Le(c.recordBytes(w.project), pr::kSection6Count, 2),
                        [&](std::size_t) { c.record("", records::kFolderEntry); });
    c.patch(w.project, pr::kSection6Count, 2, n6, "listEntries6");
    VariableBlock(w);
    TextBlock(w, "textBlock1", pr::kText1Length);
    TextBlock(w, "textBlock2", pr::kText2Length);
    const std::size_t n9 = c.optionalArray(
        "entries14", Le(c.recordBytes(w.project), pr::kSection9Count, 2),
        [&](std::size_t) { TextedEntry(c, records::kEntry14, kEntry14Text, StringRule::Always); });
    c.patch(w.project, pr::kSection9Count, 2, n9, "entries14");
    Strings(w);
    KeyedTable(w);
}

}  // namespace kestra::json
