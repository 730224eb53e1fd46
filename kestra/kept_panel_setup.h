// What a project keeps of its panel setup beyond the project record.
//
// The setup record that Panora edits is laid out as the head of the project record (11 time
// and date format, 12 display code, 13 project memory, 404 to 406 memory size code and
// capabilities, 409 node number, 411 network, 412 to 425 the panel's pages, flags, timeouts
// and colours). What the project record has no room for is kept in the project's opaque tail
// block (which no library of the suite reads) as a record of the suite's own, little-endian:
//
//   0   4 bytes  "KWPS"
//   4   u16      1, the layout of what follows
//   6   u16      2725, the number of bytes that follow
//   8   2725     the setup exchange block's bytes 35 to 2759: the display record, the
//                passthrough record, the Ethernet settings and the byte at 2477, the project
//                size (not used), the upload protection password, the path of the panel model
//                file and the value at 2758
//
// A project whose tail block holds anything else keeps it: its panel setup cannot be edited,
// and its display is taken from the project record alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kestra/project.h"
#include "panel_setup/setup_records.h"

namespace kestra::host {

// What the project keeps of its panel setup outside the project record.
struct KeptPanelSetup {
    static constexpr std::size_t kFrom = 35, kTo = 2760;  // exchange block bytes kept
    std::vector<std::uint8_t> bytes;                      // kTo - kFrom of them

    // The place inside `bytes` of an exchange block offset.
    static constexpr std::size_t At(std::size_t blockOffset) { return blockOffset - kFrom; }
    // The display record the panel setup chose.
    panel::DisplayRecord display() const;
};

enum class TailState { Absent, Ours, Foreign };
TailState TailStateOf(const ProjectBlock& project);

// What the project keeps, or the defaults (an empty display record, the passthrough record's
// defaults) when it keeps nothing yet; nothing when the tail block is foreign.
std::optional<KeptPanelSetup> KeptPanelSetupOf(const ProjectBlock& project);

// Writes the record into the project's tail block (made or resized); a Failure when there is
// no memory for it, and then the project is as it was.
void StoreKeptPanelSetup(ProjectBlock& project, const KeptPanelSetup& kept);

// The panel model's name ("" when none has been chosen).
std::string PanelModelOf(const ProjectBlock& project);

}  // namespace kestra::host
