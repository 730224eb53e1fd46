#include "kestra/kept_panel_setup.h"

#include <cstring>
#include <span>

#include "kestra/host.h"
#include "panel_setup/data_chunk.h"
#include "platform/memory.h"

namespace kestra::host {

namespace {

namespace block = panel::block;

constexpr char kTag[4] = {'K', 'W', 'P', 'S'};
constexpr std::uint16_t kLayout = 1;
constexpr std::size_t kHead = 8;
constexpr std::size_t kKeptSize = KeptPanelSetup::kTo - KeptPanelSetup::kFrom;
constexpr std::size_t kRecordSize = kHead + kKeptSize;
constexpr std::size_t kPassthroughSize = block::kEthernet - block::kPassthrough;

std::span<const std::uint8_t> TailBytes(const ProjectBlock& project) {
    const std::uint32_t length = project.ext.tailLength;
    if (length == 0 || project.ext.tail == 0u) return {};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(mem::At(project.ext.tail, 0, length));
    return bytes ? std::span<const std::uint8_t>(bytes, length) : std::span<const std::uint8_t>();
}

}  // namespace

panel::DisplayRecord KeptPanelSetup::display() const {
    panel::DisplayRecord record;
    static_assert(block::kPassthrough - block::kDisplay == sizeof record);
    std::memcpy(&record, &bytes[At(block::kDisplay)], sizeof record);
    return record;
}

TailState TailStateOf(const ProjectBlock& project) {
    const auto tail = TailBytes(project);
    if (project.ext.tailLength == 0 && project.ext.tail == 0u) return TailState::Absent;
    if (tail.size() == kRecordSize && std::memcmp(tail.data(), kTag, sizeof kTag) == 0 &&
        ReadLe16(&tail[4]) == kLayout && ReadLe16(&tail[6]) == kKeptSize)
        return TailState::Ours;
    return TailState::Foreign;
}

std::optional<KeptPanelSetup> KeptPanelSetupOf(const ProjectBlock& project) {
    switch (TailStateOf(project)) {
        case TailState::Foreign:
            return std::nullopt;
        case TailState::Ours: {
            const auto tail = TailBytes(project).subspan(kHead);
            return KeptPanelSetup{{tail.begin(), tail.end()}};
        }
        case TailState::Absent:
            break;
    }
    KeptPanelSetup kept{std::vector<std::uint8_t>(kKeptSize)};
    panel::CPanelRPTData defaults;
    defaults.CopyRecordOut(std::span(kept.bytes)
                               .subspan(KeptPanelSetup::At(block::kPassthrough))
                               .first<kPassthroughSize>());
    return kept;
}

void StoreKeptPanelSetup(ProjectBlock& project, const KeptPanelSetup& kept) {
    std::vector<std::uint8_t> record(kRecordSize);
    std::memcpy(record.data(), kTag, sizeof kTag);
    WriteLe16(&record[4], kLayout);
    WriteLe16(&record[6], static_cast<std::uint16_t>(kKeptSize));
    std::memcpy(&record[kHead], kept.bytes.data(), kKeptSize);
    if (TailStateOf(project) == TailState::Absent) {
        const HGLOBAL tail = GlobalAlloc(GHND, record.size());
        if (!tail) Fail(kExitInternal, "no memory for the project's panel setup");
        project.ext.tail = tail;
    } else if (!mem::Resize(project.ext.tail, record.size())) {
        Fail(kExitInternal, "no memory for the project's panel setup");
    }
    std::memcpy(mem::Data(project.ext.tail), record.data(), record.size());
    project.ext.tailLength = static_cast<std::uint32_t>(record.size());
}

std::string PanelModelOf(const ProjectBlock& project) {
    const auto kept = KeptPanelSetupOf(project);
    if (!kept) return "";
    const panel::DisplayRecord display = kept->display();
    return std::string(display.modelName, strnlen(display.modelName, sizeof display.modelName));
}

}  // namespace kestra::host
