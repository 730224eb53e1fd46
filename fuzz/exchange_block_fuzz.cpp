// Setup exchange blocks of any size and content: checked, split into chunks, and answered.
#include <cstddef>
#include <cstdint>
#include <span>

#include "panel_setup/exchange_block.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestra::panel;
    std::span<const std::uint8_t> bytes(data, size);
    auto request = SetupRequest::FromBlock(bytes);
    if (!request) return 0;
    request->setup.SetModified();
    request->display.SetModified();
    request->passthrough.SetModified();
    request->password = "changed";
    for (const auto& node : request->nodes) (void)node.Driver(), (void)node.Model();
    auto reply = request->Reply(true, "/Panels/Generic.dat");
    if (reply.size() != block::kFixedSize) __builtin_trap();
    return 0;
}
