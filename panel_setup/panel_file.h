// One panel model file ("*.dat" in the folder "Panels"): the model's display, firmware versions,
// memory choices and capabilities, with overrides per firmware version in sections
// "Attributes.vNNNN".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "panel_setup/displays_file.h"
#include "panel_setup/model_values.h"

namespace kestra::panel {

// Section selectors of the versioned reads: a firmware version above 0, or one of these.
inline constexpr int kAttributes = 0;
inline constexpr int kModel = -1;
inline constexpr int kDisplay = -2;
inline constexpr int kFirmware = -3;

// Versions kept from a "Versions" list at most; the rest are ignored.
inline constexpr std::size_t kMaxVersions = 200;
// Versions must fit the display record's two version bytes.
inline constexpr int kHighestVersion = 255 * 100 + 99;

// Parses a "Versions" list: items separated by ",", each optionally starting with "v" or "V",
// blanks before an item skipped. The result is sorted, without repeats, and starts with 0.
std::vector<std::uint16_t> ParseVersionList(const std::string& text);
// "%d.%0.2d" of v / 100 and v % 100; 0 reads as "All".
std::string FormatVersion(int version);

class CPanelFile {
  public:
    CPanelFile(std::string path, int displayCode);

    const std::string& Path() const { return m_path; }
    bool IsGeneric() const { return m_generic; }
    bool HasMfgCode() const { return m_hasMfgCode; }
    int MfgCode() const { return m_mfgCode; }
    CDisplaysFile& Display() { return m_display; }
    const CDisplaysFile& Display() const { return m_display; }
    // Whether the file could be read at all.
    bool Exists() const;

    // Versioned reads; nothing when the key is missing in the section and every fallback.
    std::optional<std::string> ReadText(const char* key, int selector) const;
    std::optional<int> ReadInt(const char* key, int selector) const;
    std::optional<std::int16_t> ReadInt16(const char* key, int selector) const;
    std::optional<int> ReadChoiceValue(const char* key, int selector) const;
    std::optional<int> ReadSize(const char* key, int selector) const;
    std::optional<int> ReadBoolean(const char* key, int selector) const;
    std::optional<ChoiceList> ReadChoices(const char* key, int selector) const;

    // Firmware versions.
    const std::vector<std::uint16_t>& Versions() const;
    bool IsListed(int version) const;
    int NextLower(int version) const;  // -1 when there is none
    int NextHigher(int version) const;
    int Highest() const;

    static std::string SectionName(int selector);

  private:
    std::string m_path;
    bool m_hasMfgCode = false;
    bool m_generic = false;
    int m_mfgCode = kMissing;
    CDisplaysFile m_display;
    mutable std::optional<std::vector<std::uint16_t>> m_versions;
};

}  // namespace kestra::panel
