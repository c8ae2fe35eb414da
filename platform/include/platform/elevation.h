// Administrator rights: whether the process has them, and running the
// program again with them (the system asks the user first).
#ifndef PLATFORM_ELEVATION_H_
#define PLATFORM_ELEVATION_H_

namespace platform {

// Whether the process runs with administrator rights (an elevated token on
// Windows; effective user root on POSIX).
bool IsElevated();

enum class ElevatedRun {
  kFinished,  // it ran; *exit_code holds its exit status
  kDeclined,  // the user refused the system's prompt: nothing ran
  kFailed,    // it could not be started (never on a prompt refused)
};

// Starts `exe` (cp932) with `arguments` (cp932, one command line) and
// administrator rights (ShellExecuteExW, verb "runas"), waits until it
// ends and gives its exit status. Blocks: run it where waiting is allowed
// (UpdateUi::WaitPumping). Always kFailed on POSIX.
ElevatedRun RunElevated(const char* exe, const char* arguments, int* exit_code);

}  // namespace platform

#endif  // PLATFORM_ELEVATION_H_
