// The predefined panel models of the model sheet's panel page. The list holds the keys of
// section "Panel Model" of "displays.ini", each naming a display section with the text
// geometry, followed by the models of the panel model files ("*.dat" in the folder "Panels"
// of the program folder), whose "DisplayCode" names the display section "DTYPE<code>".
#pragma once

#include <string>
#include <vector>

namespace clavon {

struct PanelModel {
    std::string name;
    int code = 0;
    int gridWidth = 0, gridHeight = 0;
    int panelWidth = 0, panelHeight = 0;
};

// The display table's models, then those of the model files in `panelFolder`.
std::vector<PanelModel> ReadPanelModels(const std::string& panelFolder);

}  // namespace clavon
