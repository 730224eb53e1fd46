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

// The panel image of a loaded project, built by its driver; with `check` the image is read
// back through the driver and must carry the project (kestra/panel_compare.h), or the build
// ends with kExitDriverFailed and the first difference. `what` names the project in messages.
Bytes BuildPanelImage(const std::string& what, const LoadedProject& project, Driver& driver,
                      bool check);

// Loads the project file, finds its driver and builds the image as above. A project with
// errors (kestra/check.h) is refused with kExitProjectErrors, unless `force` says to build it
// anyway (its errors are printed as warnings then).
PanelImage BuildPanelImageOf(const std::string& file, bool check, bool force);

}  // namespace kestra::host
