#include "platform/standard_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace kestra::platform {

namespace {

bool finished = false;
std::string atExitProgram;
int atExitFailure = 1;

// Writes out and closes standard output; false with the reason when some of it did not arrive.
bool CloseStandardOutput(std::string& reason) {
    if (finished) return true;
    finished = true;
    const bool earlier = std::ferror(stdout) != 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int flushError = flushed ? 0 : errno;
    const bool closed = std::fclose(stdout) == 0;
    const int closeError = closed ? 0 : errno;
    // A standard output closed from the start is no failure while nothing was written to it.
    const bool closeFailed = !closed && closeError != EBADF;
    if (!earlier && flushed && !closeFailed) return true;
    const int number = !flushed ? flushError : closeFailed ? closeError : 0;
    reason = number != 0 ? std::strerror(number) : "part of it was lost";
    return false;
}

void FinishAtExit() {
    std::string reason;
    if (CloseStandardOutput(reason)) return;
    std::fprintf(stderr, "%s: standard output: cannot be written: %s\n", atExitProgram.c_str(),
                 reason.c_str());
    _exit(atExitFailure);
}

}  // namespace

int FinishStandardOutput(const char* program, int code, int failureCode) {
    std::string reason;
    if (CloseStandardOutput(reason)) return code;
    std::fprintf(stderr, "%s: standard output: cannot be written: %s\n", program, reason.c_str());
    return code == 0 ? failureCode : code;
}

void FinishStandardOutputAtExit(const char* program, int failureCode) {
    static std::once_flag once;
    std::call_once(once, [&] {
        atExitProgram = program;
        atExitFailure = failureCode;
        std::atexit(FinishAtExit);
    });
}

}  // namespace kestra::platform
