#include "keyboard_editor/panel_models.h"

#include <algorithm>
#include <vector>

#include "platform/files.h"
#include "platform/profile.h"

namespace clavon {
namespace {

constexpr const char* kDisplays = "displays.ini";
// Text geometry beyond this is not a panel.
constexpr int kMaxCells = 1024, kMaxCell = 256;

int ReadInt(const char* section, const char* key, const char* file, int limit) {
    const int value = static_cast<int>(GetPrivateProfileInt(section, key, 0, file));
    return std::clamp(value, 0, limit);
}

PanelModel FromDisplaySection(const std::string& name, const char* section) {
    PanelModel model;
    model.name = name;
    model.code = static_cast<int>(GetPrivateProfileInt(section, "NCode", 0, kDisplays));
    const int rows = ReadInt(section, "Rows", kDisplays, kMaxCells);
    const int columns = ReadInt(section, "Columns", kDisplays, kMaxCells);
    model.gridWidth = ReadInt(section, "CharWidth", kDisplays, kMaxCell);
    model.gridHeight = ReadInt(section, "CharHeight", kDisplays, kMaxCell);
    model.panelWidth = columns * model.gridWidth;
    model.panelHeight = rows * model.gridHeight;
    return model;
}

}  // namespace

std::vector<PanelModel> ReadPanelModels(const std::string& panelFolder) {
    std::vector<char> keys(10000, '\0');
    GetPrivateProfileString("Panel Model", nullptr, "", keys.data(),
                            static_cast<DWORD>(keys.size()), kDisplays);
    std::vector<PanelModel> models;
    for (const char* key = keys.data(); *key; key += std::string(key).size() + 1) {
        char section[101] = {};
        GetPrivateProfileString("Panel Model", key, "", section, sizeof section, kDisplays);
        models.push_back(FromDisplaySection(key, section));
    }
    for (const std::string& entry : kestra::platform::MatchingEntries(panelFolder, "*.dat")) {
        const std::string file = kestra::platform::JoinPath(panelFolder, entry);
        char name[256] = {};
        GetPrivateProfileString("Model", "ModelName", "", name, sizeof name, file.c_str());
        const int code =
            static_cast<int>(GetPrivateProfileInt("Display", "DisplayCode", -1, file.c_str()));
        if (!name[0] || code < 0) continue;
        const std::string section = "DTYPE" + std::to_string(code);
        models.push_back(FromDisplaySection(name, section.c_str()));
    }
    return models;
}

}  // namespace clavon
