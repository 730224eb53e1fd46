// Runs a program of the program folder as a separate process and collects what it wrote.
#pragma once

#include <fcntl.h>
#include <pty.h>
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

// In a forked child: sets the environment (a missing value unsets the name) and becomes the
// program; exits with 127 when it cannot.
[[noreturn]] inline void ExecProgram(
    const std::string& path, const std::vector<std::string>& arguments,
    const std::map<std::string, std::optional<std::string>>& environment) {
    for (const auto& [name, value] : environment) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    _exit(127);
}

// Environment values of nullopt are removed for the program. Standard input is /dev/null, or
// a pipe that holds `input` (at most what a pipe buffers, 64 KB).
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::map<std::string, std::optional<std::string>>& environment,
                             const std::optional<std::string>& input = std::nullopt) {
    TempFolder capture;
    const std::string outFile = capture.file("out"), errFile = capture.file("err");
    const std::string path = platform::JoinPath(platform::ProgramFolder(), program);
    int pipeEnds[2] = {-1, -1};
    if (input) {
        if (pipe(pipeEnds) != 0) return {};
        const ssize_t written = write(pipeEnds[1], input->data(), input->size());
        close(pipeEnds[1]);
        if (written != static_cast<ssize_t>(input->size())) return {};
    }
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child == 0) {
        const int in = input ? pipeEnds[0] : open("/dev/null", O_RDONLY);
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        ExecProgram(path, arguments, environment);
    }
    if (input) close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ProgramRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = platform::ReadWholeFile(outFile).value_or("");
    run.err = platform::ReadWholeFile(errFile).value_or("");
    return run;
}

// Runs a program on a terminal of its own (standard input, output and error), with `typed`
// already typed, and returns everything the terminal showed, echo included.
inline ProgramRun RunInTerminal(
    const std::string& program, const std::vector<std::string>& arguments,
    const std::map<std::string, std::optional<std::string>>& environment,
    const std::string& typed) {
    const std::string path = platform::JoinPath(platform::ProgramFolder(), program);
    std::fflush(stdout);
    std::fflush(stderr);
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child < 0) return {};
    if (child == 0) {
        ExecProgram(path, arguments, environment);
    }
    ProgramRun run;
    if (write(terminal, typed.data(), typed.size()) != static_cast<ssize_t>(typed.size()))
        run.err = "<typing failed>";
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(terminal, buffer, sizeof buffer);
        if (n <= 0) break;  // the program ended and closed the terminal
        run.out.append(buffer, static_cast<std::size_t>(n));
    }
    close(terminal);
    int status = 0;
    waitpid(child, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

}  // namespace kestra::testing
