// Administrator rights on Windows: the token's elevation, and "runas".
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "platform/elevation.h"
#include "platform/fault.h"
#include "wide.h"

namespace platform {

bool IsElevated() {
  if (internal::NotElevatedReported()) return false;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  const bool ok =
      GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) != FALSE;
  CloseHandle(token);
  return ok && elevation.TokenIsElevated != 0;
}

ElevatedRun RunElevated(const char* exe, const char* arguments, int* exit_code) {
  *exit_code = -1;
  if (internal::ElevationDeclined()) return ElevatedRun::kDeclined;
  // The shell may hand the verb to extensions that want COM on this thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const std::wstring file = Widen(exe), parameters = Widen(arguments);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"runas";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  ElevatedRun result = ElevatedRun::kFailed;
  if (!ShellExecuteExW(&info)) {
    if (GetLastError() == ERROR_CANCELLED) result = ElevatedRun::kDeclined;
  } else if (info.hProcess) {
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(info.hProcess, &code)) {
      *exit_code = static_cast<int>(code);
      result = ElevatedRun::kFinished;
    }
    CloseHandle(info.hProcess);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return result;
}

}  // namespace platform
