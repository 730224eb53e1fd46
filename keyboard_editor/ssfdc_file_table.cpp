#include "keyboard_editor/ssfdc_file_table.h"

#include <array>
#include <fstream>
#include <iterator>

#include "platform/records.h"

namespace clavon {
namespace {

constexpr std::size_t kNameLength = 12;
constexpr std::size_t kFieldCountAfterName = 56;
// A table file larger than this is not a card's table.
constexpr std::size_t kMaxTableBytes = 16 * 1024 * 1024;

}  // namespace

std::string CSSFDCFileEntry::Name() const {
    if (data.size() <= kNameLength) return {};
    const std::size_t length = data[kNameLength];
    const std::size_t available = std::min(length, data.size() - kNameLength - 1);
    return std::string(reinterpret_cast<const char*>(&data[kNameLength + 1]), available);
}

std::uint32_t CSSFDCFileEntry::FieldMask() const {
    if (data.size() <= kNameLength) return 0;
    const std::size_t countAt = kFieldCountAfterName + data[kNameLength];
    if (countAt >= data.size()) return 0;
    const std::size_t count = data[countAt];
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < count && countAt + 1 + i < data.size(); ++i) {
        const unsigned field = data[countAt + 1 + i];
        if (field >= 1 && field <= 32) mask |= 1u << (field - 1);
    }
    return mask;
}

std::optional<CSSFDCFileTable> CSSFDCFileTable::Parse(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4) return std::nullopt;
    const std::uint32_t area = kestra::ReadLe32(bytes.data());
    const std::span<const std::uint8_t> records = bytes.subspan(4);
    CSSFDCFileTable table;
    for (std::size_t offset = 0; offset < area;) {
        if (offset >= records.size()) return std::nullopt;
        const std::size_t length = records[offset];
        if (length == 0) break;
        if (length < 5 || length > records.size() - offset) return std::nullopt;
        const auto record = records.subspan(offset, length);
        if (record[3] != 0 || record[4] != 0) return std::nullopt;
        table.m_entries.push_back(
            CSSFDCFileEntry{record[1], record[2], {record.begin() + 5, record.end()}});
        offset += length;
    }
    return table;
}

std::optional<CSSFDCFileTable> CSSFDCFileTable::Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::array<char, 4096> buffer{};
    while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + in.gcount());
        if (bytes.size() > kMaxTableBytes) return std::nullopt;
    }
    return Parse(bytes);
}

std::vector<const CSSFDCFileEntry*> CSSFDCFileTable::OfType(int type) const {
    std::vector<const CSSFDCFileEntry*> entries;
    for (const CSSFDCFileEntry& entry : m_entries)
        if (entry.type == type) entries.push_back(&entry);
    return entries;
}

int CSSFDCFileTable::FreeKeyboardSubtype() const {
    std::array<bool, 256> used{};
    for (const CSSFDCFileEntry* entry : OfType(kKeyboardFileType))
        used[static_cast<std::size_t>(entry->subtype & 0xFF)] = true;
    for (int subtype = 1; subtype <= 255; ++subtype)
        if (!used[static_cast<std::size_t>(subtype)]) return subtype;
    return -1;
}

}  // namespace clavon
