// Tag folders.
#include "utilities/tags.h"

#include <cstring>
#include <optional>
#include <string>

#include "kestra/project.h"
#include "string_table/string_table.h"
#include "utilities/blocks.h"
#include "utilities/folders.h"

using kestra::ProjectBlock;
using kestra::TagElement;
using kestra::TagFolderHeader;
namespace blocks = kestra::blocks;

namespace {

constexpr std::size_t kClearedWordInData = 28;  // element offset 32
constexpr std::size_t kFlaggedByteInData = 25;  // element offset 29, bit 7 cleared on add
constexpr int kNameRoom = 256;

TagFolderHeader* headerOf(void* folder) {
    return folder ? &kestra::RecordAt<TagFolderHeader>(folder) : nullptr;
}

// The folder's tags, or nothing when the block does not hold the count the header claims.
std::optional<std::span<TagElement>> tagsOf(const TagFolderHeader& header) {
    if (header.count == 0 || header.elements == 0u) return std::span<TagElement>();
    return blocks::Records<TagElement>(header.elements, header.count);
}

std::optional<std::size_t> positionOfKey(std::span<TagElement> tags, std::uint16_t key) {
    for (std::size_t i = 0; i < tags.size(); ++i)
        if (tags[i].key == key) return i;
    return std::nullopt;
}

std::string textOf(WORD id, void* project) {
    char text[kNameRoom] = "";
    StrTabGetText(id, project, text, sizeof text, 0);
    return text;
}

DWORD reportTag(std::span<TagElement> tags, std::size_t at, void* project, void* data, WORD* parent,
                BOOL* structure, char* name, int nameSize, int* position) {
    const TagElement& tag = tags[at];
    if (data) std::memcpy(data, tag.data, TagElement::kDataSize);
    if (parent) *parent = tag.parentKey;
    if (structure) *structure = tag.isStructure() ? TRUE : FALSE;
    if (name && nameSize > 0) {
        name[0] = 0;
        if (project) StrTabGetText(tag.nameId, project, name, static_cast<DWORD>(nameSize), 0);
    }
    if (position) *position = static_cast<int>(at);
    return tag.key;
}

// What a candidate's parent must be.
struct ParentRule {
    enum class Kind { Any, Key, Name } kind = Kind::Any;
    std::uint16_t key = 0;
    std::string name;
};

DWORD scan(TagFolderHeader& header, void* project, const std::string& name,
           const ParentRule& parent, const void* descriptor, void* data, int* position,
           TAGCOMPARE compare) {
    auto tags = tagsOf(header);
    if (!tags || !project || name.empty()) return 0;
    // The name's identifier, without keeping a reference on it.
    WORD nameId = StrTabAddText(name.c_str(), project);
    if (nameId == kNoStringId) return 0;
    StrTabGetText(nameId, project, nullptr, 0, 1);

    auto& block = kestra::RecordAt<ProjectBlock>(project);
    const bool folderB = block.record.onNetwork != 0;
    const std::uint16_t wantedNode =
        descriptor ? kestra::ReadLe16(static_cast<const std::uint8_t*>(descriptor) +
                                      TagElement::kNodeKeyInData)
                   : 0;
    for (std::size_t i = 0; i < tags->size(); ++i) {
        const TagElement& tag = (*tags)[i];
        if (tag.nameId != nameId) continue;
        kestra::NetworkNode node = block.record.nodeA;
        if (folderB) {
            if (tag.nodeKey() != wantedNode) continue;
            node = {};
            ExpGetNetNodeData(&block.ext.nodeB, TRUE, tag.nodeKey(), &node);
        }
        if (parent.kind == ParentRule::Kind::Key && tag.parentKey != parent.key) continue;
        if (parent.kind == ParentRule::Kind::Name) {
            auto at = tag.parentKey != 0 ? positionOfKey(*tags, tag.parentKey) : std::nullopt;
            if (!at || textOf((*tags)[*at].nameId, project) != parent.name) continue;
        }
        if (compare && compare(descriptor, descriptor, tag.data, &node) != 1) continue;
        return reportTag(*tags, i, project, data, nullptr, nullptr, nullptr, 0, position);
    }
    return 0;
}

}  // namespace

