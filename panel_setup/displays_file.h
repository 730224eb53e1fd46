// The display table "Displays.ini": one section "DTYPE<code>" per display type, the touch
// grids of section "Touchscreens" and the display types offered for the generic model in
// section "Panel Model".
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestra::panel {

inline constexpr int kMissing = -777;  // an integer key that is not there

struct TouchGrid {
    int identifier = 0;
    int columns = 0;
    int rows = 0;
    int flags = 0;  // bit 0
};

// Parses a touchscreen entry: up to five integers separated by "," or "."; ";" starts a new
// group. Only a last group of at least four integers is a grid.
std::optional<TouchGrid> ParseTouchEntry(const std::string& value);

class CDisplaysFile {
  public:
    static constexpr const char* kFileName = "Displays.ini";

    CDisplaysFile() = default;
    explicit CDisplaysFile(int code) { Select(code, -1); }

    // Selects a display type and its touchscreen (-1: the display's own "TSType").
    void Select(int code, int touchType);

    int Code() const { return m_code; }
    int TouchType() const { return m_touchType; }
    const std::string& Section() const { return m_section; }
    const TouchGrid& Grid() const { return m_grid; }

    // Readers on the selected section; kMissing, nothing or false when the key is missing.
    int ReadInt(const char* key) const;
    std::int16_t ReadInt16(const char* key) const;
    std::optional<std::string> ReadText(const char* key) const;
    bool TextContains(const char* key, const char* word) const;
    // Element i (from 0) of a comma list; kMissing when the list is shorter.
    int ListElement(const char* key, int index) const;
    std::optional<std::array<int, 3>> ReadTriple(const char* key) const;
    bool HasKey(const char* key) const { return ReadText(key).has_value(); }

    // Touch grid columns and rows, the display's own when the grid gives 0.
    int TouchColumns() const;
    int TouchRows() const;

    // The display types of section "Panel Model": name and display code.
    static std::vector<std::pair<std::string, int>> PanelModelDisplays();

  private:
    std::int16_t m_code = 0;
    std::int16_t m_touchType = -1;
    std::string m_section;
    std::string m_fileName = kFileName;
    TouchGrid m_grid;
};

// The text value of a key, or nothing when the key is missing.
std::optional<std::string> ReadProfileText(const std::string& section, const char* key,
                                           const std::string& file);

}  // namespace kestra::panel
