#include "panel_setup/displays_file.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "panel_setup/model_values.h"
#include "platform/profile.h"

namespace kestra::panel {
namespace {

constexpr DWORD kValueSize = 1024;
constexpr DWORD kListSize = 16384;
constexpr const char kAbsent[] = "\x01<absent>\x01";  // a default no file can hold

std::vector<int> SplitIntegers(const std::string& text) {
    std::vector<int> values;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const auto comma = text.find(',', pos);
        values.push_back(ParseInteger(text.substr(pos, comma - pos)).value_or(0));
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    return values;
}

// The number of the first run of digits in a text.
std::optional<int> FirstNumber(const std::string& text) {
    const auto digit = text.find_first_of("0123456789");
    if (digit == std::string::npos) return std::nullopt;
    int value = 0;
    for (std::size_t i = digit;
         i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (value > 100000000) break;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

std::optional<std::string> ReadProfileText(const std::string& section, const char* key,
                                           const std::string& file) {
    char buffer[kValueSize];
    GetPrivateProfileString(section.c_str(), key, kAbsent, buffer, kValueSize, file.c_str());
    if (std::strcmp(buffer, kAbsent) == 0) return std::nullopt;
    return std::string(buffer);
}

std::optional<TouchGrid> ParseTouchEntry(const std::string& value) {
    std::vector<int> group;
    std::string number;
    bool inNumber = false;
    auto endNumber = [&] {
        if (inNumber && group.size() < 5) group.push_back(ParseInteger(number).value_or(0));
        number.clear();
        inNumber = false;
    };
    for (char c : value) {
        if (c == ',' || c == '.') {
            endNumber();
        } else if (c == ';') {
            endNumber();
            group.clear();
        } else if (!std::isspace(static_cast<unsigned char>(c))) {
            number += c;
            inNumber = true;
        }
    }
    endNumber();
    if (group.size() < 4) return std::nullopt;
    return TouchGrid{group[0], group[1], group[2], group[3] != 0 ? 1 : 0};
}

void CDisplaysFile::Select(int code, int touchType) {
    m_code = static_cast<std::int16_t>(code);
    char section[128];
    std::snprintf(section, sizeof section, "DTYPE%d", code);
    m_section = section;
    if (touchType == -1) touchType = ReadInt("TSType");
    if (touchType == kMissing) touchType = -1;
    m_touchType = static_cast<std::int16_t>(touchType);
    if (touchType == -1) return;
    m_grid = TouchGrid{};
    char key[32];
    std::snprintf(key, sizeof key, "TS%d", touchType);
    if (auto entry = ReadProfileText("Touchscreens", key, m_fileName))
        if (auto grid = ParseTouchEntry(*entry)) m_grid = *grid;
}

int CDisplaysFile::ReadInt(const char* key) const {
    auto text = ReadText(key);
    if (!text) return kMissing;
    return ParseInteger(*text).value_or(0);
}

std::int16_t CDisplaysFile::ReadInt16(const char* key) const {
    return static_cast<std::int16_t>(ReadInt(key));
}

std::optional<std::string> CDisplaysFile::ReadText(const char* key) const {
    if (m_section.empty()) return std::nullopt;
    return ReadProfileText(m_section, key, m_fileName);
}

bool CDisplaysFile::TextContains(const char* key, const char* word) const {
    auto text = ReadText(key);
    return text && text->find(word) != std::string::npos;
}

int CDisplaysFile::ListElement(const char* key, int index) const {
    auto text = ReadText(key);
    if (!text || index < 0) return kMissing;
    auto values = SplitIntegers(*text);
    if (static_cast<std::size_t>(index) >= values.size()) return kMissing;
    return values[static_cast<std::size_t>(index)];
}

std::optional<std::array<int, 3>> CDisplaysFile::ReadTriple(const char* key) const {
    auto text = ReadText(key);
    if (!text) return std::nullopt;
    auto values = SplitIntegers(*text);
    if (values.size() < 3) return std::nullopt;
    return std::array<int, 3>{values[0], values[1], values[2]};
}

int CDisplaysFile::TouchColumns() const {
    return m_grid.columns != 0 ? m_grid.columns : ReadInt("Columns");
}

int CDisplaysFile::TouchRows() const {
    return m_grid.rows != 0 ? m_grid.rows : ReadInt("Rows");
}

std::vector<std::pair<std::string, int>> CDisplaysFile::PanelModelDisplays() {
    std::vector<char> keys(kListSize);
    GetPrivateProfileString("Panel Model", nullptr, "", keys.data(), kListSize, kFileName);
    std::vector<std::pair<std::string, int>> displays;
    for (const char* key = keys.data(); *key; key += std::strlen(key) + 1) {
        auto value = ReadProfileText("Panel Model", key, kFileName);
        if (!value) continue;
        if (auto code = FirstNumber(*value)) displays.emplace_back(key, *code);
    }
    return displays;
}

}  // namespace kestra::panel
