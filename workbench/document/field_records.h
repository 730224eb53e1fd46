// Fields as the clipboard carries them between pages and between workbench windows.
//
// The form stands on its own: each field's record with its lists, its child fields and its
// label, and the texts that its string identifiers name in its project, so that the fields can
// be pasted into a project with another string table. Layout, little-endian:
//
//   "KFLD", u16 version (1), u16 number of fields, then each field:
//     111-byte field record (its slots written as zero, and ignored)
//     its text, when the record's text identifier (offset 93) is nonzero: u16 length, bytes
//     u8 1 and its label (u16 length, bytes), or u8 0 without a label
//     list 1: u16 count, count x 16-byte entries, then for each entry whose text identifier is
//             not 0xFFFF its text (u16 length, bytes)
//     list 2, when the field has one: likewise; texts only when the list holds texts
//     its child fields, when flag bit 0 is set: u16 count, then each child as a field
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "kestra/project.h"

namespace kestra::workbench {

inline constexpr const char* kFieldsMimeType = "application/x-kestra-fields";
inline constexpr std::uint16_t kFieldsFormVersion = 1;

// The fields of a project in the clipboard form.
std::vector<std::byte> EncodeFields(const ProjectBlock& project,
                                    std::span<const FieldRecord> fields);

// The fields of the clipboard form, made part of `project`: new blocks for their lists,
// children and labels, and their texts added to its string table. Throws ImageError
// (platform/image_cursor.h) for bytes that are not the form, and then leaves no block behind.
// A field's text that the string table already holds under identifier 0 (in a loaded project,
// the title) becomes no text, since a field's identifier 0 means none: the project store keeps
// such a field the same way.
std::vector<FieldRecord> DecodeFields(ProjectBlock& project, std::span<const std::byte> form);

}  // namespace kestra::workbench
