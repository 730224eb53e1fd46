// Tag elements (section 18) and the blocks after the languages (sections 20 to 24): the code
// block, the opaque tail, the 264-byte table, the grouped word list and the 124-byte block.
#include <algorithm>
#include <cstring>

#include "kestra/project_sections.h"
#include "project_store/store.h"

namespace kestra::store {
namespace {

using Bytes = std::optional<std::span<const std::byte>>;

// The length of a grouped word list: u16 group count, then per group u16 n and n words.
std::optional<std::size_t> wordListLength(std::span<const std::byte> bytes) {
    if (bytes.size() < 2) return std::nullopt;
    std::size_t at = 2;
    for (std::size_t g = ReadLe16(bytes.data()); g > 0; --g) {
        if (bytes.size() - at < 2) return std::nullopt;
        const std::size_t words = ReadLe16(bytes.data() + at) * std::size_t{2};
        if (bytes.size() - at - 2 < words) return std::nullopt;
        at += 2 + words;
    }
    return at;
}

Bytes codeBlockOf(const ExtensionRecord& ext) {
    auto head = BytesAt(ext.codeBlock, 2);
    if (!head) return std::nullopt;
    return BytesAt(ext.codeBlock, 2 + std::to_integer<std::size_t>((*head)[1]) * 2);
}
Bytes tailOf(const ExtensionRecord& ext) {
    if (ext.tailLength == 0u || ext.tail == 0u) return std::nullopt;
    return BytesAt(ext.tail, ext.tailLength);
}
Bytes table264Of(const ExtensionRecord& ext) {
    return BytesAt(ext.table264, kTable264Size);
}
Bytes wordListOf(const ExtensionRecord& ext) {
    auto block = mem::Bytes(ext.wordList);
    auto length = wordListLength(block);
    if (!length) return std::nullopt;
    return std::span<const std::byte>(block.first(*length));
}
Bytes block124Of(const ExtensionRecord& ext) {
    return BytesAt(ext.block124, kBlock124Size);
}

std::optional<std::span<TagElement>> tagsOf(const ExtensionRecord& ext) {
    return Records<TagElement>(ext.tagFolder.elements, ext.tagFolder.count);
}
bool storesTags(const ExtensionRecord& ext) {
    return ext.tagFolder.count > 0 && ext.tagFolder.elements != 0u;
}

}  // namespace

void ReadTagElements(LoadContext& c) {
    TagFolderHeader& folder = c.project.ext.tagFolder;
    c.translateIfSet(folder.nameId);
    const bool present = storesTags(c.project.ext);
    folder.elements = 0;
    if (!present) {
        folder.count = 0;
        return;
    }
    auto stored =
        c.in.take(c.in.needBytes(folder.count, sizeof(TagElement), "tag elements"), "tag elements");
    folder.elements = c.blocks.global(stored);
    auto tags = tagsOf(c.project.ext);
    if (!tags) {
        folder.elements = 0;
        folder.count = 0;
        return;
    }
    for (TagElement& tag : *tags) c.translateIfSet(tag.nameId);
}

void WriteTagElements(SaveContext& c) {
    const ExtensionRecord& ext = c.project.ext;
    if (!storesTags(ext)) return;
    // A tag table that memory does not hold is stored as zeros of its full length.
    if (auto tags = tagsOf(ext))
        c.out.bytes(std::as_bytes(*tags));
    else
        c.out.zeros(ext.tagFolder.count * sizeof(TagElement));
}

void ReadClosingBlocks(LoadContext& c) {
    ExtensionRecord& ext = c.project.ext;
    const bool code = ext.codeBlock != 0u, tail = ext.tailLength != 0u && ext.tail != 0u,
               table = ext.table264 != 0u, words = ext.wordList != 0u, block = ext.block124 != 0u;
    ext.codeBlock = ext.tail = ext.table264 = ext.wordList = ext.block124 = 0;
    if (code) {
        auto head = c.in.peek(2, "code block");
        const std::size_t count = std::to_integer<std::size_t>(head[1]);
        ext.codeBlock = c.blocks.host(c.in.take(2 + 2 * count, "code block"));
    }
    if (tail) ext.tail = c.blocks.global(c.in.take(ext.tailLength, "tail block"));
    if (table) {
        c.in.skip(kTable264Lead, "table lead");
        ext.table264 = c.blocks.host(c.in.take(kTable264Size, "264-byte table"));
    }
    if (words) {
        auto length = wordListLength(c.in.image().subspan(c.in.position()));
        if (!length) c.in.fail("grouped word list runs past the image end");
        ext.wordList = c.blocks.host(c.in.take(*length, "grouped word list"));
    }
    // The 124-byte block: its first u32 is its stored length; a load always leaves one.
    std::span<const std::byte> stored;
    if (block) {
        std::size_t length = c.in.u32("124-byte block length");
        length = std::clamp<std::size_t>(length, 4, kBlock124Size);
        c.in.seek(c.in.position() - 4);
        stored = c.in.take(length, "124-byte block");
    }
    ext.block124 = c.blocks.host(kBlock124Size);
    if (std::byte* to = mem::Data(ext.block124)) {
        if (!stored.empty()) std::memcpy(to, stored.data(), stored.size());
        WriteLe32(to, kBlock124Size);
    }
}

void AdjustStoredClosingBlocks(ExtensionRecord& s) {
    const ExtensionRecord ext = s;
    s.tagFolder.elements = StoredPresence(storesTags(ext));
    s.codeBlock = StoredPresence(codeBlockOf(ext).has_value());
    s.tail = StoredPresence(tailOf(ext).has_value());
    s.table264 = StoredPresence(table264Of(ext).has_value());
    s.wordList = StoredPresence(wordListOf(ext).has_value());
    s.block124 = StoredPresence(block124Of(ext).has_value());
}

void WriteClosingBlocks(SaveContext& c) {
    const ExtensionRecord& ext = c.project.ext;
    if (auto code = codeBlockOf(ext)) {
        c.out.u8(kCodeBlockMark);
        c.out.bytes(code->subspan(1));
    }
    if (auto tail = tailOf(ext)) c.out.bytes(*tail);
    if (auto table = table264Of(ext)) {
        c.out.zeros(kTable264Lead);
        c.out.bytes(*table);
    }
    if (auto words = wordListOf(ext)) c.out.bytes(*words);
    if (auto block = block124Of(ext)) {
        c.out.u32(kBlock124Size);
        c.out.bytes(block->subspan(4));
    }
}

}  // namespace kestra::store
