// Building a project's panel image, shared by panel-image and card send.
#pragma once

#include <string>

#include "kestra/driver.h"
#include "kestra/host.h"

namespace kestra::host {

struct PanelImage {
    Bytes image;
    std::string driverLibrary;
};

// Loads the project file, finds its driver and builds the image; with `check` the image is
// read back through the driver and must carry the project (kestra/panel_compare.h).
PanelImage BuildPanelImageOf(const std::string& file, bool check);

}  // namespace kestra::host
