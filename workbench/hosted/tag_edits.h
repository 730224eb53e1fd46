// Changes of a project's tag folder (extension offset 175) as the workbench makes them: tags
// and structures added, renamed, moved into another structure, given a PLC reference, and
// deleted (a structure with its members, as DeleteTagElement does). Adding and deleting go
// through the utilities library; the rest changes the tag elements, which are the host's.
//
// A tag is found by its name under its parent (the driver reads a tag's name typed as an
// address so), so two tags of one name under one parent are refused; so is a name with a tab
// (the separator of a tag's path) or longer than the driver reads. A tag's parent is a
// structure (or none), never the tag itself nor one of its members, and structures nest at
// most kMaxTagNesting deep. A tag's data are a PLC reference (its first 30 bytes), bound to
// no tag.
//
// Each change answers whether it was made; one refused leaves the folder as it was.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kestra/project.h"

namespace kestra::workbench {

// The driver writes a bound field's address as its tag's name, into 100 characters.
inline constexpr std::size_t kTagNameLimit = 99;
inline constexpr int kMaxTagNesting = 16;

// The folder's tags, empty when its block does not hold them.
std::span<TagElement> TagsOf(ProjectBlock& project);
std::optional<std::size_t> TagPosition(ProjectBlock& project, std::uint16_t key);
std::string TagName(const ProjectBlock& project, const TagElement& tag);
// The tag's data as a PLC reference.
uPLCADR TagReference(const TagElement& tag);

// What stands against naming a tag `name` under `parent` (0: the top level); `renamed` is the
// tag that would carry it (0: a new one).
std::optional<std::string> TagNameProblem(ProjectBlock& project, const std::string& name,
                                          std::uint16_t parent, std::uint16_t renamed = 0);
// The keys of the tag and of its members, nested (the tag first).
std::vector<std::uint16_t> TagAndMembers(ProjectBlock& project, std::uint16_t key);
// The structures the tag may be moved into (for a new tag, key 0: every structure).
std::vector<std::uint16_t> PossibleParents(ProjectBlock& project, std::uint16_t key);

// The key of the new tag, or 0 (the folder is full, or the name is refused).
std::uint16_t AddTag(ProjectBlock& project, const std::string& name, std::uint16_t parent,
                     bool structure, const uPLCADR& reference);
bool RenameTag(ProjectBlock& project, std::uint16_t key, const std::string& name);
bool MoveTag(ProjectBlock& project, std::uint16_t key, std::uint16_t parent);
bool SetTagReference(ProjectBlock& project, std::uint16_t key, const uPLCADR& reference);
bool DeleteTag(ProjectBlock& project, std::uint16_t key);

}  // namespace kestra::workbench
