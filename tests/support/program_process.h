// A program of the program folder running beside the test: started, held at one of its hold
// points (platform/hold_point.h), watched on standard error, signalled, and waited for.
// Nothing here sleeps: every wait is for something the program does, with a generous limit
// only so that a program that never gets there fails the test instead of hanging it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "card_loader/run_program.h"
#include "platform/hold_point.h"

namespace kestra::testing {

class ProgramProcess {
  public:
    struct Options {
        std::map<std::string, std::optional<std::string>> environment;
        std::optional<std::string> holdAt;     // a hold point
        std::optional<rlimit> fileSizeLimit;   // RLIMIT_FSIZE of the program
        std::optional<rlimit> openFilesLimit;  // RLIMIT_NOFILE of the program
        std::string output = "/dev/null";      // where standard output goes
    };
    static constexpr int kPatienceMs = 120000;

    ProgramProcess(const std::string& program, const std::vector<std::string>& arguments,
                   Options options) {
        int ready[2] = {-1, -1}, go[2] = {-1, -1}, err[2] = {-1, -1};
        if (pipe2(err, O_CLOEXEC) != 0) return;
        if (options.holdAt) {
            if (pipe2(ready, O_CLOEXEC) != 0 || pipe2(go, O_CLOEXEC) != 0) return;
            options.environment[platform::kHoldVariable] =
                *options.holdAt + ":" + std::to_string(kReadyFd) + ":" + std::to_string(kGoFd);
        }
        const std::string path = platform::JoinPath(platform::ProgramFolder(), program);
        std::fflush(stdout);
        std::fflush(stderr);
        pid_ = fork();
        if (pid_ == 0) {
            const int in = open("/dev/null", O_RDONLY);
            const int out = open(options.output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            dup2(in, 0);
            dup2(out, 1);
            dup2(err[1], 2);
            if (options.holdAt) {
                dup2(ready[1], kReadyFd);
                dup2(go[0], kGoFd);
            }
            if (options.fileSizeLimit) setrlimit(RLIMIT_FSIZE, &*options.fileSizeLimit);
            if (options.openFilesLimit) setrlimit(RLIMIT_NOFILE, &*options.openFilesLimit);
            ExecProgram(path, arguments, options.environment);
        }
        close(err[1]);
        error_ = err[0];
        if (options.holdAt) {
            close(ready[1]);
            close(go[0]);
            ready_ = ready[0];
            go_ = go[1];
        }
    }
    ~ProgramProcess() {
        if (pid_ > 0 && !waited_) {
            kill(pid_, SIGKILL);
            wait();
        }
        for (int fd : {ready_, go_, error_})
            if (fd >= 0) close(fd);
    }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    pid_t pid() const { return pid_; }

    // Waits until the program stands at its hold point; false when it ended first.
    bool reachedHold() {
        std::string line;
        char c = 0;
        while (awaitInput(ready_) && read(ready_, &c, 1) == 1) {
            if (c == '\n') return true;
            line += c;
        }
        return false;
    }
    // Lets the held program go on.
    void release() {
        if (go_ < 0) return;
        close(go_);
        go_ = -1;
    }
    // Reads standard error until it holds `text`; false when the program ended first.
    bool awaitError(const std::string& text) {
        char buffer[512];
        while (err_.find(text) == std::string::npos) {
            if (!awaitInput(error_)) return false;
            const ssize_t n = read(error_, buffer, sizeof buffer);
            if (n <= 0) return false;
            err_.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }
    void signal(int number) { kill(pid_, number); }

    // Waits for the program's end: its exit code (128 + the signal that ended it) and
    // standard error.
    ProgramRun wait() {
        release();
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(error_, buffer, sizeof buffer);
            if (n <= 0) break;
            err_.append(buffer, static_cast<std::size_t>(n));
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        waited_ = true;
        ProgramRun run;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.err = err_;
        return run;
    }

  private:
    static constexpr int kReadyFd = 20, kGoFd = 21;

    static bool awaitInput(int fd) {
        if (fd < 0) return false;
        pollfd request{fd, POLLIN, 0};
        return poll(&request, 1, kPatienceMs) == 1;
    }

    pid_t pid_ = -1;
    int ready_ = -1, go_ = -1, error_ = -1;
    std::string err_;
    bool waited_ = false;
};

}  // namespace kestra::testing
