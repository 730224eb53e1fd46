// The list of panel models: every "*.dat" file of the model folder, ordered by display order and
// then by model name without regard to case.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestra::panel {

inline constexpr int kNoDisplayOrder = 61440;
inline constexpr std::size_t kModelNameMax = 254;
inline constexpr std::size_t kModelPathMax = 259;

struct PanelMapEntry {
    bool valid = false;
    std::uint16_t displayOrder = kNoDisplayOrder;
    std::int16_t displayCode = 0;
    std::string modelName;
    std::string path;
};

class CPanelMap {
  public:
    static constexpr const char* kGenericFile = "Generic.dat";

    void Load(const std::string& folder);
    const std::string& Folder() const { return m_folder; }
    const std::vector<PanelMapEntry>& Entries() const { return m_entries; }
    std::optional<std::string> FindPath(const std::string& modelName) const;

  private:
    std::string m_folder;
    std::vector<PanelMapEntry> m_entries;
};

}  // namespace kestra::panel
