// The resource section (section 16) and the language section (section 19).
#include <vector>

#include "kestra/resource_section.h"
#include "project_store/store.h"
#include "utilities/languages.h"

namespace kestra::store {
namespace {

constexpr std::size_t kResourceHeadSize = offsetof(ResourceSection, records);
constexpr std::size_t kTextEntryValues = offsetof(TextEntry, blobA);  // three u32 as stored

bool thirdBlobs(const ExtensionRecord& ext) {
    return ext.blobFlags & 1;
}

// ---- Resources in memory

const ResourceSection* resourcesOf(const ExtensionRecord& ext) {
    if (ext.resourcesPresent == 0u) return nullptr;
    auto section = Records<ResourceSection>(ext.resources, 1);
    return section ? &(*section)[0] : nullptr;
}

// The record of a slot that a save stores: one whose blobs A and B both exist.
const ResourceRecord* storedResource(const ResourceSection& section, std::size_t slot) {
    auto record = Records<ResourceRecord>(section.records[slot], 1);
    if (!record) return nullptr;
    const ResourceRecord& r = (*record)[0];
    return mem::Blob(r.blobA) && mem::Blob(r.blobB) ? &r : nullptr;
}

// ---- Languages in memory

void readTextSet(LoadContext& c, Slot& slot, std::size_t count) {
    c.in.needBytes(count, kTextEntryValues + 8, "text set");
    std::vector<TextEntry> entries(count);
    for (TextEntry& e : entries) {
        std::memcpy(static_cast<void*>(&e), c.in.take(kTextEntryValues, "text entry").data(),
                    kTextEntryValues);
        e.blobA = ReadBlob(c, false);
        e.blobB = ReadBlob(c, false);
    }
    slot = count ? c.blocks.host(std::as_bytes(std::span<const TextEntry>(entries))) : 0;
}

void writeTextSet(Sink& out, Ref set, std::size_t count) {
    auto entries = Records<TextEntry>(set, count);
    if (!entries) {
        out.zeros(count * sizeof(TextEntry));  // three zero values and two empty blobs each
        return;
    }
    for (const TextEntry& e : *entries) {
        out.bytes(AsBytes(e).first(kTextEntryValues));
        WriteBlob(out, e.blobA);
        WriteBlob(out, e.blobB);
    }
}

}  // namespace

void ReadResources(LoadContext& c) {
    ExtensionRecord& ext = c.project.ext;
    ext.resources = 0;
    if (ext.resourcesPresent == 0u) return;
    ResourceSection section{};
    std::memcpy(static_cast<void*>(&section), c.in.take(kResourceHeadSize, "resource head").data(),
                kResourceHeadSize);
    for (std::size_t slot = 0; slot < kResourceSlots; ++slot) {
        if (section.marks[slot] == 0) continue;
        ResourceRecord r{};
        r.word0 = c.in.u16("resource");
        std::memcpy(r.bytes2, c.in.take(2, "resource").data(), 2);
        r.value4 = c.in.u16("resource");
        r.value6 = c.in.u16("resource");
        r.value10 = c.in.u16("resource");
        r.value14 = c.in.u16("resource");
        std::memcpy(r.bytes18, c.in.take(sizeof r.bytes18, "resource").data(), sizeof r.bytes18);
        // A stored slot keeps its blobs even when they are empty: a slot is stored only when
        // both exist.
        r.blobA = ReadBlob(c, true);
        r.blobB = ReadBlob(c, true);
        if (thirdBlobs(ext)) r.blobC = ReadBlob(c, true);
        section.records[slot] = c.blocks.host(AsBytes(r));
    }
    ext.resources = c.blocks.host(AsBytes(section));
}

void WriteResources(SaveContext& c) {
    const ResourceSection* section = resourcesOf(c.project.ext);
    if (!section) return;
    ResourceSection head = *section;
    std::uint16_t stored = 0;
    for (std::size_t slot = 0; slot < kResourceSlots; ++slot) {
        const bool present = storedResource(*section, slot) != nullptr;
        head.marks[slot] = present ? 1 : 0;
        stored = static_cast<std::uint16_t>(stored + present);
    }
    head.storedCount = stored;
    c.out.bytes(AsBytes(head).first(kResourceHeadSize));
    for (std::size_t slot = 0; slot < kResourceSlots; ++slot) {
        const ResourceRecord* r = storedResource(*section, slot);
        if (!r) continue;
        c.out.u16(r->word0);
        c.out.bytes(AsBytes(r->bytes2));
        for (std::uint16_t value :
             {r->value4.get(), r->value6.get(), r->value10.get(), r->value14.get()})
            c.out.u16(value);
        c.out.bytes(AsBytes(r->bytes18));
        WriteBlob(c.out, r->blobA);
        WriteBlob(c.out, r->blobB);
        if (thirdBlobs(c.project.ext)) WriteBlob(c.out, r->blobC);
    }
}

void AdjustStoredResources(ExtensionRecord& stored) {
    if (!resourcesOf(stored)) stored.resourcesPresent = 0;
    stored.resources = 0;
}

void ReadLanguages(LoadContext& c) {
    ExtensionRecord& ext = c.project.ext;
    ext.languages = 0;
    if (!ext.multiLanguage()) {
        ext.b229 = 0;
        ext.set1Count = 0;
        ext.set2Count = 0;
        return;
    }
    const std::size_t count = ext.languageCount;
    auto stored =
        c.in.take(c.in.needBytes(count, sizeof(LanguageEntry), "language table"), "language table");
    std::vector<LanguageEntry> table(count);
    std::memcpy(table.data(), stored.data(), stored.size());
    for (LanguageEntry& language : table) {
        language.textSet1 = 0;
        language.textSet2 = 0;
        c.translateIfSet(language.nameId);
    }
    ext.languages = c.blocks.host(std::as_bytes(std::span<const LanguageEntry>(table)));
    auto languages = Records<LanguageEntry>(ext.languages, count);
    if (languages) {
        DefaultToMultiLang(c.key);
        c.blocks.adopt((*languages)[0].textSet1);
        c.blocks.adopt((*languages)[0].textSet2);
    }
    for (std::size_t i = 1; i < count; ++i) {
        LanguageEntry entry{};
        readTextSet(c, entry.textSet1, ext.set1Count);
        readTextSet(c, entry.textSet2, ext.set2Count);
        if (languages) {
            (*languages)[i].textSet1 = entry.textSet1;
            (*languages)[i].textSet2 = entry.textSet2;
        }
    }
}

void WriteLanguages(SaveContext& c) {
    const ExtensionRecord& ext = c.project.ext;
    if (!ext.multiLanguage()) return;
    const std::size_t count = ext.languageCount;
    auto languages = Records<LanguageEntry>(ext.languages, count);
    if (!languages) {
        // A table that memory does not hold is stored as unnamed languages without texts.
        c.out.zeros(count * sizeof(LanguageEntry));
        for (std::size_t i = 1; i < count; ++i) {
            writeTextSet(c.out, 0, ext.set1Count);
            writeTextSet(c.out, 0, ext.set2Count);
        }
        return;
    }
    for (LanguageEntry language : *languages) {
        language.textSet1 = 0;
        language.textSet2 = 0;
        c.out.record(language);
    }
    for (const LanguageEntry& language : languages->subspan(1)) {
        writeTextSet(c.out, language.textSet1, ext.set1Count);
        writeTextSet(c.out, language.textSet2, ext.set2Count);
    }
}

}  // namespace kestra::store
