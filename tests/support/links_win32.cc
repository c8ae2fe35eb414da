#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

#include "links.h"
#include "platform/wide.h"

namespace testing_support {
namespace {

bool IsReparsePoint(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring Full(const std::string& path) {
  const std::wstring wide = platform::Widen(path.c_str());
  wchar_t full[MAX_PATH * 2];
  const DWORD n = GetFullPathNameW(wide.c_str(), MAX_PATH * 2, full, nullptr);
  return n == 0 || n >= MAX_PATH * 2 ? wide : std::wstring(full, n);
}

// The mount-point reparse buffer of a junction (not in mingw's headers
// outside the driver kit).
struct MountPointBuffer {
  DWORD tag;
  WORD data_length;
  WORD reserved;
  WORD substitute_offset;
  WORD substitute_length;
  WORD print_offset;
  WORD print_length;
  wchar_t path[1];
};

}  // namespace

bool MakeFileLink(const std::string& target, const std::string& link) {
  const std::wstring to = platform::Widen(link.c_str());
  // 2: SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE (developer mode).
  const std::wstring from = Full(target);
  if (!CreateSymbolicLinkW(to.c_str(), from.c_str(), 2) &&
      !CreateSymbolicLinkW(to.c_str(), from.c_str(), 0))
    return false;
  // Some systems report success without making anything.
  return IsReparsePoint(to);
}

bool MakeDirectoryLink(const std::string& target, const std::string& link) {
  const std::wstring at = platform::Widen(link.c_str());
  if (!CreateDirectoryW(at.c_str(), nullptr)) return false;
  const std::wstring substitute = L"\\??\\" + Full(target);
  const std::wstring print = Full(target);
  const std::size_t path_bytes =
      (substitute.size() + 1 + print.size() + 1) * sizeof(wchar_t);
  std::vector<char> raw(offsetof(MountPointBuffer, path) + path_bytes, 0);
  auto* b = reinterpret_cast<MountPointBuffer*>(raw.data());
  b->tag = IO_REPARSE_TAG_MOUNT_POINT;
  b->data_length = static_cast<WORD>(8 + path_bytes);
  b->substitute_offset = 0;
  b->substitute_length = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
  b->print_offset = static_cast<WORD>((substitute.size() + 1) * sizeof(wchar_t));
  b->print_length = static_cast<WORD>(print.size() * sizeof(wchar_t));
  std::memcpy(b->path, substitute.c_str(), substitute.size() * sizeof(wchar_t));
  std::memcpy(b->path + substitute.size() + 1, print.c_str(),
              print.size() * sizeof(wchar_t));
  HANDLE h = CreateFileW(at.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr);
  bool ok = false;
  if (h != INVALID_HANDLE_VALUE) {
    DWORD returned = 0;
    ok = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, raw.data(),
                         static_cast<DWORD>(raw.size()), nullptr, 0, &returned,
                         nullptr) != FALSE;
    CloseHandle(h);
  }
  if (!ok || !IsReparsePoint(at)) {
    RemoveDirectoryW(at.c_str());
    return false;
  }
  return true;
}

bool MakeHardLink(const std::string& existing, const std::string& link) {
  return CreateHardLinkW(platform::Widen(link.c_str()).c_str(),
                         platform::Widen(existing.c_str()).c_str(),
                         nullptr) != FALSE;
}

std::string ShortPath(const std::string& path) {
  wchar_t out[MAX_PATH + 1];
  const DWORD n = GetShortPathNameW(platform::Widen(path.c_str()).c_str(), out,
                                    MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return "";
  char narrow[MAX_PATH * 2 + 2];
  if (!platform::Narrow(out, narrow, sizeof narrow)) return "";
  return narrow;
}

bool MakeFifo(const std::string&) { return false; }

}  // namespace testing_support
