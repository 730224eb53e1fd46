// The keyed-entry table (section 11).
//
// Stored: tag 0x4C4B, the number of entries stored, one u16 size per table slot (the stored
// entries first, the rest 0), then the entries. An entry is its head, its sub-entries (key,
// part count, part lengths, parts) and a trailer with a 29-byte text for every element of
// type 143 or 144 that has one.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "kestra/project_sections.h"
#include "project_store/store.h"

namespace kestra::store {
namespace {

constexpr std::size_t kTableHead = 2;  // the word 0x4C4D before the slots in memory

bool textedType(std::uint16_t type) {
    return type == kElementTexted1 || type == kElementTexted2;
}

// Calls visit(element) for each element of a part, an element being its bytes from the type
// word on; false when the elements overrun the part.
template <typename Bytes, typename Visit>
bool forEachElement(std::span<Bytes> part, Visit visit) {
    if (part.size() < sizeof(KeyedPartHead)) return false;
    const std::size_t count = ReadLe16(part.data() + offsetof(KeyedPartHead, elementCount));
    std::size_t at = sizeof(KeyedPartHead);
    for (std::size_t i = 0; i < count; ++i) {
        if (part.size() - at < sizeof(KeyedElementHead)) return false;
        const std::size_t length = sizeof(KeyedElementHead) + ReadLe16(part.data() + at + 2);
        if (part.size() - at < length) return false;
        visit(part.subspan(at, length));
        at += length;
    }
    return true;
}

std::uint16_t elementType(std::span<const std::byte> element) {
    return ReadLe16(element.data());
}

// The element's text slot, when its type has one and the element is long enough to hold it.
std::byte* textSlot(std::span<std::byte> element) {
    if (!textedType(elementType(element)) || element.size() < kElementTextSlot + 4) return nullptr;
    return element.data() + kElementTextSlot;
}

void translateAt(LoadContext& c, std::span<std::byte> element, std::size_t offset) {
    if (element.size() < offset + 2) return;
    WriteLe16(element.data() + offset, c.translate(ReadLe16(element.data() + offset)));
}

// ---- Loading

class EntryReader {
  public:
    EntryReader(LoadContext& c, std::span<const std::byte> stored) : c_(c), in_(stored) {}

    // The entry's block, or 0 when it cannot be had.
    Ref read() {
        in_.u16("entry head size");
        KeyedEntryHead head{};
        head.headSize = sizeof(KeyedEntryHead);
        head.key = in_.u16("entry key");
        const std::uint16_t subCount = in_.u16("sub-entry count");
        in_.u16("entry head");
        in_.needBytes(subCount, 4, "sub-entries");
        std::vector<Ref> subs;
        for (std::uint16_t i = 0; i < subCount; ++i)
            if (Ref sub = readSubEntry()) subs.push_back(sub);
        readTrailer();
        head.subEntryCount = static_cast<std::uint16_t>(subs.size());
        const Ref entry = c_.blocks.host(sizeof(KeyedEntryHead) + subs.size() * sizeof(Slot));
        if (!entry) return 0;
        RecordAt<KeyedEntryHead>(mem::Data(entry)) = head;
        for (std::size_t i = 0; i < subs.size(); ++i)
            WriteLe32(mem::Data(entry) + sizeof(KeyedEntryHead) + i * sizeof(Slot), subs[i]);
        return entry;
    }

  private:
    Ref readSubEntry() {
        KeyedSubEntry sub{};
        sub.key = in_.u16("sub-entry key");
        const std::uint16_t partCount = in_.u16("part count");
        in_.needBytes(partCount, 2, "part lengths");
        std::vector<std::uint16_t> lengths(partCount);
        for (auto& length : lengths) length = in_.u16("part length");
        std::array<bool, kKeyedPartSlots> seen{};
        for (std::uint16_t length : lengths) readPart(sub, seen, in_.take(length, "part"));
        // Texts join the string table in slot order, the order a save stores the parts in,
        // so that the string indices do not depend on the order the image kept them in.
        for (Ref part : sub.parts) translateNamedElements(part);
        const Ref block = c_.blocks.host(sizeof(KeyedSubEntry));
        if (block) RecordAt<KeyedSubEntry>(mem::Data(block)) = sub;
        return block;
    }

