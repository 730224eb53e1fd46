// The project record's tables: sections 1, 2a or 2b, and 4 to 9.
#include "kestra/project_sections.h"
#include "project_store/store.h"

namespace kestra::store {
namespace {

constexpr std::size_t kGroupSize = sizeof(GroupRecord);
constexpr std::size_t kSection5Size = sizeof(Section5Record);

// Reads count entries of `size` bytes; a new global block holding them, or 0 for none (or
// when the block cannot be had: the caller then sets the count to 0 and loading goes on).
Ref readGlobalTable(LoadContext& c, std::size_t count, std::size_t size, std::string_view what) {
    auto bytes = c.in.take(c.in.needBytes(count, size, what), what);
    return count ? c.blocks.global(bytes) : 0;
}

// The section 7 block's length, walking its head and entries; nothing when they overrun.
std::optional<std::size_t> variableBlockLength(std::span<const std::byte> block) {
    if (block.size() < kVariableHeadSize) return std::nullopt;
    std::size_t at = kVariableHeadSize;
    const std::size_t n = ReadLe16(block.data() + kVariableCountOffset);
    for (std::size_t i = 0; i < n; ++i) {
        if (block.size() - at < 2) return std::nullopt;
        const std::size_t length = ReadLe16(block.data() + at) * kVariableEntryUnit + kVariableEntryFixed;
        if (block.size() - at < length) return std::nullopt;
        at += length;
    }
    return at;
}

// ---- The tables of a project in memory; nothing for one that its block does not hold ------------

using Bytes = std::optional<std::span<const std::byte>>;

Bytes section1(const ProjectRecord& r) { return BytesAt(r.section1, r.section1Count * kSection1EntrySize); }
Bytes section2a(const ProjectRecord& r) { return BytesAt(r.section2a, r.section2aCount * sizeof(ListEntry)); }
bool hasGroups(const ProjectRecord& r) { return r.section2aCount == 0 && r.groupCount > 0; }
std::optional<std::span<GroupRecord>> groups(const ProjectRecord& r) {
    return Records<GroupRecord>(r.groups, r.groupCount);
}
Bytes groupList(const GroupRecord& g) { return BytesAt(g.entries, g.entryCount * sizeof(ListEntry)); }
Bytes section4(const ProjectRecord& r) { return BytesAt(r.section4, kSection4Size); }
std::optional<std::span<Section5Record>> section5(const ProjectRecord& r) {
    return Records<Section5Record>(r.section5, r.section5Count);
}
Bytes section5List(const Section5Record& s) { return BytesAt(s.entries, s.entryCount * kSection5EntrySize); }
Bytes section6(const ProjectRecord& r) { return BytesAt(r.section6, r.section6Count * sizeof(ListEntry)); }
Bytes section7(const ProjectRecord& r) {
    auto block = mem::Bytes(r.section7);
    auto length = variableBlockLength(block);
    if (!length) return std::nullopt;
    return std::span<const std::byte>(block.data(), *length);
}
Bytes textBlock(std::uint8_t lengthPlusOne, Ref ref) {
    return lengthPlusOne ? BytesAt(ref, lengthPlusOne - 1u) : std::nullopt;
}
Bytes section9(const ProjectRecord& r) { return BytesAt(r.section9, r.section9Count * sizeof(Section9Entry)); }

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

// ---- Loading -----------------------------------------------------------------------------------

void ReadLeadingTables(LoadContext& c) {
    ProjectRecord& r = c.project.record;
    r.section1 = readGlobalTable(c, r.section1Count, kSection1EntrySize, "section 1");
    if (!r.section1) r.section1Count = 0;

    r.section2a = readGlobalTable(c, r.section2aCount, sizeof(ListEntry), "section 2a");
    if (!r.section2a) r.section2aCount = 0;

    const bool withGroups = r.section2aCount == 0 && r.groupCount > 0;
    const std::size_t groupCount = withGroups ? r.groupCount : 0;
    auto records = c.in.take(c.in.needBytes(groupCount, kGroupSize, "groups"), "groups");
    r.groups = groupCount ? c.blocks.global(records) : 0;
    auto stored = Records<GroupRecord>(r.groups, groupCount);
    for (std::size_t i = 0; i < groupCount; ++i) {
        const auto count = RecordAt<GroupRecord>(records.data() + i * kGroupSize).entryCount.get();
        Ref list = readGlobalTable(c, count, sizeof(ListEntry), "group list");
        if (stored) {
            (*stored)[i].entries = list;
            if (!list) (*stored)[i].entryCount = 0;
        }
    }
    if (withGroups && !r.groups) r.groupCount = 0;
}

void ReadMiddleTables(LoadContext& c) {
    ProjectRecord& r = c.project.record;
    const bool with4 = r.section4Present != 0;
    r.section4 = readGlobalTable(c, with4 ? 1 : 0, kSection4Size, "section 4");
    if (!r.section4) r.section4Present = 0;

    auto records = c.in.take(c.in.needBytes(r.section5Count, kSection5Size, "section 5"), "section 5");
    r.section5 = r.section5Count ? c.blocks.global(records) : 0;
    auto stored = Records<Section5Record>(r.section5, r.section5Count);
    for (std::size_t i = 0; i < r.section5Count; ++i) {
        const auto count = RecordAt<Section5Record>(records.data() + i * kSection5Size).entryCount.get();
        Ref list = readGlobalTable(c, count, kSection5EntrySize, "section 5 list");
        if (stored) {
            (*stored)[i].entries = list;
            if (!list) (*stored)[i].entryCount = 0;
        }
    }
    if (!r.section5) r.section5Count = 0;

    auto entries6 = c.in.take(c.in.needBytes(r.section6Count, sizeof(ListEntry), "section 6"), "section 6");
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
    translateEntries<Section9Entry>(c, r.section9, r.section9Count, offsetof(Section9Entry, textId), true);
}

void TranslateGroupNames(LoadContext& c) {
    if (!hasGroups(c.project.record)) return;
    if (auto list = groups(c.project.record))
        for (GroupRecord& g : *list) c.translateIfSet(g.textId);
}

// ---- Saving ---------------------------------------------------------------------------------------

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
    auto list = groups(r);
    if (!list) return;
    for (GroupRecord g : *list) {
        if (!groupList(g)) g.entryCount = 0;
        g.entries = 0;
        c.out.record(g);
    }
    for (const GroupRecord& g : *list)
        if (auto bytes = groupList(g)) c.out.bytes(*bytes);
}

void WriteMiddleTables(SaveContext& c) {
    const ProjectRecord& r = c.project.record;
    if (r.section4Present != 0)
        if (auto bytes = section4(r)) c.out.bytes(*bytes);
    if (auto records = section5(r)) {
        for (Section5Record s : *records) {
            if (!section5List(s)) s.entryCount = 0;
            s.entries = 0;
            c.out.record(s);
        }
        for (const Section5Record& s : *records)
            if (auto bytes = section5List(s)) c.out.bytes(*bytes);
    }
    if (auto bytes = section6(r)) c.out.bytes(*bytes);
    if (r.section7Present != 0)
        if (auto bytes = section7(r)) c.out.bytes(*bytes);
    if (auto bytes = textBlock(r.text1Length, r.text1)) c.out.bytes(*bytes);
    if (auto bytes = textBlock(r.text2Length, r.text2)) c.out.bytes(*bytes);
    if (auto bytes = section9(r)) c.out.bytes(*bytes);
}

}  // namespace kestra::store
