// The project record's tables: sections 1, 2a or 2b, and 4 to 9.
#include "kestra/project_sections.h"
#include "project_store/store.h"

namespace kestra::store {
namespace {

// Reads count entries of `size` bytes; a new global block holding them, or 0 for none (or
// when the block cannot be had: the caller then sets the count to 0 and loading goes on).
Ref readGlobalTable(LoadContext& c, std::size_t count, std::size_t size, std::string_view what) {
    auto bytes = c.in.take(c.in.needBytes(count, size, what), what);
    return count ? c.blocks.global(bytes) : 0;
}

// Tables whose records are followed, after all of them, by each record's own list: the
// groups with their list entries, the section 5 records with their 298-byte entries.
template <typename Record>
struct ListedRecords {
    le16 Record::*count;
    Slot Record::*list;
    std::size_t entrySize;
    std::string_view what;

    std::optional<std::span<const std::byte>> listOf(const Record& r) const {
        return BytesAt(r.*list, (r.*count) * entrySize);
    }
};
constexpr ListedRecords<GroupRecord> kGroups{&GroupRecord::entryCount, &GroupRecord::entries,
                                             sizeof(ListEntry), "groups"};
constexpr ListedRecords<Section5Record> kSection5{
    &Section5Record::entryCount, &Section5Record::entries, kSection5EntrySize, "section 5"};

template <typename Record>
Ref readListedRecords(LoadContext& c, std::size_t count, const ListedRecords<Record>& kind) {
    auto records = c.in.take(c.in.needBytes(count, sizeof(Record), kind.what), kind.what);
    const Ref block = count ? c.blocks.global(records) : 0;
    auto stored = Records<Record>(block, count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entries =
            RecordAt<Record>(records.data() + i * sizeof(Record)).*kind.count;
        const Ref list = readGlobalTable(c, entries, kind.entrySize, kind.what);
        if (!stored) continue;
        (*stored)[i].*kind.list = list;
        if (!list) (*stored)[i].*kind.count = 0;
    }
    return block;
}

template <typename Record>
void writeListedRecords(Sink& out, std::span<const Record> records,
                        const ListedRecords<Record>& kind) {
    for (Record r : records) {
        if (!kind.listOf(r)) r.*kind.count = 0;
        r.*kind.list = 0;
        out.record(r);
    }
    for (const Record& r : records)
        if (auto bytes = kind.listOf(r)) out.bytes(*bytes);
}

// The section 7 block's length, walking its head and entries; nothing when they overrun.
std::optional<std::size_t> variableBlockLength(std::span<const std::byte> block) {
    if (block.size() < kVariableHeadSize) return std::nullopt;
    std::size_t at = kVariableHeadSize;
    const std::size_t n = ReadLe16(block.data() + kVariableCountOffset);
    for (std::size_t i = 0; i < n; ++i) {
        if (block.size() - at < 2) return std::nullopt;
        const std::size_t length =
            ReadLe16(block.data() + at) * kVariableEntryUnit + kVariableEntryFixed;
        if (block.size() - at < length) return std::nullopt;
        at += length;
    }
    return at;
}

// ---- The tables of a project in memory; nothing for one that its block does not hold

using Bytes = std::optional<std::span<const std::byte>>;

Bytes section1(const ProjectRecord& r) {
    return BytesAt(r.section1, r.section1Count * kSection1EntrySize);
}
Bytes section2a(const ProjectRecord& r) {
    return BytesAt(r.section2a, r.section2aCount * sizeof(ListEntry));
}
bool hasGroups(const ProjectRecord& r) {
    return r.section2aCount == 0 && r.groupCount > 0;
}
std::optional<std::span<GroupRecord>> groups(const ProjectRecord& r) {
    return Records<GroupRecord>(r.groups, r.groupCount);
}
Bytes section4(const ProjectRecord& r) {
    return BytesAt(r.section4, kSection4Size);
}
std::optional<std::span<Section5Record>> section5(const ProjectRecord& r) {
    return Records<Section5Record>(r.section5, r.section5Count);
}
Bytes section6(const ProjectRecord& r) {
    return BytesAt(r.section6, r.section6Count * sizeof(ListEntry));
}
Bytes section7(const ProjectRecord& r) {
    auto block = mem::Bytes(r.section7);
    auto length = variableBlockLength(block);
    if (!length) return std::nullopt;
    return std::span<const std::byte>(block.data(), *length);
}
Bytes textBlock(std::uint8_t lengthPlusOne, Ref ref) {
    return lengthPlusOne ? BytesAt(ref, lengthPlusOne - 1u) : std::nullopt;
}
Bytes section9(const ProjectRecord& r) {
    return BytesAt(r.section9, r.section9Count * sizeof(Section9Entry));
}

// Translates the string index at `offset` of each entry: always, or only when it is nonzero.
template <typename Entry>
void translateEntries(LoadContext& c, Ref ref, std::size_t count, std::size_t offset, bool always) {
    auto entries = Records<Entry>(ref, count);
    if (!entries) return;
    for (Entry& e : *entries) {
        auto* index = reinterpret_cast<std::byte*>(&e) + offset;
        const std::uint16_t stored = ReadLe16(index);
        if (always || stored != 0) WriteLe16(index, c.translate(stored));
    }
}

// List entries of section 2a and the group lists hold their string index in the word at 2.
constexpr std::size_t kListEntryIndex = 2;

}  // namespace

// ---- Loading

void ReadLeadingTables(LoadContext& c) {
    ProjectRecord& r = c.project.record;
    r.section1 = readGlobalTable(c, r.section1Count, kSection1EntrySize, "section 1");
    if (!r.section1) r.section1Count = 0;

    // The groups are stored when section 2a is stored empty.
    const bool withGroups = r.section2aCount == 0 && r.groupCount > 0;
    r.section2a = readGlobalTable(c, r.section2aCount, sizeof(ListEntry), "section 2a");
    if (!r.section2a) r.section2aCount = 0;
    r.groups = readListedRecords(c, withGroups ? r.groupCount : 0, kGroups);
    if (withGroups && !r.groups) r.groupCount = 0;
}

void ReadMiddleTables(LoadContext& c) {
    ProjectRecord& r = c.project.record;
    const bool with4 = r.section4Present != 0;
    r.section4 = readGlobalTable(c, with4 ? 1 : 0, kSection4Size, "section 4");
    if (!r.section4) r.section4Present = 0;

    r.section5 = readListedRecords(c, r.section5Count, kSection5);
    if (!r.section5) r.section5Count = 0;

    auto entries6 =
        c.in.take(c.in.needBytes(r.section6Count, sizeof(ListEntry), "section 6"), "section 6");
    r.section6 = r.section6Count ? c.blocks.host(entries6) : 0;
    if (!r.section6) r.section6Count = 0;

    r.section7 = 0;
    if (r.section7Present != 0) {
        auto rest = c.in.image().subspan(c.in.position());
        auto length = variableBlockLength(rest);
        if (!length) c.in.fail("section 7 runs past the image end");
        r.section7 = c.blocks.global(c.in.take(*length, "section 7"));
        if (!r.section7) r.section7Present = 0;
    }

    r.text1 = readGlobalTable(c, r.text1Length ? r.text1Length - 1u : 0, 1, "text block 1");
    if (!r.text1 && r.text1Length > 1) r.text1Length = 0;
    r.text2 = readGlobalTable(c, r.text2Length ? r.text2Length - 1u : 0, 1, "text block 2");
    if (!r.text2 && r.text2Length > 1) r.text2Length = 0;

    r.section9 = readGlobalTable(c, r.section9Count, sizeof(Section9Entry), "section 9");
    if (!r.section9) r.section9Count = 0;
}

void TranslateTableTexts(LoadContext& c) {
    const ProjectRecord& r = c.project.record;
    if (r.section2aCount > 0) {
        translateEntries<ListEntry>(c, r.section2a, r.section2aCount, kListEntryIndex, false);
    } else if (auto list = groups(r)) {
        for (const GroupRecord& g : *list)
            translateEntries<ListEntry>(c, g.entries, g.entryCount, kListEntryIndex, true);
    }
    translateEntries<Section9Entry>(c, r.section9, r.section9Count, offsetof(Section9Entry, textId),
                                    true);
}

void TranslateGroupNames(LoadContext& c) {
    if (!hasGroups(c.project.record)) return;
    if (auto list = groups(c.project.record))
        for (GroupRecord& g : *list) c.translateIfSet(g.textId);
}

// ---- Saving

void AdjustStoredTables(ProjectRecord& s) {
    const ProjectRecord r = s;
    if (!section1(r)) s.section1Count = 0;
    if (!section2a(r)) s.section2aCount = 0;
    // A reader looks for groups when section 2a is stored empty; they are there only when 2a is
    // empty in memory too and the groups' block holds them.
    if (hasGroups(s) && !(hasGroups(r) && groups(r))) s.groupCount = 0;
    if (r.section4Present != 0 && !section4(r)) s.section4Present = 0;
    if (!section5(r)) s.section5Count = 0;
    if (!section6(r)) s.section6Count = 0;
    if (r.section7Present != 0 && !section7(r)) s.section7Present = 0;
    if (!textBlock(r.text1Length, r.text1)) s.text1Length = 0;
    if (!textBlock(r.text2Length, r.text2)) s.text2Length = 0;
    if (!section9(r)) s.section9Count = 0;
    for (Slot* slot : {&s.section1, &s.section2a, &s.groups, &s.section4, &s.section5, &s.section6,
                       &s.section7, &s.text1, &s.text2, &s.section9})
        *slot = 0;
}

void WriteLeadingTables(SaveContext& c) {
    const ProjectRecord& r = c.project.record;
    if (auto bytes = section1(r)) c.out.bytes(*bytes);
    if (auto bytes = section2a(r)) c.out.bytes(*bytes);
    if (!hasGroups(r)) return;
    if (auto list = groups(r)) writeListedRecords<GroupRecord>(c.out, *list, kGroups);
}

void WriteMiddleTables(SaveContext& c) {
    const ProjectRecord& r = c.project.record;
    if (r.section4Present != 0)
        if (auto bytes = section4(r)) c.out.bytes(*bytes);
    if (auto records = section5(r)) writeListedRecords<Section5Record>(c.out, *records, kSection5);
    if (auto bytes = section6(r)) c.out.bytes(*bytes);
    if (r.section7Present != 0)
        if (auto bytes = section7(r)) c.out.bytes(*bytes);
    if (auto bytes = textBlock(r.text1Length, r.text1)) c.out.bytes(*bytes);
    if (auto bytes = textBlock(r.text2Length, r.text2)) c.out.bytes(*bytes);
    if (auto bytes = section9(r)) c.out.bytes(*bytes);
}

}  // namespace kestra::store
