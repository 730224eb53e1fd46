// The parameter matrix editor's clipboard text and multipage list.
#include "utilities/matrix_text.h"

#include <algorithm>

#include "platform/records.h"

namespace kestra::utilities {

namespace {

constexpr std::size_t kWord = 2;

std::uint16_t wordAt(std::span<const std::byte> bytes, std::size_t at) {
    return ReadLe16(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at);
}
void putWord(std::vector<std::byte>& bytes, std::size_t at, std::uint16_t value) {
    WriteLe16(reinterpret_cast<std::uint8_t*>(bytes.data()) + at, value);
}

// Where group 0's keys start and how many there are, after checking that every group the
// list claims lies inside it; nothing for a list without groups or one that runs past its end.
struct FirstGroup {
    std::size_t keys;
    std::size_t count;
};
std::optional<FirstGroup> firstGroup(std::span<const std::byte> list) {
    if (list.size() < kWord) return std::nullopt;
    const std::size_t groups = wordAt(list, 0);
    if (groups == 0) return std::nullopt;
    std::size_t at = kWord;
    FirstGroup first{};
    for (std::size_t g = 0; g < groups; ++g) {
        if (list.size() - at < kWord) return std::nullopt;
        const std::size_t count = wordAt(list, at);
        if ((list.size() - at - kWord) / kWord < count) return std::nullopt;
        if (g == 0) first = {at + kWord, count};
        at += kWord + count * kWord;
    }
    return first;
}

}  // namespace

std::string FormatCellBlock(const CellBlock& cells) {
    std::string text;
    for (const auto& row : cells) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i) text += '\t';
            text += row[i];
        }
        text += "\r\n";
    }
    return text;
}

CellBlock ParseCellBlock(std::string_view text, std::size_t maxRows, std::size_t maxColumns,
                         std::size_t maxCellLength) {
    CellBlock block;
    std::size_t at = 0;
    while (at < text.size() && block.size() < maxRows) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        std::vector<std::string> row;
        std::size_t cell = 0;
        while (row.size() < maxColumns) {
            std::size_t tab = line.find('\t', cell);
            std::string_view piece =
                line.substr(cell, (tab == std::string_view::npos ? line.size() : tab) - cell);
            row.emplace_back(piece.substr(0, std::min(piece.size(), maxCellLength)));
            if (tab == std::string_view::npos) break;
            cell = tab + 1;
        }
        block.push_back(std::move(row));
        at = end;
        if (at < text.size() && text[at] == '\r') ++at;
        if (at < text.size() && text[at] == '\n') ++at;
    }
    return block;
}

std::optional<bool> MultipageHasKey(std::span<const std::byte> list, std::uint16_t key) {
    if (list.empty()) return false;
    auto group = firstGroup(list);
    if (!group) return std::nullopt;
    for (std::size_t i = 0; i < group->count; ++i)
        if (wordAt(list, group->keys + i * kWord) == key) return true;
    return false;
}

std::optional<std::vector<std::byte>> MultipageWithKey(std::span<const std::byte> list,
                                                       std::uint16_t key) {
    if (list.empty()) {
        std::vector<std::byte> one(3 * kWord);
        putWord(one, 0, 1);
        putWord(one, kWord, 1);
        putWord(one, 2 * kWord, key);
        return one;
    }
    auto group = firstGroup(list);
    if (!group || group->count >= 0xFFFF) return std::nullopt;
    const std::size_t end = group->keys + group->count * kWord;
    std::vector<std::byte> grown(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(end));
    grown.resize(end + kWord);
    putWord(grown, end, key);
    grown.insert(grown.end(), list.begin() + static_cast<std::ptrdiff_t>(end), list.end());
    putWord(grown, group->keys - kWord, static_cast<std::uint16_t>(group->count + 1));
    return grown;
}

std::optional<std::vector<std::byte>> MultipageWithoutKey(std::span<const std::byte> list,
                                                          std::uint16_t key) {
    if (list.empty()) return std::vector<std::byte>();
    auto group = firstGroup(list);
    if (!group) return std::nullopt;
    std::vector<std::byte> kept(list.begin(),
                                list.begin() + static_cast<std::ptrdiff_t>(group->keys));
    std::size_t count = 0;
    for (std::size_t i = 0; i < group->count; ++i) {
        const std::size_t at = group->keys + i * kWord;
        if (wordAt(list, at) == key) continue;
        kept.insert(kept.end(), list.begin() + static_cast<std::ptrdiff_t>(at),
                    list.begin() + static_cast<std::ptrdiff_t>(at + kWord));
        ++count;
    }
    const std::size_t end = group->keys + group->count * kWord;
    kept.insert(kept.end(), list.begin() + static_cast<std::ptrdiff_t>(end), list.end());
    putWord(kept, group->keys - kWord, static_cast<std::uint16_t>(count));
    return kept;
}

}  // namespace kestra::utilities
