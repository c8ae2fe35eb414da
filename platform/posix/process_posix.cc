#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "native_path.h"
#include "platform/process.h"

namespace platform {
namespace {
bool CopyOut(const std::string& text, char* out, unsigned size) {
  if (size == 0) return false;
  if (text.size() >= size) {
    out[0] = '\0';
    return false;
  }
  std::memcpy(out, text.c_str(), text.size() + 1);
  return true;
}
}  // namespace

bool GetModulePath(char* out, unsigned size) {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) {
    if (size) out[0] = '\0';
    return false;
  }
  buffer[n] = '\0';
  char name[4096];
  FromNativeName(buffer, name, sizeof name);
  return CopyOut(name, out, size);
}

bool GetSystemSettingsDirectory(char* out, unsigned size) {
  const char* home = std::getenv("HOME");
  char name[4096];
  FromNativeName(home && *home ? home : "/tmp", name, sizeof name);
  return CopyOut(name, out, size);
}

bool GetEnvironment(const char* name, char* out, unsigned size) {
  const char* value = std::getenv(name);
  if (!value) return false;
  return CopyOut(value, out, size);
}

void ClearEnvironment(const char* name) { ::unsetenv(name); }

bool GetWorkingDirectory(char* out, unsigned size) {
  char buffer[PATH_MAX];
  if (!::getcwd(buffer, sizeof buffer)) {
    if (size) out[0] = '\0';
    return false;
  }
  char name[4096];
  FromNativeName(buffer, name, sizeof name);
  return CopyOut(name, out, size);
}

bool IsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

void KillThisProcess() {
  ::kill(::getpid(), SIGKILL);
  for (;;) ::pause();
}

int TerminalColumns() {
  struct winsize size;
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
    return size.ws_col;
  return 80;
}

}  // namespace platform
