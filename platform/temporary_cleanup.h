// Temporary files that go when the program is ended by a signal.
//
// A writer that gives a temporary file a name in the target's folder registers the name here
// for as long as the name exists. When the program is interrupted (SIGINT), told to end
// (SIGTERM), loses its terminal (SIGHUP) or exceeds its file size limit (SIGXFSZ), a handler
// removes every registered name. The first three then end the program as they would have
// without the handler; after SIGXFSZ the program goes on and the write that went past the
// limit fails with "File too large", which the writer reports as any other failed write.
// Handlers are put only where a signal still has its default action: a program's own handler,
// or a signal it ignores, is left as it is.
#pragma once

namespace kestra::platform {

// Puts the handlers in place (once per process; later calls do nothing).
void CleanUpTemporariesOnSignals();

// Registers a temporary file's full name; the result is the registration (-1 when the table
// of registrations is full, and then the name is not removed by the handler).
int RegisterTemporary(const char* path);
// Ends a registration before the name is renamed away or removed by the caller.
void ForgetTemporary(int registration);

}  // namespace kestra::platform
