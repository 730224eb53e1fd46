// What a console program owes its standard output when it ends: a report that did not all
// arrive is a failure, not a success.
//
// Output is buffered, so a full disk, /dev/full or a file size limit often shows only when
// the buffer is written out at the end. FinishStandardOutput writes out, checks and closes
// standard output (the convention of the GNU tools' close_stdout) and, when any of it could
// not be written, says so on standard error as "PROGRAM: standard output: cannot be written:
// REASON". Standard output closed from the start with nothing written to it is no failure.
#pragma once

namespace kestra::platform {

// Returns the exit code the program ends with: `code`, or `failureCode` when the program
// had succeeded (code 0) but its standard output failed. A program that failed already keeps
// its own code; the message is shown either way.
int FinishStandardOutput(const char* program, int code, int failureCode);

// For a program whose every way out is not its own to follow (it returns from main, or a
// library calls exit): checks standard output when the program exits and, when it failed,
// ends the program with `failureCode` instead of its own exit code. Registered once.
void FinishStandardOutputAtExit(const char* program, int failureCode);

}  // namespace kestra::platform
