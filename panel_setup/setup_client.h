// The project editor's side of the exchange with Panora: finds a running Panora or starts it
// from the program folder, sends the setup exchange block and waits for the edited block.
// Needs a Qt application object in the calling process.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace kestra::panel {

struct PanelSetupOptions {
    // The folder that holds the Panora program; empty: the program folder.
    std::string programFolder;
    // How long to look for a Panora that was just started.
    int launchWaitMs = 500;
    // Called for every idle notification while the sheet is open.
    std::function<void()> onIdle;
};

struct PanelSetupOutcome {
    // 1 after OK, 0 after Cancel, -1 when no answer came (error says why).
    int result = -1;
    std::vector<std::uint8_t> reply;  // the 2762 bytes sent back
    int idleNotifications = 0;
    std::string error;
};

// Sends one exchange block and waits until Panora has answered and ended. When Panora can be
// neither found nor started, shows "Error launching panel setup dialog" (caption "Panel Setup").
PanelSetupOutcome RequestPanelSetup(std::span<const std::uint8_t> block,
                                    const PanelSetupOptions& options = {});

}  // namespace kestra::panel
