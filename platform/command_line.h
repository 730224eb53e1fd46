// What a program's command line asks before the program needs anything else.
//
// A run that asks only for the usage or the version needs no display: the desktop programs
// answer it before they open their first window, so it works over a plain terminal too.
#pragma once

namespace kestra::platform {

// "--help", "-h", "-?" or "--help-all" is among the arguments (before a "--").
bool AsksForHelp(int argc, char** argv);
// Prints `usage` to standard output when the arguments ask for help, and says whether they did:
// the program then ends with exit code 0, or 1 when the usage could not be written.
bool ShowsUsageWhenAsked(int argc, char** argv, const char* usage);
// "--version" or "-v" is among the arguments (before a "--").
bool AsksForVersion(int argc, char** argv);
// Points argv[0] at the program's name without its folder, so that usage lines name the
// program as a user types it rather than by the path it was started from.
void NameProgramWithoutFolder(char** argv);

}  // namespace kestra::platform
