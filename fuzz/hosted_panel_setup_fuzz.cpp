// A project's kept panel setup of any size and content in its tail block, and a reply of any
// content: read, made into a request and taken back. A foreign tail block is refused and
// stays as it was.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "kestra/host.h"
#include "platform/memory.h"
#include "kestra/panel_display.h"
#include "workbench/hosted/hosted_panel_setup.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestra;
    using namespace kestra::workbench;
    if (size < 2) return 0;
    // The first two bytes split the rest into the tail block and the reply.
    const std::size_t tailSize = std::min<std::size_t>(ReadLe16(data), size - 2);
    const std::uint8_t* tail = data + 2;
    const std::uint8_t* rest = tail + tailSize;
    const std::size_t restSize = size - 2 - tailSize;

    ProjectBlock project{};
    if (tailSize > 0) {
        project.ext.tail = GlobalAlloc(GHND, tailSize);
        std::memcpy(mem::Data(project.ext.tail), tail, tailSize);
        project.ext.tailLength = static_cast<std::uint32_t>(tailSize);
    }
    const TailState state = TailStateOf(project);
    const host::PanelDisplay display = host::PanelDisplayOf(project);
    if (display.rows <= 0 || display.columns <= 0 || display.charWidth <= 0 ||
        display.charHeight <= 0)
        __builtin_trap();
    (void)PanelModelOf(project);

    std::vector<std::uint8_t> reply(2762);
    std::memcpy(reply.data(), rest, std::min(restSize, reply.size()));
    try {
        SetupRequestFacts facts;
        facts.nodes.push_back({1, 0, std::string(reinterpret_cast<const char*>(rest), restSize)});
        const auto request = SetupRequestOf(project, facts);
        if (request.size() != 2762 + 134) __builtin_trap();
        TakeSetupReply(project, reply);
        if (TailStateOf(project) != TailState::Ours) __builtin_trap();
    } catch (const host::Failure&) {
        if (state != TailState::Foreign) __builtin_trap();
        if (project.ext.tailLength != tailSize ||
            std::memcmp(mem::Data(project.ext.tail), tail, tailSize) != 0)
            __builtin_trap();
    }
    if (project.ext.tail) GlobalFree(project.ext.tail);
    return 0;
}
