// What a panel image must carry of its project: the title, the pages with their names and
// fields (place, class, PLC address, width) and the alarms with their priorities and texts.
// A panel image read back by its driver is compared with the project it was built from.
#pragma once

#include <optional>
#include <string>

#include "kestra/host.h"

namespace kestra::host {

// The first difference found, or nullopt when the read-back project carries the original.
std::optional<std::string> CompareReadBack(const ProjectBlock& original, const ProjectBlock& back);

}  // namespace kestra::host
