// Test code run in a child process of its own: for state that lasts as long as a process,
// and for what ends a process.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace kestra::testing {

// Runs `body` in a child process (for state that lasts as long as a process, such as an
// opened driver device) and returns its exit code: 0 when no assertion failed there.
inline int RunInChildProcess(const std::function<void()>& body) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child == 0) {
        body();
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace kestra::testing
