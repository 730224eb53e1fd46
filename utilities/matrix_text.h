// The parameter matrix editor's clipboard text and multipage list, apart from the dialog.
//
// A block of cells travels through the clipboard as text: cells separated by a tab, rows ended
// by a carriage return and line feed. The multipage list is group 0 of the project's grouped
// word list: a u16 group count, then per group a u16 count and that many u16 keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestra::utilities {

using CellBlock = std::vector<std::vector<std::string>>;

// The block as clipboard text.
std::string FormatCellBlock(const CellBlock& cells);
// Splits clipboard text into rows (at CR LF, LF or CR) and cells (at tabs). A line end at the
// very end does not start another row. Rows past maxRows and cells past maxColumns are left
// out, and so is the text of a cell past maxCellLength bytes.
CellBlock ParseCellBlock(std::string_view text, std::size_t maxRows, std::size_t maxColumns,
                         std::size_t maxCellLength);

// Whether group 0 of the word list holds the key; nothing when the bytes are not a list.
std::optional<bool> MultipageHasKey(std::span<const std::byte> list, std::uint16_t key);
// The list with the key appended to group 0 (a list of one group when `list` is empty), or
// without any occurrence of it; nothing when the bytes are not a list or the group is full.
std::optional<std::vector<std::byte>> MultipageWithKey(std::span<const std::byte> list,
                                                       std::uint16_t key);
std::optional<std::vector<std::byte>> MultipageWithoutKey(std::span<const std::byte> list,
                                                          std::uint16_t key);

}  // namespace kestra::utilities