    void readPart(KeyedSubEntry& sub, std::array<bool, kKeyedPartSlots>& seen,
                  std::span<const std::byte> stored) {
        if (stored.size() < sizeof(KeyedPartHead)) in_.fail("part shorter than its head");
        const std::uint16_t slot = ReadLe16(stored.data());
        if (slot < 1 || slot > kKeyedPartSlots)
            in_.fail("part slot number " + std::to_string(slot));
        if (seen[slot - 1]) in_.fail("two parts in slot " + std::to_string(slot));
        seen[slot - 1] = true;
        const Ref part = c_.blocks.blob(stored);
        auto bytes = mem::Bytes(part);
        std::span<std::byte> copy = bytes.empty() ? std::span<std::byte>() : bytes.subspan(4);
        // Texted elements name their trailer texts in order of appearance.
        bool whole = forEachElement(stored, [&](std::span<const std::byte> element) {
            const std::size_t at = static_cast<std::size_t>(element.data() - stored.data());
            if (textedType(elementType(element)) && element.size() >= kElementTextSlot + 4 &&
                ReadLe32(element.data() + kElementTextSlot) != 0) {
                pendingTexts_.push_back({part, at + kElementTextSlot});
                if (!copy.empty()) WriteLe32(copy.data() + at + kElementTextSlot, 0);
            }
        });
        if (!whole) in_.fail("part elements overrun the part");
        if (!part) return;
        sub.parts[slot - 1] = part;
        sub.partCount = static_cast<std::uint16_t>(sub.partCount + 1);
    }

    void translateNamedElements(Ref part) {
        auto bytes = mem::Bytes(part);
        if (bytes.size() <= 4) return;
        forEachElement(bytes.subspan(4), [&](std::span<std::byte> element) {
            if (elementType(element) == kElementNamed) translateAt(c_, element, kElementNamedText);
        });
    }

    void readTrailer() {
        for (const PendingText& pending : pendingTexts_) {
            auto text = in_.take(sizeof(TrailerText), "trailer text");
            std::byte* slot = mem::At(pending.part, 4 + pending.offset, 4);
            if (slot) WriteLe32(slot, c_.blocks.host(text));
        }
    }

