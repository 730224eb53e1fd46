#include "card_access/ssfdc_types.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/profile.h"

namespace {

constexpr char kTypeFileName[] = "cardtype.ini";
constexpr char kDefaultManufacturer[] = "Unknown";

// Copies a path into the 256-byte path buffer; false (buffer untouched) when it does not
// fit with its terminating zero.
bool storePath(char (&target)[CSSFDCTypes::kPathSize], const std::string& path) {
    if (path.size() >= CSSFDCTypes::kPathSize) return false;
    std::memcpy(target, path.c_str(), path.size() + 1);
    return true;
}

// The section names that fit whole in a buffer of 2048 bytes, in file order. A name that
// the buffer cuts is not taken.
std::vector<std::string> sectionNames(const char* file) {
    std::vector<char> buffer(CSSFDCTypes::kSectionNamesSize, 0);
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD stored = GetPrivateProfileSectionNames(buffer.data(), size, file);
    const bool cut = stored == size - 2 && buffer[size - 3] != 0;
    std::vector<std::string> names;
    for (const char* name = buffer.data(); *name; name += std::strlen(name) + 1)
        names.emplace_back(name);
    if (cut && !names.empty()) names.pop_back();
    return names;
}

}  // namespace

CSSFDCTypes::CSSFDCTypes(const char* folder) {
    // A folder too long for the path buffer leaves the path empty: no types.
    storePath(m_iniPath, std::string(folder ? folder : "") + kTypeFileName);
    enumTypes();
}

CSSFDCTypes::CSSFDCTypes(const CSSFDCTypes& other)
    : m_numTypes(other.m_numTypes), m_table(other.m_table) {
    std::memcpy(m_iniPath, other.m_iniPath, sizeof m_iniPath);
}

CSSFDCTypes& CSSFDCTypes::operator=(const CSSFDCTypes& other) {
    m_numTypes = other.m_numTypes;
    m_table = other.m_table;
    std::memmove(m_iniPath, other.m_iniPath, sizeof m_iniPath);
    return *this;
}

CSSFDCTypes::~CSSFDCTypes() = default;

void CSSFDCTypes::setINIFilename(const char* path) {
    if (path) storePath(m_iniPath, path);
}

void CSSFDCTypes::enumTypes() {
    m_table.reset();
    m_numTypes = 0;
    if (!m_iniPath[0]) return;
    const auto names = sectionNames(m_iniPath);
    if (names.empty()) return;

    auto table = std::make_shared<CSSFDCStatus[]>(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const char* section = names[i].c_str();
        auto integer = [&](const char* key) {
            return static_cast<std::int32_t>(GetPrivateProfileInt(section, key, 0, m_iniPath));
        };
        CSSFDCStatus& type = table[i];
        GetPrivateProfileString(section, "Manufacturer", kDefaultManufacturer, type.Manufacturer,
                                sizeof type.Manufacturer, m_iniPath);
        type.Blocks = integer("Blocks");
        type.LastAddr = integer("LastAddr");
        type.Pages = integer("Pages");
        type.PageSize = integer("PageSize");
        type.TypeCode = integer("TypeCode");
        type.MB = integer("MB");
        type.BlockSize = static_cast<std::int32_t>(static_cast<std::uint32_t>(type.PageSize) *
                                                   static_cast<std::uint32_t>(type.Pages));
        type.StatusByte = 0;
    }
    m_table = std::move(table);
    m_numTypes = static_cast<std::uint32_t>(names.size());
}

unsigned CSSFDCTypes::getNumTypes() {
    return m_numTypes;
}

CSSFDCStatus* CSSFDCTypes::getSSFDCData(unsigned code) {
    for (std::uint32_t i = 0; i < m_numTypes; ++i)
        if (static_cast<unsigned>(m_table[i].TypeCode) == code) return &m_table[i];
    return nullptr;
}

CSSFDCStatus* CSSFDCTypes::getSSFDCDataByIndex(unsigned index) {
    return index < m_numTypes ? &m_table[index] : nullptr;
}
