// The panel setup of a project, as the workbench keeps it, and the setup exchange block that
// Panora edits, built from the project and taken back into it.
//
// The setup record that Panora edits is laid out as the head of the project record: the
// fields of the compact setup form are the project record's bytes at the setup record's
// offsets (11 time and date format, 12 display code, 13 project memory, 404 to 406 memory
// size code and capabilities, 409 node number, 411 network, 412 to 425 the panel's pages,
// flags, timeouts and colours). The block is built by compressing the project record's head
// and a reply's changed setup is expanded back into it; the bytes that travel back only
// (15, 81, 82: PLC type, project type, firmware) are the driver's and are never taken.
//
// What the project record has no room for is kept in the project's opaque tail block (which
// no part of the suite reads) as a record of the workbench's own, little-endian:
//
//   0   4 bytes  "KWPS"
//   4   u16      1, the layout of what follows
//   6   u16      2725, the number of bytes that follow
//   8   2725     the exchange block's bytes 35 to 2759: the display record, the passthrough
//                record, the Ethernet settings and the byte at 2477, the project size (not
//                used), the upload protection password, the path of the panel model file and
//                the value at 2758
//
// A project whose tail block holds anything else keeps it: its panel setup cannot be edited.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kestra/host.h"
#include "panel_setup/setup_client.h"
#include "workbench/hosted/hosted_dialogs.h"

namespace kestra::workbench {

// The lines of the panel's display, for the field width and height limits.
struct PanelGeometry {
    std::size_t rows = 16;
    std::size_t columns = 40;
};

// What the project keeps of its panel setup outside the project record.
struct KeptPanelSetup {
    static constexpr std::size_t kFrom = 35, kTo = 2760;  // exchange block bytes kept
    std::vector<std::uint8_t> bytes;                      // kTo - kFrom of them
};

enum class TailState { Absent, Ours, Foreign };
TailState TailStateOf(const ProjectBlock& project);

// What the project keeps, or the defaults (an empty display record, the passthrough record's
// defaults) when it keeps nothing yet; nothing when the tail block is foreign.
std::optional<KeptPanelSetup> KeptPanelSetupOf(const ProjectBlock& project);

// The panel's display lines (the default when no display has been chosen), and the panel
// model's name ("" when none has been chosen).
PanelGeometry PanelGeometryOf(const ProjectBlock& project);
std::string PanelModelOf(const ProjectBlock& project);

// What the project editor tells Panora beside the project's own setup.
struct SetupRequestFacts {
    bool colourGraphics = false;    // the project has bitmaps
    bool forthOffered = false;      // a Forth driver is installed
    std::uint32_t projectSize = 0;  // bytes of the panel image
    std::string driverName;         // of the nodes' PLC driver
    struct Node {
        std::uint16_t key;
        std::uint16_t kind;
        std::string model;
    };
    std::vector<Node> nodes;  // of the active network folder
};

// The setup exchange block of the project; a host::Failure when its tail block is foreign.
std::vector<std::uint8_t> SetupRequestOf(ProjectBlock& project, const SetupRequestFacts& facts);

// Takes what Panora sent back (after OK) into the project: the changed setup into the project
// record's head, the rest into the kept record. A host::Failure for a reply of the wrong size
// or a foreign tail block, and then the project is as it was.
void TakeSetupReply(ProjectBlock& project, std::span<const std::uint8_t> reply);

// EditPanelSetup with the options of the exchange (where Panora is, how long to wait for it).
bool EditPanelSetupWith(QWidget* parent, const LoadedProject& project, Driver& driver,
                        const panel::PanelSetupOptions& options);

}  // namespace kestra::workbench
