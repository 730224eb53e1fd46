// The subcommands of `kestra`: each adds itself, with its options and its action, to the
// program's command line. An action ends with a Failure (kestra/host.h) or returns normally.
#pragma once

namespace CLI {
class App;
}

namespace kestra::host {

void AddInfoCommand(CLI::App& app);
void AddCheckCommand(CLI::App& app);
void AddExchangeCommands(CLI::App& app);  // export and import
void AddPanelImageCommand(CLI::App& app);
void AddPrintCommand(CLI::App& app);
void AddCardCommand(CLI::App& app);

// Where an action's report goes; tests and the program both use standard output.
int RunKestra(int argc, char** argv);

}  // namespace kestra::host
