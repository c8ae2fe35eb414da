// The process seam: who we are and what we run beside.
#ifndef PLATFORM_PROCESS_H_
#define PLATFORM_PROCESS_H_

namespace platform {

// Writes the running executable's full path (cp932) into `out`, at most
// `size` - 1 bytes and a NUL. Returns false, leaving `out` empty, on failure.
bool GetModulePath(char* out, unsigned size);

// Writes the system's directory for shared settings files (the Windows
// directory; $HOME or "/tmp" on POSIX) into `out`. False on failure.
bool GetSystemSettingsDirectory(char* out, unsigned size);

// Reads an environment variable into `out`. False when it is unset.
bool GetEnvironment(const char* name, char* out, unsigned size);

// Removes an environment variable from this process (and so from the
// programs it starts).
void ClearEnvironment(const char* name);

// Writes the process's current directory (cp932, absolute) into `out`.
// Returns false, leaving `out` empty, on failure or when it does not fit.
bool GetWorkingDirectory(char* out, unsigned size);

// Whether the process's standard output is an interactive terminal (a
// console on Windows), as opposed to a file or a pipe.
bool IsTerminal();

// Ends the process at once, as a kill from outside would (SIGKILL;
// TerminateProcess): no clean-up, no destructors, nothing flushed.
[[noreturn]] void KillThisProcess();

// The width in columns of the terminal standard output goes to, or 80
// when it is no terminal or the width cannot be told.
int TerminalColumns();

}  // namespace platform

#endif  // PLATFORM_PROCESS_H_
