// The tag commands of the project tree's Tags node: a new tag or structure, renaming, a tag's
// properties (its name, the structure it belongs to and, for a tag, its PLC reference in the
// driver's PLC reference page), and deleting a tag or a structure with its members.
//
// Each opens a dialog over `parent` and returns true when it ended with OK and the project
// changed; Cancel leaves every byte as it was. A tag is named by its place in the tag folder
// (the tree's item number). When a tag's address changes or a tag goes, the fields bound to
// tags follow (the driver's ExpValidatePLCAddress): a field takes its tag's new address, and a
// field whose tag is gone keeps the address it had, bound to no tag, so that a tag made later
// with the freed key does not take it over.
#pragma once

#include <cstddef>
#include <optional>

#include "workbench/hosted/hosted_dialogs.h"

namespace kestra::workbench {

// A new tag, or structure, in the structure that the tag at `near` is (or belongs to); at the
// top level without one. Its place in the folder goes to `made`.
bool NewTag(QWidget* parent, const LoadedProject& project, Driver& driver,
            std::optional<std::size_t> near, bool structure, std::size_t* made = nullptr);
bool RenameTagAt(QWidget* parent, const LoadedProject& project, Driver& driver,
                 std::size_t position);
bool EditTagAt(QWidget* parent, const LoadedProject& project, Driver& driver, std::size_t position);
// Asks first, naming the members and the fields bound to what goes.
bool DeleteTagAt(QWidget* parent, const LoadedProject& project, Driver& driver,
                 std::size_t position);

}  // namespace kestra::workbench
