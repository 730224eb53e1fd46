#include "workbench/hosted/hosted_panel_setup.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "extension_classes/plc_driver.h"
#include "extension_classes/plc_info.h"
#include "panel_setup/data_chunk.h"
#include "panel_setup/setup_client.h"
#include "panel_setup/setup_texts.h"
#include "platform/memory.h"
#include "utilities/folders.h"
#include "workbench/jobs/build_runner.h"
#include "workbench/hosted/hosted_dialogs.h"
#include "workbench/hosted/hosted_project.h"
#include "workbench/hosted/hosted_window.h"

namespace kestra::workbench {

namespace {

namespace block = panel::block;

constexpr std::size_t kKeptSize = KeptPanelSetup::kTo - KeptPanelSetup::kFrom;
constexpr std::size_t kDisplaySize = block::kPassthrough - block::kDisplay;
constexpr std::size_t kPassthroughSize = block::kEthernet - block::kPassthrough;

// Node entries: the identifier, the kind, the marker, the driver's and the model's texts.
constexpr std::size_t kNodeKind = 2, kNodeDriver = 6, kNodeModel = 70, kNodeTextRoom = 64;
// Forth drivers serve this project code (the letter ~).
constexpr BYTE kForthProjectCode = 126;

void PutText(std::uint8_t* at, std::size_t room, const std::string& text) {
    const std::size_t n = std::min(text.size(), room - 1);
    std::memcpy(at, text.data(), n);
    at[n] = 0;
}

KeptPanelSetup KeptOrFail(const ProjectBlock& project) {
    auto kept = KeptPanelSetupOf(project);
    if (!kept)
        host::Fail(host::kExitDamaged,
                   "the project's tail block holds " + std::to_string(project.ext.tailLength) +
                       " bytes of another program's; the panel setup is kept there, so it "
                       "cannot be edited without losing them");
    return *kept;
}

}  // namespace

std::vector<std::uint8_t> SetupRequestOf(ProjectBlock& project, const SetupRequestFacts& facts) {
    const KeptPanelSetup kept = KeptOrFail(project);
    std::vector<std::uint8_t> b(block::kFixedSize + block::kNodeSize * facts.nodes.size());
    b[block::kColourGraphicsUsed] = facts.colourGraphics ? 1 : 0;
    b[block::kForthOffered] = facts.forthOffered ? 1 : 0;
    const auto* head = reinterpret_cast<const std::uint8_t*>(&project.record);
    panel::CompressCompactSetup(
        std::span<const std::uint8_t, panel::setup::kSize>(head, panel::setup::kSize),
        std::span(b).subspan(block::kCompact).first<panel::kCompactSize>());
    std::memcpy(&b[KeptPanelSetup::kFrom], kept.bytes.data(), kKeptSize);
    WriteLe32(&b[block::kProjectSize], facts.projectSize);
    WriteLe16(&b[block::kNodeCount], static_cast<std::uint16_t>(facts.nodes.size()));
    for (std::size_t i = 0; i < facts.nodes.size(); ++i) {
        std::uint8_t* entry = &b[block::kFixedSize + block::kNodeSize * i];
        const SetupRequestFacts::Node& node = facts.nodes[i];
        WriteLe16(entry, static_cast<std::uint16_t>(node.key & 0xFF));
        WriteLe16(entry + kNodeKind, node.kind);
        PutText(entry + kNodeDriver, kNodeTextRoom, facts.driverName);
        PutText(entry + kNodeModel, kNodeTextRoom - 2, node.model);
    }
    return b;
}

void TakeSetupReply(ProjectBlock& project, std::span<const std::uint8_t> reply) {
    if (reply.size() != block::kFixedSize)
        host::Fail(host::kExitInternal, "the panel setup answered with " +
                                            std::to_string(reply.size()) + " bytes, not " +
                                            std::to_string(block::kFixedSize));
    KeptPanelSetup kept = KeptOrFail(project);
    auto copy = [&](std::size_t offset, std::size_t size) {
        std::memcpy(&kept.bytes[KeptPanelSetup::At(offset)], &reply[offset], size);
    };
    if (reply[block::kDisplayChanged]) copy(block::kDisplay, kDisplaySize);
    if (reply[block::kPassthroughChanged]) copy(block::kPassthrough, kPassthroughSize);
    copy(block::kEthernet, block::kEthernetAndByteSize);
    if (reply[block::kPasswordChanged]) copy(block::kPassword, block::kPasswordSize);
    if (reply[block::kModelPath]) copy(block::kModelPath, block::kModelPathSize);
    host::StoreKeptPanelSetup(project, kept);
    if (reply[block::kSetupChanged]) {
        std::array<std::uint8_t, panel::setup::kSize> head;
        std::memcpy(head.data(), &project.record, head.size());
        panel::ExpandCompactSetup(reply.subspan(block::kCompact).first<panel::kCompactSize>(),
                                  head);
        std::memcpy(static_cast<void*>(&project.record), head.data(), head.size());
    }
}

namespace {

SetupRequestFacts FactsOf(const LoadedProject& project, Driver& driver) {
    ProjectBlock& block = project.block();
    SetupRequestFacts facts;
    facts.colourGraphics = block.ext.bitmapCount != 0;
    CPlcInfoList drivers(host::kDriverListRegistryWord);
    drivers.Load(FALSE);
    facts.forthOffered = drivers.FindVersion(kForthProjectCode) != nullptr;
    const host::CollectedMessageBoxes quiet;  // a driver that cannot build the image says so
    try {
        facts.projectSize =
            static_cast<std::uint32_t>(driver.buildPanelImage("the project", project).size());
    } catch (const host::Failure&) {
        // A project the driver cannot build yet is as large as its image.
        facts.projectSize = static_cast<std::uint32_t>(SavedImage(project).size());
    }
    facts.driverName = driver.name();
    uPLCSETUP& head = ActiveNetworkHead(block);
    uPLCSETUP node;
    for (int i = 0; ExpGetNetNodeData(&head, FALSE, i, &node); ++i) {
        char model[kNodeTextRoom] = "";
        driver.loader().GetModelName(&node, node.slaveAddress, model, sizeof model);
        facts.nodes.push_back({node.nodeKey, node.nodeKind, model});
    }
    return facts;
}

}  // namespace

bool EditPanelSetup(QWidget* parent, const LoadedProject& project, Driver& driver) {
    // Panora is looked for until it answers, and no longer than this: a loaded machine (or a
    // build with sanitizers) starts it in seconds rather than the moment the editor allows.
    panel::PanelSetupOptions options;
    options.launchWaitMs = 10000;
    return EditPanelSetupWith(parent, project, driver, options);
}

bool EditPanelSetupWith(QWidget* parent, const LoadedProject& project, Driver& driver,
                        const panel::PanelSetupOptions& options) {
    return TellingFailures(parent, panel::text::kSheetCaption, [&] {
        ProjectBlock& block = project.block();
        const std::vector<std::uint8_t> request = SetupRequestOf(block, FactsOf(project, driver));
        panel::PanelSetupOutcome outcome;
        RunJob(parent, panel::text::kSheetCaption, [&](JobProgress& job) {
            job.step(
                "The panel setup is open in a window of its own (Panora). The workbench "
                "waits until it is closed there.");
            job.showNow();
            outcome = panel::RequestPanelSetup(request, options);
        });
        // "Error launching panel setup dialog" has been told as the client said it.
        if (outcome.result < 0 && outcome.error == panel::text::kLaunchError) return false;
        if (outcome.result < 0)
            host::Fail(host::kExitInternal,
                       "the panel setup ended without an answer: " + outcome.error);
        if (outcome.result != 1) return false;
        return ChangedBy(project, [&] {
            TakeSetupReply(block, outcome.reply);
            return true;
        });
    });
}

}  // namespace kestra::workbench
