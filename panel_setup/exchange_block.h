// The setup exchange block that the project editor sends and gets back, checked before use and
// split into the data chunks the setup sheet edits.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "panel_setup/data_chunk.h"

namespace kestra::panel {

// Blocks larger than this are refused (2762 + 134 x 32767 nodes fits below it).
inline constexpr std::size_t kMaxBlockSize = 8u << 20;

// One network node entry: 134 bytes.
struct NetworkNode {
    std::array<std::uint8_t, block::kNodeSize> bytes{};

    std::uint16_t Identifier() const { return ReadLe16(&bytes[0]); }
    std::uint16_t Kind() const { return ReadLe16(&bytes[2]); }
    std::uint8_t Marker() const { return bytes[4]; }
    std::string Driver() const { return Text(6, 64); }
    std::string Model() const { return Text(70, 64); }
    bool IsGroup() const { return (Identifier() >> 8) == 16; }

  private:
    std::string Text(std::size_t offset, std::size_t size) const;
};

// Why a block cannot be served; empty when it can.
std::string CheckExchangeBlock(std::span<const std::uint8_t> block);

// One setup request: the chunks and values the sheet edits, built from a checked block.
class SetupRequest {
  public:
    // Nothing when the block fails CheckExchangeBlock.
    static std::unique_ptr<SetupRequest> FromBlock(std::span<const std::uint8_t> block);

    CTargetSetupData setup;
    CPanelDisplayData display;
    CPanelRPTData passthrough;
    std::array<std::uint8_t, block::kEthernetAndByteSize> ethernet{};
    std::string password;          // edited by the sheet
    std::string passwordReceived;  // as it came
    std::int16_t value2758 = 0;
    std::uint8_t value2477() const { return ethernet[block::kEthernetSize]; }
    bool colourGraphicsUsed = false;
    bool forthOffered = false;
    std::uint32_t projectSize = 0;
    std::vector<NetworkNode> nodes;

    // The reply: the 2762 bytes received, with the results written in after OK.
    // modelPath is the panel model file open in the sheet (empty: none).
    std::vector<std::uint8_t> Reply(bool ok, const std::string& modelPath) const;

    // The block as received (fixed part only).
    const std::vector<std::uint8_t>& Received() const { return m_received; }

  private:
    SetupRequest() = default;
    std::vector<std::uint8_t> m_received;
};

}  // namespace kestra::panel