extern "C" {

DWORD GetTagElement(void* folder, void* project, DWORD key, void* data, WORD* parent,
                    BOOL* structure, char* name, int nameSize, int* position) {
    TagFolderHeader* header = headerOf(folder);
    if (!header) return 0;
    auto tags = tagsOf(*header);
    if (!tags) return 0;
    auto at = positionOfKey(*tags, static_cast<std::uint16_t>(key));
    if (!at || key == 0) return 0;
    return reportTag(*tags, *at, project, data, parent, structure, name, nameSize, position);
}

DWORD GetBasedTagElement(void* folder, void* project, int position, void* data, WORD* parent,
                         BOOL* structure, char* name, int nameSize, int* positionOut) {
    TagFolderHeader* header = headerOf(folder);
    if (!header) return 0;
    auto tags = tagsOf(*header);
    if (!tags || position < 0 || static_cast<std::size_t>(position) >= tags->size()) return 0;
    return reportTag(*tags, static_cast<std::size_t>(position), project, data, parent, structure,
                     name, nameSize, positionOut);
}

DWORD ScanForExistingTag(void* folder, void* project, const char* path, const void* descriptor,
                         void* data, int* position, TAGCOMPARE compare) {
    TagFolderHeader* header = headerOf(folder);
    if (!header || !path) return 0;
    std::string text = path;
    ParentRule parent;
    std::string name = text;
    if (auto tab = text.find('\t'); tab != std::string::npos) {
        name = text.substr(tab + 1);
        parent.name = text.substr(0, tab);
        parent.kind = parent.name.empty() ? ParentRule::Kind::Key : ParentRule::Kind::Name;
    }
    return scan(*header, project, name, parent, descriptor, data, position, compare);
}

DWORD AddTagElement(void* folder, void* project, const char* name, const void* descriptor,
                    int parentKey, BOOL structure, TAGCOMPARE compare) {
    TagFolderHeader* header = headerOf(folder);
    if (!header || !project || !name || !*name || !descriptor) return 0;
    if (header->count >= kMaxTags) return 0;
    auto tags = tagsOf(*header);
    if (!tags) return 0;

    ParentRule parent;
    if (parentKey > 0) {
        parent.kind = ParentRule::Kind::Name;
        auto at = positionOfKey(*tags, static_cast<std::uint16_t>(parentKey));
        if (at) parent.name = textOf((*tags)[*at].nameId, project);
        if (parent.name.empty())
            parent = {ParentRule::Kind::Key, static_cast<std::uint16_t>(parentKey), {}};
    } else if (parentKey == 0) {
        parent.kind = ParentRule::Kind::Key;
    }
    int position = -1;
    DWORD key = scan(*header, project, name, parent, descriptor, nullptr, &position, compare);
    if (key == 0) {
        std::uint16_t newKey = 1;
        while (positionOfKey(*tags, newKey)) ++newKey;
        WORD nameId = StrTabAddText(name, project);
        if (nameId == kNoStringId) return 0;
        const std::size_t count = tags->size();
        HGLOBAL grown =
            header->elements != 0u
                ? GlobalReAlloc(header->elements, (count + 1) * sizeof(TagElement), GHND)
                : GlobalAlloc(GHND, sizeof(TagElement));
        if (!grown) {
            StrTabGetText(nameId, project, nullptr, 0, 1);
            return 0;
        }
        header->elements = grown;
        header->count = static_cast<std::uint16_t>(count + 1);
        tags = tagsOf(*header);
        TagElement& tag = (*tags)[count];
        tag = {};
        tag.key = newKey;
        tag.nameId = nameId;
        key = newKey;
        position = static_cast<int>(count);
        if (parentKey == -1) parentKey = 0;
    }
    TagElement& tag = (*tags)[static_cast<std::size_t>(position)];
    std::memcpy(tag.data, descriptor, TagElement::kDataSize);
    if (parentKey != -1) tag.parentKey = static_cast<std::uint16_t>(parentKey);
    kestra::WriteLe16(tag.data + kClearedWordInData, 0);
    tag.data[kFlaggedByteInData] &= 0x7F;
    tag.flags = static_cast<std::uint8_t>((tag.flags & ~TagElement::kStructure) |
                                          (structure ? TagElement::kStructure : 0));
    return key;
}

BOOL DeleteTagElement(void* folder, void* project, DWORD key) {
    TagFolderHeader* header = headerOf(folder);
    if (!header) return FALSE;
    auto tags = tagsOf(*header);
    if (!tags) return FALSE;
    auto at = positionOfKey(*tags, static_cast<std::uint16_t>(key));
    if (!at || key == 0) return FALSE;
    const bool wasStructure = (*tags)[*at].isStructure();
    StrTabGetText((*tags)[*at].nameId, project, nullptr, 0, 1);
    const std::size_t count = tags->size();
    std::memmove(&(*tags)[*at], &(*tags)[*at + 1], (count - *at - 1) * sizeof(TagElement));
    if (count == 1) {
        GlobalFree(header->elements);
        header->elements = 0;
    } else {
        // A block that cannot shrink keeps its size; the count says what is in use.
        GlobalReAlloc(header->elements, (count - 1) * sizeof(TagElement), GHND);
    }
    header->count = static_cast<std::uint16_t>(count - 1);
    if (wasStructure) {
        for (;;) {
            auto rest = tagsOf(*header);
            if (!rest) break;
            std::optional<std::uint16_t> member;
            for (const TagElement& tag : *rest)
                if (tag.parentKey == key) {
                    member = tag.key;
                    break;
                }
            if (!member || !DeleteTagElement(folder, project, *member)) break;
        }
    }
    return TRUE;
}

BOOL DeleteTagFolder(void* folder, void* project) {
    TagFolderHeader* header = headerOf(folder);
    if (!header) return FALSE;
    if (header->nameId != 0) StrTabGetText(header->nameId, project, nullptr, 0, 1);
    for (const TagElement& tag : blocks::RecordsUpTo<TagElement>(header->elements, header->count))
        if (tag.nameId != 0) StrTabGetText(tag.nameId, project, nullptr, 0, 1);
    if (header->elements != 0u) GlobalFree(header->elements);
    header->elements = 0;
    header->count = 0;
    return TRUE;
}

BOOL DuplicateTagFolder(void* destination, const void* source, void* project) {
    if (!destination || !source) return FALSE;
    const TagFolderHeader from = kestra::RecordAt<TagFolderHeader>(source);
    TagFolderHeader& to = kestra::RecordAt<TagFolderHeader>(destination);
    auto tags = tagsOf(from);
    HGLOBAL copy = 0;
    if (tags && !tags->empty()) {
        copy = blocks::NewGlobal<TagElement>(*tags);
        if (!copy) return FALSE;
    } else if (!tags) {
        return FALSE;
    }
    to = from;
    to.elements = copy;
    if (!copy) to.count = 0;
    if (to.nameId != 0) StrTabAddReference(nullptr, to.nameId, project);
    if (tags)
        for (const TagElement& tag : *tags)
            if (tag.nameId != 0) StrTabAddReference(nullptr, tag.nameId, project);
    return TRUE;
}

}  // extern "C"
