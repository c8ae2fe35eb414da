#include <windows.h>

#include <vector>

#include "platform/process.h"
#include "wide.h"

namespace platform {

bool GetModulePath(char* out, unsigned size) {
  std::vector<wchar_t> buffer(32768);
  DWORD n = GetModuleFileNameW(nullptr, buffer.data(),
                               static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size() || !Narrow(buffer.data(), out, size)) {
    if (size) out[0] = '\0';
    return false;
  }
  return true;
}

bool GetSystemSettingsDirectory(char* out, unsigned size) {
  wchar_t buffer[MAX_PATH + 1];
  UINT n = GetWindowsDirectoryW(buffer, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH || !Narrow(buffer, out, size)) {
    if (size) out[0] = '\0';
    return false;
  }
  return true;
}

bool GetEnvironment(const char* name, char* out, unsigned size) {
  wchar_t buffer[32768];
  DWORD n = GetEnvironmentVariableW(Widen(name).c_str(), buffer, 32768);
  if (n == 0 || n >= 32768) return false;
  return Narrow(buffer, out, size);
}

void ClearEnvironment(const char* name) {
  SetEnvironmentVariableW(Widen(name).c_str(), nullptr);
  // The C runtime keeps its own copy for getenv.
  _wputenv_s(Widen(name).c_str(), L"");
}

bool GetWorkingDirectory(char* out, unsigned size) {
  std::vector<wchar_t> buffer(32768);
  DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()),
                                 buffer.data());
  if (n == 0 || n >= buffer.size() || !Narrow(buffer.data(), out, size)) {
    if (size) out[0] = '\0';
    return false;
  }
  return true;
}

bool IsTerminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

void KillThisProcess() {
  TerminateProcess(GetCurrentProcess(), 9);
  for (;;) Sleep(INFINITE);
}

int TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) {
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns > 0) return columns;
  }
  return 80;
}

}  // namespace platform
