// The project and its driver as the hosted dialogs see them: pages and fields, the PLC setup
// of a field's PLC, the image the store saves, and driver exports that the driver loader does
// not forward.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "kestra/driver.h"
#include "kestra/host.h"
#include "platform/memory.h"
#include "platform/module.h"
#include "workbench/hosted/hosted_dialogs.h"

namespace kestra::workbench {

// `count` records of a table block of the project; empty when the block is not that long.
template <typename T>
std::span<T> RecordsAt(mem::Ref ref, std::size_t count) {
    if (ref == 0 || count == 0) return {};
    auto* first = reinterpret_cast<T*>(mem::At(ref, 0, count * sizeof(T)));
    return first ? std::span<T>(first, count) : std::span<T>();
}

// The pages of the project, and the top-level fields of a page (empty when the tables cannot
// be reached).
std::span<PageRecord> PagesOf(ProjectBlock& project);
std::span<FieldRecord> FieldsOf(const PageRecord& page);

// The field at `place`; a host::Failure saying what is missing.
FieldRecord& FieldAt(ProjectBlock& project, FieldPlace place);

// The network folder whose nodes are the project's PLCs: node B of the extension record when
// the project is on a PLC network (project record byte 411), node A otherwise.
uPLCSETUP& ActiveNetworkHead(ProjectBlock& project);

// The PLC setup block of a field's PLC: on a PLC network the node of the active folder whose
// key the field's reference names, otherwise (or when there is no such node) node A.
uPLCSETUP SetupOfField(ProjectBlock& project, const FieldRecord& field);

// The address text of a reference as the driver writes it (tag names allowed).
std::string AddressText(Driver& driver, ProjectBlock& project, const uPLCSETUP& setup,
                        const uPLCADR& ref);

// The image the store saves of the project now.
host::Bytes SavedImage(const LoadedProject& project);

// Runs `edit` (true after OK) and answers whether it ended with OK and the image the store
// saves of the project changed. Texts the edit added and let go are forgotten afterwards.
bool ChangedBy(const LoadedProject& project, const std::function<bool()>& edit);

// Forgets the last texts of the project's string table that were added since it held
// `countBefore` identifiers and that nothing holds (a dialog may add texts it then lets go:
// the driver's address box looks names up by adding them): the table's count (project record
// offset 573) goes back over them, so that the string pool keeps no such leftovers.
// Identifiers stay dense, so a text something holds keeps every text before it.
void ForgetUnheldTextsSince(ProjectBlock& project, std::uint16_t countBefore);

// An export of the driver's library that the driver loader does not forward, bound by name
// as the editor binds it; a host::Failure when the library lacks it.
void* DriverExportAddress(Driver& driver, const char* name);
template <typename Function>
Function DriverExport(Driver& driver, const char* name) {
    return reinterpret_cast<Function>(DriverExportAddress(driver, name));
}

}  // namespace kestra::workbench
