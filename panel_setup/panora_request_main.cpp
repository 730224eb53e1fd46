// panora-request: plays the project editor. It builds a setup exchange block, asks Panora to
// edit it through the client library, and prints what came back; the request carries no
// password unless --password gives one. `--help` shows the options.
#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "panel_setup/data_chunk.h"
#include "panel_setup/setup_client.h"
#include "platform/command_line.h"
#include "platform/file_writer.h"
#include "platform/standard_output.h"

namespace {

using namespace kestra;
using namespace kestra::panel;

struct Arguments {
    int nodes = 0;
    std::string model = "KP-570 Color Panel";
    int version = 210;
    std::uint32_t projectSize = 100000;
    bool colourGraphics = false, forth = false;
    int waitMs = 500;
    std::string save;
    std::string password;
};

constexpr const char* kUsage =
    "Usage: panora-request [OPTIONS]\n"
    "Plays the project editor: builds a panel setup exchange block, has Panora show the\n"
    "\"Panel Setup\" sheet on it (starting Panora from the program folder when none is\n"
    "running) and prints the block that comes back when the sheet is closed.\n"
    "\n"
    "Options:\n"
    "  --nodes N             Network nodes in the block, 0 to 3 (0 by default).\n"
    "  --model NAME          The panel model (\"KP-570 Color Panel\" by default).\n"
    "  --version V           The panel's firmware version, 210 for 2.10 (the default).\n"
    "  --project-size BYTES  The project's size for the memory budget (100000 by default).\n"
    "  --password TEXT       The upload protection password (none by default).\n"
    "  --colour-graphics     The project uses colour graphics.\n"
    "  --forth               The settings page offers the Forth setting.\n"
    "  --wait-ms MS          How long to look for a Panora just started, in milliseconds\n"
    "                        (500 by default).\n"
    "  --save FILE           Also write the block that came back to this file.\n"
    "  -h, --help            Show this help and end.\n"
    "\n"
    "Exit codes: 0 the sheet answered, 1 no answer (the line \"error\" says why), or the\n"
    "report or the --save file could not be written, 2 the command line is wrong.\n";

// What is wrong with the command line; empty when nothing is.
std::string Parse(int argc, char** argv, Arguments& a) {
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "--colour-graphics") {
            a.colourGraphics = true;
            continue;
        }
        if (opt == "--forth") {
            a.forth = true;
            continue;
        }
        const bool takesValue = opt == "--nodes" || opt == "--model" || opt == "--version" ||
                                opt == "--project-size" || opt == "--wait-ms" || opt == "--save" ||
                                opt == "--password";
        if (!takesValue) return "unknown option " + opt;
        if (i + 1 >= argc) return opt + " needs a value";
        const char* v = argv[++i];
        if (opt == "--nodes")
            a.nodes = std::atoi(v);
        else if (opt == "--model")
            a.model = v;
        else if (opt == "--version")
            a.version = std::atoi(v);
        else if (opt == "--project-size")
            a.projectSize = static_cast<std::uint32_t>(std::atol(v));
        else if (opt == "--wait-ms")
            a.waitMs = std::atoi(v);
        else if (opt == "--password")
            a.password = v;
        else
            a.save = v;
    }
    if (a.nodes < 0 || a.nodes > 3) return "--nodes takes 0 to 3";
    if (a.password.size() >= block::kPasswordSize)
        return "--password takes at most " + std::to_string(block::kPasswordSize - 1) +
               " characters";
    return {};
}

void PutText(std::vector<std::uint8_t>& b, std::size_t offset, const std::string& text) {
    std::memcpy(&b[offset], text.c_str(), text.size() + 1);
}

std::vector<std::uint8_t> BuildBlock(const Arguments& a) {
    std::vector<std::uint8_t> b(block::kFixedSize + block::kNodeSize * a.nodes);
    b[block::kColourGraphicsUsed] = a.colourGraphics;
    b[block::kForthOffered] = a.forth;
    b[block::kCompact + 0] = 1;      // 24-hour clock
    b[block::kCompact + 17] = 0x04;  // buzzer on
    b[block::kCompact + 25] = 4;
    std::memcpy(&b[block::kDisplay + 10], a.model.c_str(),
                std::min<std::size_t>(a.model.size(), 79));
    b[block::kDisplay + 112] = static_cast<std::uint8_t>(a.version / 100);
    b[block::kDisplay + 113] = static_cast<std::uint8_t>(a.version % 100);
    CPanelRPTData rpt;
    rpt.CopyRecordOut(std::span(b).subspan(block::kPassthrough).first<sizeof(PassthroughRecord)>());
    WriteLe32(&b[block::kProjectSize], a.projectSize);
    PutText(b, block::kPassword, a.password);
    WriteLe16(&b[block::kNodeCount], static_cast<std::uint16_t>(a.nodes));
    const char* drivers[] = {"Simatic S5 AS511", "Modbus RTU", "KesNET Client"};
    for (int i = 0; i < a.nodes; ++i) {
        const std::size_t n = block::kFixedSize + block::kNodeSize * i;
        WriteLe16(&b[n], static_cast<std::uint16_t>(i + 1));
        WriteLe16(&b[n + 2], static_cast<std::uint16_t>(i == 2 ? 1 : 0));
        b[n + 4] = i == 0;
        PutText(b, n + 6, drivers[i]);
        PutText(b, n + 70, i == 0 ? "CPU 945" : "Generic");
    }
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    if (kestra::platform::ShowsUsageWhenAsked(argc, argv, kUsage)) return 0;
    // A report that does not all arrive is a failure (exit code 1), as a refused request is.
    kestra::platform::FinishStandardOutputAtExit("panora-request", 1);
    QCoreApplication app(argc, argv);
    Arguments args;
    if (const std::string wrong = Parse(argc, argv, args); !wrong.empty()) {
        std::fprintf(stderr, "panora-request: %s (--help shows the usage)\n", wrong.c_str());
        return 2;
    }
    const auto request = BuildBlock(args);
    PanelSetupOptions options;
    options.launchWaitMs = args.waitMs;
    const auto outcome = RequestPanelSetup(request, options);
    std::printf("sent %zu bytes\n", request.size());
    std::printf("result %d\n", outcome.result);
    std::printf("idle notifications %d\n", outcome.idleNotifications);
    if (outcome.result < 0) {
        std::printf("error %s\n", outcome.error.c_str());
        return 1;
    }
    const auto& r = outcome.reply;
    std::printf("reply %zu bytes\n", r.size());
    std::printf("changed setup %d display %d passthrough %d password %d\n", r[0], r[1], r[2], r[3]);
    std::printf("compact");
    for (std::size_t i = 0; i < kCompactSize; ++i) std::printf(" %02x", r[block::kCompact + i]);
    std::printf("\nmodel %.80s version %d\n",
                reinterpret_cast<const char*>(&r[block::kDisplay + 10]),
                r[block::kDisplay + 112] * 100 + r[block::kDisplay + 113]);
    std::printf("model file %.260s\n", reinterpret_cast<const char*>(&r[block::kModelPath]));
    std::string error;
    if (!args.save.empty() &&
        !kestra::platform::WriteWholeFile(args.save, std::span<const std::uint8_t>(r), &error)) {
        std::fprintf(stderr, "panora-request: %s: cannot be written: %s\n", args.save.c_str(),
                     error.c_str());
        return 1;
    }
    return 0;
}
