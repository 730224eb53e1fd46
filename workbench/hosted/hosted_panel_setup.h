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
// What the project record has no room for is kept in the project's opaque tail block, as
// kestra/kept_panel_setup.h describes. A project whose tail block holds anything else keeps it:
// its panel setup cannot be edited.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kestra/host.h"
#include "kestra/kept_panel_setup.h"
#include "panel_setup/setup_client.h"
#include "workbench/hosted/hosted_dialogs.h"

namespace kestra::workbench {

using host::KeptPanelSetup;
using host::KeptPanelSetupOf;
using host::PanelModelOf;
using host::TailState;
using host::TailStateOf;

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
