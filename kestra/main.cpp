// kestra: the command-line host of the suite's libraries. It opens, checks, converts, prints
// and sends projects through the exports of the project store, the PLC drivers, the driver
// list and loader, and the card device service, as the project editor calls them.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>

#include "kestra/commands.h"
#include "kestra/host.h"
#include "kestra/usage.h"
#include "platform/standard_output.h"

namespace kestra::host {

int RunKestra(int argc, char** argv) {
    CLI::App app{"kestra: projects, panel images, printing and cards of the Kestra panel tools.",
                 "kestra"};
    SetUpUsage(app, "kestra " KESTRA_VERSION);
    app.require_subcommand(1);
    AddInfoCommand(app);
    AddCheckCommand(app);
    AddExchangeCommands(app);
    AddPanelImageCommand(app);
    AddPrintCommand(app);
    AddCardCommand(app);
    app.footer(UsageFooter());
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

int main(int argc, char** argv) {
    const int code = kestra::host::RunKestra(argc, argv);
    return kestra::platform::FinishStandardOutput("kestra", code, kestra::host::kExitOutput);
}
