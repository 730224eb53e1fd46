// kestra: the command-line host of the suite's libraries. It opens, checks, converts, prints
// and sends projects through the exports of the project store, the PLC drivers, the driver
// list and loader, and the card device service, as the project editor calls them.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>

#include "kestra/commands.h"
#include "kestra/host.h"

namespace kestra::host {

int RunKestra(int argc, char** argv) {
    CLI::App app{"kestra: projects, panel images, printing and cards of the Kestra panel tools"};
    app.require_subcommand(1);
    AddInfoCommand(app);
    AddCheckCommand(app);
    AddExchangeCommands(app);
    AddPanelImageCommand(app);
    AddPrintCommand(app);
    AddCardCommand(app);
    app.footer(
        "Exit codes: 0 success, 2 usage, 3 unreadable file, 4 not a project, 5 damaged "
        "project, 6 repaired by check, 7 bad JSON document, 8 no driver, 9 driver "
        "failure, 10 output not writable, 11 no card, 12 card full, 13 other card "
        "failure.");
    StartHost();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? kExitOk : kExitUsage;
    } catch (const Failure& failure) {
        std::fflush(stdout);
        std::fprintf(stderr, "kestra: %s\n", failure.message.c_str());
        return failure.code;
    } catch (const std::exception& error) {
        std::fflush(stdout);
        std::fprintf(stderr, "kestra: internal fault: %s\n", error.what());
        return kExitInternal;
    }
    return kExitOk;
}

}  // namespace kestra::host

// Under the leak checker: allocations that Qt's system libraries keep until the process ends,
// left out quietly.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\nleak:libdbus\n";
}
extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}

int main(int argc, char** argv) {
    return kestra::host::RunKestra(argc, argv);
}