    struct PendingText {
        Ref part;            // 0 when the part's block could not be had
        std::size_t offset;  // of the text slot within the part
    };
    LoadContext& c_;
    ImageReader in_;
    std::vector<PendingText> pendingTexts_;
};

// ---- Entries in memory

std::optional<std::span<Slot>> tableSlots(const ProjectRecord& r) {
    auto bytes = BytesAt(r.keyed, kTableHead + r.keyedCapacity * sizeof(Slot));
    if (!bytes || r.keyedCapacity == 0) return std::nullopt;
    return std::span<Slot>(&RecordAt<Slot>(bytes->data() + kTableHead), r.keyedCapacity);
}

// The sub-entry references that follow an entry's head.
std::optional<std::span<Slot>> subEntrySlots(Ref entry) {
    auto head = Records<KeyedEntryHead>(entry, 1);
    if (!head) return std::nullopt;
    const std::size_t count = (*head)[0].subEntryCount;
    auto bytes = BytesAt(entry, sizeof(KeyedEntryHead) + count * sizeof(Slot));
    if (!bytes) return std::nullopt;
    return std::span<Slot>(&RecordAt<Slot>(bytes->data() + sizeof(KeyedEntryHead)), count);
}

struct StoredPart {
    std::span<std::byte> bytes;  // as held: the elements' text slots reference trailer texts
};

struct StoredSubEntry {
    std::uint16_t key;
    std::vector<StoredPart> parts;  // in slot order
};

struct StoredEntry {
    std::uint16_t key;
    std::vector<StoredSubEntry> subEntries;
};

// A part as a reader will take it back: its slot number names its place, its elements lie
// within it.
std::optional<StoredPart> partAt(Ref ref, std::size_t slot) {
    auto bytes = mem::Blob(ref);
    if (!bytes || bytes->size() < sizeof(KeyedPartHead)) return std::nullopt;
    if (ReadLe16(bytes->data()) != slot + 1) return std::nullopt;
    if (!forEachElement(*bytes, [](std::span<std::byte>) {})) return std::nullopt;
    return StoredPart{*bytes};
}

// The entry behind a slot as it will be stored; nothing for a slot that is stored empty.
std::optional<StoredEntry> entryAt(Ref ref) {
    auto subs = subEntrySlots(ref);
    if (!subs) return std::nullopt;
    StoredEntry entry{(*Records<KeyedEntryHead>(ref, 1))[0].key, {}};
    for (Ref subRef : *subs) {
        auto sub = Records<KeyedSubEntry>(subRef, 1);
        if (!sub) continue;
        StoredSubEntry stored{(*sub)[0].key, {}};
        for (std::size_t slot = 0; slot < kKeyedPartSlots; ++slot)
            if (auto part = partAt((*sub)[0].parts[slot], slot)) stored.parts.push_back(*part);
        entry.subEntries.push_back(std::move(stored));
    }
    if (entry.subEntries.empty()) return std::nullopt;
    return entry;
}

void writePart(Sink& out, const StoredPart& part) {
    auto room = out.room(part.bytes.size());
    if (room.empty()) return;
    std::memcpy(room.data(), part.bytes.data(), part.bytes.size());
    forEachElement(room, [](std::span<std::byte> element) {
        if (std::byte* slot = textSlot(element))
            WriteLe32(slot, StoredPresence(ReadLe32(slot) != 0));
    });
}

void writeEntry(Sink& out, const StoredEntry& entry) {
    out.u16(sizeof(KeyedEntryHead));
    out.u16(entry.key);
    out.u16(static_cast<std::uint16_t>(entry.subEntries.size()));
    out.u16(0);
    for (const StoredSubEntry& sub : entry.subEntries) {
        out.u16(sub.key);
        out.u16(static_cast<std::uint16_t>(sub.parts.size()));
        for (const StoredPart& part : sub.parts)
            out.u16(Fit16(part.bytes.size(), "keyed entry part"));
        for (const StoredPart& part : sub.parts) writePart(out, part);
    }
    for (const StoredSubEntry& sub : entry.subEntries)
        for (const StoredPart& part : sub.parts)
            forEachElement(part.bytes, [&](std::span<std::byte> element) {
                const std::byte* slot = textSlot(element);
                if (!slot || ReadLe32(slot) == 0) return;
                auto text = BytesAt(ReadLe32(slot), sizeof(TrailerText));
                if (text)
                    out.bytes(*text);
                else
                    out.zeros(sizeof(TrailerText));
            });
}

}  // namespace

void ReadKeyedTable(LoadContext& c) {
    ProjectRecord& r = c.project.record;
    c.in.u16("keyed table tag");
    c.in.u16("keyed entry count");
    const std::size_t capacity = r.keyedCapacity;
    auto sizes = c.in.take(c.in.needBytes(capacity, 2, "keyed entry sizes"), "keyed entry sizes");
    r.keyed = 0;
    if (capacity == 0) return;
    // The table has room for an entry per page and seven more, and never fewer slots than the
    // image stores: every stored entry keeps its slot.
    const std::size_t slots = std::max<std::size_t>(capacity, r.pageCount + kKeyedCapacityReserve);
    const Ref table = c.blocks.global(kTableHead + slots * sizeof(Slot));
    if (table) WriteLe16(mem::Data(table), kKeyedTableTag);
    for (std::size_t i = 0; i < capacity; ++i) {
        const std::uint16_t size = ReadLe16(sizes.data() + 2 * i);
        if (size == 0) continue;
        auto stored = c.in.take(size, "keyed entry");
        if (!table) continue;
        WriteLe32(mem::Data(table) + kTableHead + i * sizeof(Slot), EntryReader(c, stored).read());
    }
    r.keyed = table;
    r.keyedCapacity = static_cast<std::uint16_t>(table ? slots : 0);
}

// Calls visit(part) for every part of every entry of the table.
template <typename Visit>
void forEachPart(const ProjectRecord& r, Visit visit) {
    auto slots = tableSlots(r);
    if (!slots) return;
    for (Ref entry : *slots) {
        auto subs = subEntrySlots(entry);
        if (!subs) continue;
        for (Ref subRef : *subs)
            if (auto sub = Records<KeyedSubEntry>(subRef, 1))
                for (Ref part : (*sub)[0].parts) visit(part);
    }
}

void TranslateKeyedCaptions(LoadContext& c) {
    forEachPart(c.project.record, [&](Ref part) {
        if (auto bytes = mem::Blob(part))
            forEachElement(*bytes, [&](std::span<std::byte> element) {
                if (elementType(element) == kElementCaptioned)
                    translateAt(c, element, kElementCaptionedText);
            });
    });
}

void ForEachKeyedBlock(const ProjectRecord& r, const std::function<void(Ref)>& visit) {
    visit(r.keyed);
    if (auto slots = tableSlots(r))
        for (Ref entry : *slots) {
            visit(entry);
            if (auto subs = subEntrySlots(entry))
                for (Ref sub : *subs) visit(sub);
        }
    forEachPart(r, [&](Ref part) {
        visit(part);
        if (auto bytes = mem::Blob(part))
            forEachElement(*bytes, [&](std::span<std::byte> element) {
                if (const std::byte* slot = textSlot(element)) visit(ReadLe32(slot));
            });
    });
}

void WriteKeyedTable(SaveContext& c) {
    const ProjectRecord& r = c.project.record;
    std::vector<StoredEntry> entries;
    if (auto slots = tableSlots(r))
        for (Ref ref : *slots)
            if (auto entry = entryAt(ref)) entries.push_back(std::move(*entry));
    c.out.u16(kKeyedImageTag);
    c.out.u16(static_cast<std::uint16_t>(entries.size()));
    for (const StoredEntry& entry : entries) {
        Sink measure;
        writeEntry(measure, entry);
        c.out.u16(Fit16(measure.position(), "keyed entry"));
    }
    c.out.zeros((r.keyedCapacity - entries.size()) * 2);
    for (const StoredEntry& entry : entries) writeEntry(c.out, entry);
}

}  // namespace kestra::store
