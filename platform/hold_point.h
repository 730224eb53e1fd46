// Named points where a test can stop a program, so that what two programs do at once, or a
// signal in the middle of a write, happens at a known moment rather than after a guessed
// wait.
//
// The test starts the program with KESTRA_HOLD_AT=POINT:READY:GO, READY and GO being file
// descriptors the program inherits (the writing end of one pipe and the reading end of
// another). When the program first reaches POINT it writes "POINT PID\n" to READY and then
// waits until GO has a byte to read or is closed; then it goes on. Without the variable, or
// at any other point, HoldPoint does nothing.
//
// Points: "card-locked" (a card device has taken the card and is about to look at it),
// "card-directory" (a new file is on the card's blocks; its directory entry is not yet
// written), "file-commit" (the file writer's new file has its temporary name; the rename is
// next).
#pragma once

#include <string_view>

namespace kestra::platform {

inline constexpr const char* kHoldVariable = "KESTRA_HOLD_AT";

void HoldPoint(std::string_view point);

}  // namespace kestra::platform
