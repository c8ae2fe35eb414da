// Files held by other programs: a probe for delete access, and the Restart
// Manager (rstrtmgr.dll, looked up at run time) for the programs' names.
#include <windows.h>
#include <restartmanager.h>

#include <algorithm>

#include "platform/fault.h"
#include "platform/files_in_use.h"
#include "wide.h"

namespace platform {

InUse ProbeInUse(const char* path) {
  if (internal::ReportedInUse(path)) return InUse::kHeld;
  std::wstring wide;
  if (!WidenName(path, &wide)) return InUse::kUnknown;
  const HANDLE h = CreateFileW(wide.c_str(), DELETE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? InUse::kHeld
                                                                             : InUse::kUnknown;
  }
  CloseHandle(h);
  return InUse::kFree;
}

namespace {

using StartSession = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
using EndSession = DWORD(WINAPI*)(DWORD);
using RegisterResources = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT,
                                         LPCWSTR*);
using GetList = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);

}  // namespace

std::vector<std::string> ProgramsUsing(const std::vector<std::string>& paths) {
  std::vector<std::string> names;
  if (paths.empty()) return names;
  const HMODULE library = LoadLibraryW(L"rstrtmgr.dll");
  if (!library) return names;
  const auto start = reinterpret_cast<StartSession>(GetProcAddress(library, "RmStartSession"));
  const auto end = reinterpret_cast<EndSession>(GetProcAddress(library, "RmEndSession"));
  const auto add =
      reinterpret_cast<RegisterResources>(GetProcAddress(library, "RmRegisterResources"));
  const auto list = reinterpret_cast<GetList>(GetProcAddress(library, "RmGetList"));
  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  if (start && end && add && list && start(&session, 0, key) == ERROR_SUCCESS) {
    std::vector<std::wstring> wide;
    for (const std::string& path : paths) {
      std::wstring w;
      if (WidenName(path.c_str(), &w)) wide.push_back(w);
    }
    std::vector<LPCWSTR> files;
    for (const std::wstring& w : wide) files.push_back(w.c_str());
    if (add(session, static_cast<UINT>(files.size()), files.data(), 0, nullptr, 0, nullptr) ==
        ERROR_SUCCESS) {
      // The list may grow between the call that sizes it and the one that fills it.
      std::vector<RM_PROCESS_INFO> found(8);
      for (int tries = 0; tries < 4; ++tries) {
        UINT needed = 0, count = static_cast<UINT>(found.size());
        DWORD reasons = 0;
        const DWORD result = list(session, &needed, &count, found.data(), &reasons);
        if (result == ERROR_MORE_DATA) {
          found.resize(needed + 4);
          continue;
        }
        if (result == ERROR_SUCCESS) {
          for (UINT i = 0; i < count; ++i) {
            char name[CCH_RM_MAX_APP_NAME + 1];
            Narrow(found[i].strAppName, name, sizeof name);
            if (name[0] && std::find(names.begin(), names.end(), name) == names.end())
              names.push_back(name);
          }
        }
        break;
      }
    }
    end(session);
  }
  FreeLibrary(library);
  return names;
}

}  // namespace platform
