// The editor's index editor, "Indexed ..." of the driver's field dialog: a field's index role.
//
// A field can be its page's index, whose value chooses an element (the driver limits its
// values to 256 before it calls the editor), or an indexed reference, whose PLC address is the
// first of up to 256 elements of which the page's index chooses one. A page has at most one
// index. The panel image of the S5 driver has no place for indexing, so the role is the
// editor's own: it is kept in the editor's byte of the field's PLC reference (reference offset
// 24, field record offset 87), in the bits that the field dialog context gives the driver so
// that its title says " - Indexed Reference" (bit 0) or " - Index" (bit 1).
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <span>

#include "kestra/project.h"

class QWidget;

namespace kestra::workbench {

enum IndexRole : std::uint8_t {
    kNotIndexed = 0,
    kIndexedReference = 0x01,
    kPageIndex = 0x02,
};
inline constexpr std::uint8_t kIndexRoleBits = kIndexedReference | kPageIndex;

IndexRole IndexRoleOf(const FieldRecord& field);
void SetIndexRole(FieldRecord& field, IndexRole role);

// The field of the page that is its index, other than `except`; counted from 0.
std::optional<std::size_t> PageIndexField(std::span<const FieldRecord> fields, std::size_t except);

// Runs the editor over `parent` for a field whose role is `role`, on a page whose index is
// `pageIndex` (another field, counted from 0) or none; the role after OK, nothing after Cancel.
std::optional<IndexRole> EditIndexRole(QWidget* parent, const QString& title, IndexRole role,
                                       std::optional<std::size_t> pageIndex);

}  // namespace kestra::workbench
