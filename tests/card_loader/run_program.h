// Runs a program of the program folder as a separate process and collects what it wrote.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "support/temp_folder.h"

namespace kestra::testing {

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Environment values of nullopt are removed for the program.
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::map<std::string, std::optional<std::string>>& environment) {
    TempFolder capture;
    const std::string outFile = capture.file("out"), errFile = capture.file("err");
    const std::string path = platform::JoinPath(platform::ProgramFolder(), program);
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child == 0) {
        for (const auto& [name, value] : environment) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(path.c_str()));
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ProgramRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = platform::ReadWholeFile(outFile).value_or("");
    run.err = platform::ReadWholeFile(errFile).value_or("");
    return run;
}

}  // namespace kestra::testing
