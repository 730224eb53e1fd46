#include "workbench/hosted/tag_edits.h"

#include <algorithm>
#include <cstring>

#include "kestra/host.h"
#include "platform/memory.h"
#include "string_table/string_table.h"
#include "utilities/tags.h"

namespace kestra::workbench {

namespace {

constexpr std::size_t kBindingFlagsInData = offsetof(uPLCADR, flags);
constexpr std::size_t kTagIndexInData = offsetof(uPLCADR, tagIndex);

// Adding never updates a tag in place: the name was checked first.
BOOL NeverTheSameTag(const void*, const void*, const void*, const void*) {
    return FALSE;
}

const TagElement* Find(std::span<const TagElement> tags, std::uint16_t key) {
    const auto at = std::find_if(tags.begin(), tags.end(),
                                 [key](const TagElement& tag) { return tag.key == key; });
    return at == tags.end() ? nullptr : &*at;
}

// How many structures a tag lies in (0 at the top level); a loop of parents in a damaged
// folder counts as too deep.
int LevelOf(std::span<const TagElement> tags, std::uint16_t key) {
    int level = 0;
    for (const TagElement* tag = Find(tags, key); tag && tag->parentKey != 0;
         tag = Find(tags, tag->parentKey))
        if (++level > kMaxTagNesting) break;
    return level;
}

// How many levels of members lie below a tag.
int HeightOf(std::span<const TagElement> tags, std::uint16_t key, int depth = 0) {
    if (depth > kMaxTagNesting) return depth;
    int height = 0;
    for (const TagElement& tag : tags)
        if (tag.parentKey == key && tag.key != key)
            height = std::max(height, 1 + HeightOf(tags, tag.key, depth + 1));
    return height;
}

void WriteReference(TagElement& tag, const uPLCADR& reference) {
    std::memcpy(tag.data, &reference, sizeof reference);
    // As on every add: a tag's data are bound to no tag.
    WriteLe16(tag.data + kTagIndexInData, 0);
    tag.data[kBindingFlagsInData] &= static_cast<std::uint8_t>(~uPLCADR::kBoundToTag);
}

}  // namespace

std::span<TagElement> TagsOf(ProjectBlock& project) {
    const TagFolderHeader& folder = project.ext.tagFolder;
    const std::size_t count = folder.count;
    auto* first =
        reinterpret_cast<TagElement*>(mem::At(folder.elements, 0, count * sizeof(TagElement)));
    return first ? std::span<TagElement>(first, count) : std::span<TagElement>();
}

std::optional<std::size_t> TagPosition(ProjectBlock& project, std::uint16_t key) {
    const auto tags = TagsOf(project);
    const TagElement* tag = Find(tags, key);
    if (!tag) return std::nullopt;
    return static_cast<std::size_t>(tag - tags.data());
}

std::string TagName(const ProjectBlock& project, const TagElement& tag) {
    return host::ProjectText(project, tag.nameId);
}

uPLCADR TagReference(const TagElement& tag) {
    uPLCADR reference;
    std::memcpy(&reference, tag.data, sizeof reference);
    return reference;
}

std::optional<std::string> TagNameProblem(ProjectBlock& project, const std::string& name,
                                          std::uint16_t parent, std::uint16_t renamed) {
    if (name.empty()) return "A tag needs a name.";
    if (name.find('\t') != std::string::npos) return "A tag's name cannot hold a tab.";
    if (name.size() > kTagNameLimit)
        return "A tag's name has at most " + std::to_string(kTagNameLimit) + " characters.";
    const auto tags = TagsOf(project);
    for (const TagElement& tag : tags)
        if (tag.key != renamed && tag.parentKey == parent && TagName(project, tag) == name) {
            const TagElement* structure = Find(tags, parent);
            return "There is a tag \"" + name + "\" " +
                   (structure ? "in \"" + TagName(project, *structure) + "\""
                              : std::string("at the top level")) +
                   " already.";
        }
    return std::nullopt;
}

std::vector<std::uint16_t> TagAndMembers(ProjectBlock& project, std::uint16_t key) {
    const auto tags = TagsOf(project);
    std::vector<std::uint16_t> keys;
    if (!Find(tags, key)) return keys;
    keys.push_back(key);
    // Breadth first; a key met twice (a loop in a damaged folder) is not followed again.
    for (std::size_t next = 0; next < keys.size(); ++next)
        for (const TagElement& tag : tags)
            if (tag.parentKey == keys[next] &&
                std::find(keys.begin(), keys.end(), tag.key) == keys.end())
                keys.push_back(tag.key);
    return keys;
}

std::vector<std::uint16_t> PossibleParents(ProjectBlock& project, std::uint16_t key) {
    const auto tags = TagsOf(project);
    const std::vector<std::uint16_t> own =
        key ? TagAndMembers(project, key) : std::vector<std::uint16_t>{};
    const int height = key ? HeightOf(tags, key) : 0;
    std::vector<std::uint16_t> parents;
    for (const TagElement& tag : tags)
        if (tag.isStructure() && std::find(own.begin(), own.end(), tag.key) == own.end() &&
            LevelOf(tags, tag.key) + 1 + height <= kMaxTagNesting)
            parents.push_back(tag.key);
    return parents;
}

std::uint16_t AddTag(ProjectBlock& project, const std::string& name, std::uint16_t parent,
                     bool structure, const uPLCADR& reference) {
    if (TagNameProblem(project, name, parent)) return 0;
    if (parent != 0) {
        const auto possible = PossibleParents(project, 0);
        if (std::find(possible.begin(), possible.end(), parent) == possible.end()) return 0;
    }
    std::uint8_t descriptor[TagElement::kDataSize] = {};
    if (!structure) std::memcpy(descriptor, &reference, sizeof reference);
    return static_cast<std::uint16_t>(AddTagElement(&project.ext.tagFolder, &project, name.c_str(),
                                                    descriptor, parent, structure ? TRUE : FALSE,
                                                    &NeverTheSameTag));
}

bool RenameTag(ProjectBlock& project, std::uint16_t key, const std::string& name) {
    const auto position = TagPosition(project, key);
    if (!position) return false;
    TagElement& tag = TagsOf(project)[*position];
    if (TagNameProblem(project, name, tag.parentKey, key)) return false;
    const WORD id = StrTabAddText(name.c_str(), &project);
    if (id == kNoStringId) return false;
    StrTabGetText(tag.nameId, &project, nullptr, 0, 1);
    tag.nameId = id;
    return true;
}

bool MoveTag(ProjectBlock& project, std::uint16_t key, std::uint16_t parent) {
    const auto position = TagPosition(project, key);
    if (!position) return false;
    if (parent != 0) {
        const auto possible = PossibleParents(project, key);
        if (std::find(possible.begin(), possible.end(), parent) == possible.end()) return false;
    }
    TagElement& tag = TagsOf(project)[*position];
    if (TagNameProblem(project, TagName(project, tag), parent, key)) return false;
    tag.parentKey = parent;
    return true;
}

bool SetTagReference(ProjectBlock& project, std::uint16_t key, const uPLCADR& reference) {
    const auto position = TagPosition(project, key);
    if (!position) return false;
    TagElement& tag = TagsOf(project)[*position];
    if (tag.isStructure()) return false;  // a structure names no address
    WriteReference(tag, reference);
    return true;
}

bool DeleteTag(ProjectBlock& project, std::uint16_t key) {
    return key != 0 && DeleteTagElement(&project.ext.tagFolder, &project, key);
}

}  // namespace kestra::workbench
