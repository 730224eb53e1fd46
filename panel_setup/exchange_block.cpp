#include "panel_setup/exchange_block.h"

#include <algorithm>
#include <cstring>

namespace kestra::panel {
namespace {

std::string FixedText(const std::uint8_t* bytes, std::size_t size) {
    const auto* text = reinterpret_cast<const char*>(bytes);
    return std::string(text, strnlen(text, size));
}

template <std::size_t N>
std::span<const std::uint8_t, N> At(std::span<const std::uint8_t> block, std::size_t offset) {
    return block.subspan(offset).first<N>();
}

}  // namespace

std::string NetworkNode::Text(std::size_t offset, std::size_t size) const {
    return FixedText(&bytes[offset], size);
}

std::string CheckExchangeBlock(std::span<const std::uint8_t> block) {
    if (block.size() < block::kFixedSize)
        return "block of " + std::to_string(block.size()) + " bytes is shorter than " +
               std::to_string(block::kFixedSize);
    if (block.size() > kMaxBlockSize)
        return "block of " + std::to_string(block.size()) + " bytes is too large";
    const auto count = static_cast<std::int16_t>(ReadLe16(&block[block::kNodeCount]));
    if (count < 0) return "negative node count " + std::to_string(count);
    const std::size_t needed =
        block::kFixedSize + block::kNodeSize * static_cast<std::size_t>(count);
    if (block.size() < needed)
        return std::to_string(count) + " node entries need " + std::to_string(needed) +
               " bytes, the block has " + std::to_string(block.size());
    return {};
}

std::unique_ptr<SetupRequest> SetupRequest::FromBlock(std::span<const std::uint8_t> block) {
    if (!CheckExchangeBlock(block).empty()) return nullptr;
    std::unique_ptr<SetupRequest> request(new SetupRequest);
    SetupRequest& r = *request;
    r.m_received.assign(block.begin(), block.begin() + block::kFixedSize);

    std::array<std::uint8_t, setup::kSize> record{};
    ExpandCompactSetup(At<kCompactSize>(block, block::kCompact), record);
    r.setup.TakeRecord(record);
    r.display.TakeRecord(At<sizeof(DisplayRecord)>(block, block::kDisplay));
    r.passthrough.TakeRecord(At<sizeof(PassthroughRecord)>(block, block::kPassthrough));
    std::memcpy(r.ethernet.data(), &block[block::kEthernet], r.ethernet.size());
    r.password = FixedText(&block[block::kPassword], block::kPasswordSize);
    r.passwordReceived = r.password;
    r.value2758 = static_cast<std::int16_t>(ReadLe16(&block[block::kValue2758]));
    r.colourGraphicsUsed = block[block::kColourGraphicsUsed] != 0;
    r.forthOffered = block[block::kForthOffered] != 0;
    r.projectSize = ReadLe32(&block[block::kProjectSize]);

    const auto count = ReadLe16(&block[block::kNodeCount]);
    r.nodes.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        std::memcpy(r.nodes[i].bytes.data(), &block[block::kFixedSize + i * block::kNodeSize],
                    block::kNodeSize);
    return request;
}

std::vector<std::uint8_t> SetupRequest::Reply(bool ok, const std::string& modelPath) const {
    std::vector<std::uint8_t> reply = m_received;
    if (!ok) return reply;
    if (display.IsModified()) {
        display.CopyRecordOut(
            std::span(reply).subspan(block::kDisplay).first<sizeof(DisplayRecord)>());
        reply[block::kDisplayChanged] = 1;
    }
    if (setup.IsModified()) {
        std::array<std::uint8_t, setup::kSize> record{};
        setup.CopyRecordOut(record);
        CompressCompactSetup(record,
                             std::span(reply).subspan(block::kCompact).first<kCompactSize>());
        reply[block::kSetupChanged] = 1;
    }
    if (passthrough.IsModified()) {
        passthrough.CopyRecordOut(
            std::span(reply).subspan(block::kPassthrough).first<sizeof(PassthroughRecord)>());
        reply[block::kPassthroughChanged] = 1;
    }
    std::memcpy(&reply[block::kEthernet], ethernet.data(), ethernet.size());
    if (password != passwordReceived) {
        const std::size_t n = std::min(password.size(), block::kPasswordSize - 1);
        std::memcpy(&reply[block::kPassword], password.data(), n);
        reply[block::kPassword + n] = 0;
        reply[block::kPasswordChanged] = 1;
    }
    // A path that does not fit with its terminator is not written at all (a cut path would
    // name another file).
    if (!modelPath.empty() && modelPath.size() < block::kModelPathSize) {
        std::memcpy(&reply[block::kModelPath], modelPath.data(), modelPath.size());
        reply[block::kModelPath + modelPath.size()] = 0;
    }
    return reply;
}

}  // namespace kestra::panel
