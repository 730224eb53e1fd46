// Panel model files and display tables of any content: the first part of the input becomes
// "Displays.ini", the rest a model file; every reader of both runs over them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "panel_setup/panel_capabilities.h"
#include "panel_setup/panel_map.h"
#include "panel_setup/setup_rules.h"
#include "platform/files.h"

namespace {

const std::string& Folder() {
    static const std::string folder = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "panel-model-fuzz-XXXXXX").string();
        std::string made = mkdtemp(pattern.data());
        std::filesystem::create_directories(made + "/Panels");
        setenv(kestra::platform::kWindowsFolderVariable, made.c_str(), 1);
        return made;
    }();
    return folder;
}

void Write(const std::string& path, std::string_view text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestra::panel;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto split = input.find("\n====\n");
    const std::string model = Folder() + "/Panels/Model.dat";
    Write(Folder() + "/Displays.ini", input.substr(0, split));
    Write(model, split == std::string_view::npos ? input : input.substr(split + 6));

    CPanelMap map;
    map.Load(Folder() + "/Panels");
    CPanelFile file(model, 12);
    const int version = file.Highest();
    CTargetSetupData setup;
    ApplyCapabilities(setup, file, version);
    CPanelDisplayData display;
    LoadDisplayFromModel(display, file, version, true);
    (void)InitialPanelMemoryIndex(file, version, setup);
    (void)BackupMemory(&file, version, true, true);
    for (const auto& s : Settings()) (void)ModelRule(&file, s.key, SettingSelector(s, version));
    (void)CDisplaysFile::PanelModelDisplays();
    return 0;
}
