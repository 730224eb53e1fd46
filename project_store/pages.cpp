// Pages (section 3): page records, page texts, field records with their lists, children and
// labels; the page extension blobs (section 14); page names.
#include <algorithm>
#include <cstring>
#include <string>

#include "kestra/project_image.h"
#include "platform/small_copy.h"
#include "project_store/store.h"
#include "string_table/string_table.h"

namespace kestra::store {
namespace {

constexpr std::uint16_t kNoText = 0xFFFF;  // a field list entry without a string index

// ---- Loading

// Reads a field list; one whose entries hold string indices (`texts`) is noted for
// translating.
void readFolder(LoadContext& c, FolderHeader& folder, bool keep, bool texts,
                std::string_view what) {
    if (folder.count < 0) c.in.fail(std::string(what) + " has a negative entry count");
    const std::size_t count = static_cast<std::size_t>(folder.count.get());
    auto bytes = c.in.take(c.in.needBytes(count, sizeof(ListEntry), what), what);
    const mem::NewBlock block = keep && count ? c.blocks.globalCopy(bytes) : mem::NewBlock{};
    folder.block = block.ref;
    if (keep && count && !block.ref) folder.count = 0;
    if (block.ref && texts) c.fieldTexts.noteList({&RecordAt<ListEntry>(block.data), count});
}

void readFieldData(LoadContext& c, FieldRecord& f, bool keep, int depth);

// Reads a field record and what follows it into `f`: in place in its block when it is kept,
// so that no record is copied twice.
void readField(LoadContext& c, FieldRecord& f, bool keep, int depth, std::string_view what) {
    std::memcpy(&f, c.in.take(sizeof(FieldRecord), what).data(), sizeof(FieldRecord));
    readFieldData(c, f, keep, depth);
}

void readChildren(LoadContext& c, FieldRecord& f, bool keep, int depth) {
    f.children = 0;
    if (!f.hasChildren()) return;
    if (depth >= kMaxFieldNesting) c.in.fail("child field records nested too deep");
    const std::size_t count = f.childCount;
    c.in.needBytes(count, sizeof(FieldRecord), "child field records");
    const Ref block = keep && count ? c.blocks.hostToFill(count * sizeof(FieldRecord)) : 0;
    auto kids = Records<FieldRecord>(block, count);
    FieldRecord skipped;
    for (std::size_t i = 0; i < count; ++i)
        readField(c, block ? (*kids)[i] : skipped, keep && block, depth + 1, "child field record");
    f.children = block;
    if (keep && count && !block) f.childCount = 0;
}

void readLabel(LoadContext& c, FieldRecord& f, bool keep) {
    if (f.label == 0u) return;
    const std::uint8_t length = c.in.u8("label length");
    if (!f.compactLabelled()) f.labelAttribute = c.in.u16("label attribute");
    auto text = c.in.take(length, "label");
    f.label = keep ? c.blocks.text({reinterpret_cast<const char*>(text.data()), text.size()}) : 0;
}

void readFieldData(LoadContext& c, FieldRecord& f, bool keep, int depth) {
    // A field without a text has nothing to translate, and its record is not visited again.
    if (keep && f.textId != 0) c.fieldTexts.noteField(f.textId);
    readFolder(c, f.list1, keep, true, "field list 1");
    if (f.hasList2())
        readFolder(c, f.list2, keep, f.list2HoldsTexts(), "field list 2");
    else
        f.list2.block = 0;
    readChildren(c, f, keep, depth);
    readLabel(c, f, keep);
}

// The menu-field repair drops menu fields that have a zero dimension.
bool droppedByRepair(const LoadContext& c, const FieldRecord& f) {
    return c.repair() && f.fieldClass == FieldRecord::kMenuClass && (f.width == 0 || f.height == 0);
}

std::span<const std::byte> readPageText(LoadContext& c) {
    if (RulesForFormat(c.formatCode).shortPageTexts) {
        auto text = c.in.cstring("page text");
        return AsBytes(text);
    }
    const std::uint32_t length = c.in.u32("page text length");
    return c.in.take(length, "page text");
}

void readPage(LoadContext& c, PageRecord& page, bool keep) {
    auto text = readPageText(c);
    page.text = keep && !text.empty() ? c.blocks.blob(text) : 0;
    page.blob1 = 0;
    page.blob2 = 0;
    const std::size_t count = page.fieldCount;
    c.in.needBytes(count, sizeof(FieldRecord), "field records");
    const Ref block = keep && count ? c.blocks.hostToFill(count * sizeof(FieldRecord)) : 0;
    auto fields = Records<FieldRecord>(block, count);
    std::size_t kept = 0;
    FieldRecord dropped;
    for (std::size_t i = 0; i < count; ++i) {
        // A field the repair drops is read aside; the next one takes its place.
        const auto& stored =
            RecordAt<FieldRecord>(c.in.peek(sizeof(FieldRecord), "field record").data());
        const bool drop = droppedByRepair(c, stored);
        readField(c, block && !drop ? (*fields)[kept++] : dropped, keep && block && !drop, 0,
                  "field record");
    }
    // The places of dropped fields stay zero.
    if (block)
        std::fill(fields->begin() + static_cast<std::ptrdiff_t>(kept), fields->end(),
                  FieldRecord{});
    page.fields = block;
    page.fieldCount = static_cast<std::uint16_t>(block ? kept : 0);
}

std::span<PageRecord> pagesOf(const ProjectRecord& r) {
    return Records<PageRecord>(r.pages, r.pageCount).value_or(std::span<PageRecord>());
}

// ---- Saving

// A save reads every field's members once: they are read here as whole words, where the
// record's own types would put each together a byte at a time.
inline std::uint32_t word32(const le32& v) {
    return ReadLe32(&v);
}
inline std::uint16_t word16(const le16& v) {
    return ReadLe16(&v);
}

// What memory holds of the data that follows a field record, each block looked up once.
struct FieldParts {
    std::optional<std::span<const std::byte>> list1, list2;
    std::optional<std::span<FieldRecord>> children;
    std::optional<std::string_view> label;

