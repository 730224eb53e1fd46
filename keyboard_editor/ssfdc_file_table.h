// The table of card files that the download manager leaves in "SSFDCProps.bin".
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace clavon {

inline constexpr int kCodeFileType = 4;
inline constexpr int kKeyboardFileType = 6;

struct CSSFDCFileEntry {
    int type = 0;
    int subtype = 0;
    std::vector<std::uint8_t> data;  // the head of the file

    // Read from the head as from a keyboard ROM image: the name after its length byte at 12,
    // the associated fields after the name.
    std::string Name() const;
    std::uint32_t FieldMask() const;
};

class CSSFDCFileTable {
  public:
    // Nothing when the table is invalid: a record shorter than 5 bytes, with a non-zero byte
    // 3 or 4, or running past the end of the bytes.
    static std::optional<CSSFDCFileTable> Parse(std::span<const std::uint8_t> bytes);
    // The table of a file; nothing when the file is missing, unreadable or invalid.
    static std::optional<CSSFDCFileTable> Read(const std::string& path);

    const std::vector<CSSFDCFileEntry>& Entries() const { return m_entries; }
    std::vector<const CSSFDCFileEntry*> OfType(int type) const;
    // The smallest subtype from 1 to 255 that no keyboard uses; -1 when all are used.
    int FreeKeyboardSubtype() const;

  private:
    std::vector<CSSFDCFileEntry> m_entries;
};

}  // namespace clavon
