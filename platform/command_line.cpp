#include "platform/command_line.h"

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/standard_output.h"

namespace kestra::platform {

namespace {

bool AsksFor(int argc, char** argv, std::initializer_list<std::string_view> options) {
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") return false;
        for (std::string_view option : options)
            if (argument == option) return true;
    }
    return false;
}

}  // namespace

bool AsksForHelp(int argc, char** argv) {
    return AsksFor(argc, argv, {"--help", "-h", "-?", "--help-all"});
}

bool ShowsUsageWhenAsked(int argc, char** argv, const char* usage) {
    if (!AsksForHelp(argc, argv)) return false;
    // The usage that does not arrive (a full disk, /dev/full) ends the program with 1.
    static const std::string name(FileNamePart(argc > 0 && argv[0] ? argv[0] : ""));
    FinishStandardOutputAtExit(name.c_str(), 1);
    std::fputs(usage, stdout);
    return true;
}

bool AsksForVersion(int argc, char** argv) {
    return AsksFor(argc, argv, {"--version", "-v"});
}

void NameProgramWithoutFolder(char** argv) {
    if (argv == nullptr || argv[0] == nullptr) return;
    const std::string_view name = FileNamePart(argv[0]);
    if (!name.empty()) argv[0] += name.data() - argv[0];
}

}  // namespace kestra::platform
