// The debug-output seam: one line of diagnostics for a debugger.
#ifndef PLATFORM_DEBUG_H_
#define PLATFORM_DEBUG_H_

namespace platform {

// Sends `text` to the debugger (OutputDebugString on Windows; standard error
// on POSIX when the environment variable KESTREL_DEBUG is set).
void DebugOutput(const char* text);

}  // namespace platform

#endif  // PLATFORM_DEBUG_H_
