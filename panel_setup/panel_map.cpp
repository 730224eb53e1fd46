#include "panel_setup/panel_map.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "panel_setup/displays_file.h"
#include "panel_setup/model_values.h"
#include "platform/files.h"

namespace kestra::panel {
namespace {

constexpr int kMissing16 = 0x7777;

bool HasDatExtension(const std::filesystem::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".dat";
}

int CompareNoCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool Greater(const PanelMapEntry& a, const PanelMapEntry& b) {
    if (a.displayOrder != b.displayOrder) return a.displayOrder > b.displayOrder;
    return CompareNoCase(a.modelName, b.modelName) > 0;
}

std::optional<PanelMapEntry> ReadEntry(const std::string& path) {
    auto name = ReadProfileText("Model", "ModelName", path);
    if (!name || path.size() > kModelPathMax) return std::nullopt;
    PanelMapEntry entry;
    entry.valid = true;
    entry.modelName = name->substr(0, kModelNameMax);
    entry.path = path;
    auto order = ReadProfileText("Model", "DisplayOrder", path);
    entry.displayOrder =
        static_cast<std::uint16_t>(order ? ParseInteger(*order).value_or(0) : kNoDisplayOrder);
    auto code = ReadProfileText("Display", "DisplayCode", path);
    entry.displayCode =
        static_cast<std::int16_t>(code ? ParseInteger(*code).value_or(0) : kMissing16);
    return entry;
}

}  // namespace

void CPanelMap::Load(const std::string& folder) {
    m_folder = folder;
    m_entries.clear();
    std::error_code error;
    std::filesystem::directory_iterator it(platform::ToNativePath(folder), error), end;
    for (; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file(error) || !HasDatExtension(it->path())) continue;
        auto entry = ReadEntry(it->path().string());
        if (!entry) continue;
        auto place = std::find_if(m_entries.begin(), m_entries.end(),
                                  [&](const PanelMapEntry& e) { return Greater(e, *entry); });
        m_entries.insert(place, std::move(*entry));
    }
}

std::optional<std::string> CPanelMap::FindPath(const std::string& modelName) const {
    for (const auto& entry : m_entries)
        if (entry.modelName == modelName) return entry.path;
    return std::nullopt;
}

}  // namespace kestra::panel