    [[gnu::always_inline]] explicit FieldParts(const FieldRecord& f)
        : list1(listBytes(f.list1)),
          list2(f.hasList2() ? listBytes(f.list2) : std::nullopt),
          children(f.hasChildren() ? Records<FieldRecord>(word32(f.children), word16(f.childCount))
                                   : std::nullopt),
          label(word32(f.label) != 0u ? TextAt(word32(f.label)) : std::nullopt) {}

    static std::size_t size(const std::optional<std::span<const std::byte>>& list) {
        return list ? list->size() : 0;
    }

  private:
    [[gnu::always_inline]] static std::optional<std::span<const std::byte>> listBytes(
        const FolderHeader& folder) {
        const auto count = static_cast<std::int16_t>(ReadLe16(&folder.count));
        if (count < 0) return std::nullopt;
        return BytesAt(word32(folder.block), static_cast<std::size_t>(count) * sizeof(ListEntry));
    }
};

// The field record `f` as stored, adjusted in its copy `s`: lists, children and a label that
// memory does not hold are stored as empty or absent, and reference slots carry only presence.
// (The conditions are read from `f`, not from the copy just written.)
[[gnu::always_inline]] inline void storeField(FieldRecord& s, const FieldRecord& f,
                                              const FieldParts& parts) {
    if (!parts.list1) s.list1.count = 0;
    if (f.hasList2() && !parts.list2) s.list2.count = 0;
    if (f.hasChildren() && !parts.children) s.childCount = 0;
    WriteLe32(&s.label, StoredPresence(parts.label.has_value()));
    WriteLe32(&s.list1.block, 0);
    WriteLe32(&s.list2.block, 0);
    WriteLe32(&s.children, 0);
}

// A field is written as the record with its lists (taken as one piece of the image), its
// children, and its label (another piece); the lists and labels of a few bytes are copied
// without a call.
void writeField(SaveContext& c, const FieldRecord& f, int depth) {
    if (depth > kMaxFieldNesting)
        throw ImageError(c.out.position(), "child field records nested too deep");
    const FieldParts parts(f);
    const std::size_t size1 = FieldParts::size(parts.list1), size2 = FieldParts::size(parts.list2);
    // The record goes into the image as it stands and is then adjusted there.
    if (std::byte* at = c.out.room(sizeof(FieldRecord) + size1 + size2).data()) {
        std::memcpy(at, &f, sizeof(FieldRecord));
        storeField(RecordAt<FieldRecord>(at), f, parts);
        at += sizeof(FieldRecord);
        if (size1) mem::CopyBytes(at, parts.list1->data(), size1);
        if (size2) mem::CopyBytes(at + size1, parts.list2->data(), size2);
    }
    if (parts.children)
        for (const FieldRecord& child : *parts.children) writeField(c, child, depth + 1);
    if (parts.label) {
        const std::size_t length = parts.label->size();
        const std::uint8_t lengthByte = c.out.lengthByte(length, "field label");
        const std::size_t attribute = f.compactLabelled() ? 0 : 2;
        if (std::byte* at = c.out.room(1 + attribute + length).data()) {
            *at = std::byte{lengthByte};
            if (attribute) WriteLe16(at + 1, word16(f.labelAttribute));
            mem::CopyBytes(at + 1 + attribute, AsBytes(*parts.label).data(), length);
        }
    }
}

void writePageText(SaveContext& c, std::span<const std::byte> text) {
    if (RulesForFormat(c.formatCode).shortPageTexts) {
        const auto* chars = reinterpret_cast<const char*>(text.data());
        c.out.cstring(text.empty() ? std::string_view()
                                   : std::string_view(chars, strnlen(chars, text.size())));
    } else {
        c.out.u32(static_cast<std::uint32_t>(text.size()));
        c.out.bytes(text);
    }
}

// The pages a save stores: those of memory, or one blank page for a project without any.
std::span<const PageRecord> storedPages(const ProjectRecord& r) {
    static const PageRecord kBlankPage{};
    auto pages = pagesOf(r);
    if (pages.empty()) return std::span<const PageRecord>(&kBlankPage, 1);
    return pages;
}

}  // namespace

// ---- Loading

void ReadPages(LoadContext& c) {
    ProjectRecord& r = c.project.record;
    if (r.pageCount == 0) r.pageCount = 1;
    const std::size_t count = r.pageCount;
    c.in.needBytes(count, sizeof(PageRecord) + 1, "pages");
    const Ref block = c.blocks.host(count * sizeof(PageRecord));
    auto pages = Records<PageRecord>(block, count);
    for (std::size_t i = 0; i < count; ++i) {
        auto page = c.in.record<PageRecord>("page record");
        readPage(c, page, block != 0);
        if (block) (*pages)[i] = page;
    }
    r.pages = block;
    if (!block) r.pageCount = 0;
}

void ReadPageBlobs(LoadContext& c) {
    if (c.project.ext.pageBlobsPresent == 0) return;
    const bool second = c.project.ext.blobFlags & 1;
    for (PageRecord& page : pagesOf(c.project.record)) {
        page.blob1 = ReadBlob(c, false);
        if (second) page.blob2 = ReadBlob(c, false);
    }
}

// The lists and records translated here were read long before, and have mostly left the
// processor's caches since: their indices are read from the notes, and a list or record is
// gone to only where its identifier differs from its index. In an image this store saved,
// none does, and the lists' and records' notes are not read either.

void TranslateFieldLists(LoadContext& c) {
    const std::span<const std::uint16_t> indices = c.fieldTexts.listIndices();
    StringPool::Run translate(c.pool, c.key);
    const auto differs = [&](std::uint16_t index, std::uint16_t& id) {
        return index != kNoText && (id = translate(index)) != index;
    };
    std::uint16_t id = 0;
    std::size_t at = 0;  // the first entry whose identifier differs from its index
    while (at < indices.size() && !differs(indices[at], id)) ++at;
    if (at == indices.size()) return;
    // From there on, the lists are gone to (that entry's identifier is at hand).
    std::size_t first = 0;  // the first entry of the list
    for (const std::span<ListEntry> list : c.fieldTexts.lists()) {
        const std::size_t end = first + list.size();
        for (std::size_t entry = std::max(first, at); entry < end; ++entry)
            if (entry == at || differs(indices[entry], id)) list[entry - first].textId = id;
        first = end;
    }
}

void TranslateFieldTexts(LoadContext& c) {
    const std::span<const std::uint16_t> indices = c.fieldTexts.fieldIndices();
    const std::span<le16* const> fields = c.fieldTexts.fields();
    StringPool::Run translate(c.pool, c.key);
    for (std::size_t i = 0; i < indices.size(); ++i)
        if (const std::uint16_t id = translate(indices[i]); id != indices[i]) *fields[i] = id;
}

void TranslatePageNames(LoadContext& c) {
    for (PageRecord& page : pagesOf(c.project.record)) {
        if (c.project.ext.multiLanguage()) {
            page.setNameId(c.translate(page.nameId()));
        } else {
            const auto* name = reinterpret_cast<const char*>(page.name);
            const std::string inline_(name, strnlen(name, PageRecord::kInlineNameRoom));
            page.setNameId(c.pool.addOwn(inline_.c_str(), c.key));
        }
    }
}

// ---- Saving

void InlinePageNames(ProjectBlock& project, void* key) {
    for (PageRecord& page : pagesOf(project.record))
        StrTabGetText(page.nameId(), key, reinterpret_cast<char*>(page.name),
                      PageRecord::kInlineNameRoom, 1);
}

void RestorePageNames(ProjectBlock& project, void* key) {
    for (PageRecord& page : pagesOf(project.record)) {
        const auto* name = reinterpret_cast<const char*>(page.name);
        const std::string text(name, strnlen(name, PageRecord::kInlineNameRoom));
        page.setNameId(StrTabAddText(text.c_str(), key));
    }
}

void AdjustStoredPages(ProjectRecord& stored) {
    if (pagesOf(stored).empty()) stored.pageCount = 0;
    stored.pages = 0;
}

void WritePages(SaveContext& c) {
    for (const PageRecord& page : storedPages(c.project.record)) {
        PageRecord stored = page;
        const auto text = mem::Blob(page.text).value_or(std::span<std::byte>());
        auto fields = Records<FieldRecord>(page.fields, page.fieldCount);
        if (!fields) stored.fieldCount = 0;
        stored.text = 0;
        stored.fields = 0;
        stored.blob1 = 0;
        stored.blob2 = 0;
        c.out.record(stored);
        writePageText(c, text);
        if (fields)
            for (const FieldRecord& f : *fields) writeField(c, f, 0);
    }
}

void WritePageBlobs(SaveContext& c) {
    if (c.project.ext.pageBlobsPresent == 0) return;
    const bool second = c.project.ext.blobFlags & 1;
    for (const PageRecord& page : storedPages(c.project.record)) {
        WriteBlob(c.out, page.blob1);
        if (second) WriteBlob(c.out, page.blob2);
    }
}

}  // namespace kestra::store
