// How `kestra` shows its usage: descriptions that read as sentences, with the rules between
// options said in words and long texts wrapped, the program's name rather than its path, its
// version, examples and the exit codes.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace kestra::host {

// The help and version flags and the layout of the help; before the subcommands are added,
// so that they take both over.
void SetUpUsage(CLI::App& app, const std::string& version);

// What follows the top-level help: the main job as examples, and the exit codes.
std::string UsageFooter();

}  // namespace kestra::host
