// Loading a project as `kestra check` does: with the options of loading and, when repairs are
// asked for, with a report of what loading repaired.
#pragma once

#include <string>
#include <vector>

#include "kestra/host.h"

namespace kestra::host {

struct CheckedProject {
    LoadedProject project;
    // One line per repair, as `kestra check` prints them after "repaired: ": the lines the
    // store added to the repair log "PrjFix.txt" in the current folder, the menu fields dropped
    // per page, and why the project did not load without repairs.
    std::vector<std::string> repairs;
};

// Loads the image with the options; with options.repairMenuFields it is loaded without repairs
// first, to tell what the repairs changed. kExitNotProject for a foreign file, kExitDamaged
// when the store refuses the image even with the repairs asked for.
CheckedProject LoadChecked(const std::string& file, const Bytes& image, const LoadOptions& options);

}  // namespace kestra::host
