// File-system calls on Win32's wide API; names cross in cp932.
#define _CRT_RAND_S  // rand_s: random numbers from the system's generator
#include <stdlib.h>
#include <windows.h>
// <windows.h> maps ReplaceFile to ReplaceFileW; the seam's own name wins.
#undef ReplaceFile

#include <cstdio>
#include <cstring>
#include <string>

#include "../common/unnoted.h"
#include "platform/fault.h"
#include "platform/filesystem.h"
#include "wide.h"

namespace platform {

PathKind GetPathKind(const char* path) {
  if (internal::ShouldFail()) return PathKind::kNone;
  std::wstring wide;
  if (!WidenName(path, &wide)) return PathKind::kNone;
  DWORD a = GetFileAttributesW(wide.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return PathKind::kNone;
  return (a & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::kDirectory
                                        : PathKind::kFile;
}

bool NamesIgnoreCase() { return true; }

bool IsLink(const char* path) {
  if (internal::ShouldFail()) return false;
  std::wstring wide;
  if (!WidenName(path, &wide)) return false;
  const DWORD a = GetFileAttributesW(wide.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool internal::RemoveFileUnnoted(const char* path) {
  if (internal::ShouldFail()) return false;
  std::wstring wide;
  if (!WidenName(path, &wide)) return false;
  const DWORD a = GetFileAttributesW(wide.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  if (a & FILE_ATTRIBUTE_DIRECTORY) {
    // A junction or a directory symbolic link is removed as a directory;
    // that removes the link and nothing it points to.
    if (!(a & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    return RemoveDirectoryW(wide.c_str()) != FALSE;
  }
  return DeleteFileW(wide.c_str()) != FALSE;
}

bool internal::RenameFileUnnoted(const char* from, const char* to) {
  if (internal::ShouldFail()) return false;
  std::wstring src, dst;
  return WidenName(from, &src) && WidenName(to, &dst) &&
         MoveFileW(src.c_str(), dst.c_str()) != FALSE;
}

bool internal::ReplaceFileUnnoted(const char* from, const char* to) {
  if (internal::ShouldFail()) return false;
  std::wstring src, dst;
  return WidenName(from, &src) && WidenName(to, &dst) &&
         MoveFileExW(src.c_str(), dst.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool internal::FlushDirectoryUnnoted(const char* path) {
  // NTFS journals its names itself: a rename or a deletion is either
  // whole or absent after a power cut, in the order made. A directory
  // handle cannot be flushed without backup privileges anyway.
  if (internal::ShouldFail()) return false;
  std::wstring wide;
  if (!WidenName(path, &wide)) return false;
  const DWORD a = GetFileAttributesW(wide.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool internal::FlushFileSystemUnnoted(const char* path) {
  if (internal::ShouldFail()) return false;
  std::wstring wide;
  if (!WidenName(path, &wide)) return false;
  wchar_t mount[MAX_PATH + 1];
  if (!GetVolumePathNameW(wide.c_str(), mount, MAX_PATH + 1)) return false;
  // "C:\" opens as the volume "\\.\C:"; a volume mounted in a folder or
  // reached through a share has no such name.
  if (!(mount[0] && mount[1] == L':' && (mount[2] == L'\\' || mount[2] == 0))) return false;
  const wchar_t volume[] = {L'\\', L'\\', L'.', L'\\', mount[0], L':', 0};
  const HANDLE handle = CreateFileW(volume, GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;  // without administrator rights
  const bool ok = FlushFileBuffers(handle) != FALSE;
  const DWORD saved = GetLastError();
  CloseHandle(handle);
  SetLastError(saved);
  return ok;
}

bool IsReadOnly(const char* path) {
  if (internal::ShouldFail()) return false;
  std::wstring wide;
  if (!WidenName(path, &wide)) return false;
  const DWORD a = GetFileAttributesW(wide.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) &&
         (a & FILE_ATTRIBUTE_READONLY);
}

bool internal::SetReadOnlyUnnoted(const char* path, bool read_only) {
  if (internal::ShouldFail()) return false;
  std::wstring wide;
  if (!WidenName(path, &wide)) return false;
  const DWORD a = GetFileAttributesW(wide.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  if (a & FILE_ATTRIBUTE_DIRECTORY) {
    SetLastError(ERROR_INVALID_PARAMETER);  // the attribute belongs to files
    return false;
  }
  DWORD next = read_only ? (a | FILE_ATTRIBUTE_READONLY) : (a & ~FILE_ATTRIBUTE_READONLY);
  if (!next) next = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesW(wide.c_str(), next) != FALSE;
}

bool internal::MakeDirectoryUnnoted(const char* path) {
  if (internal::ShouldFail() || internal::DirectoriesRefused()) return false;
  std::wstring wide;
  return WidenName(path, &wide) && CreateDirectoryW(wide.c_str(), nullptr) != FALSE;
}

bool internal::RemoveEmptyDirectoryUnnoted(const char* path) {
  if (internal::ShouldFail()) return false;
  std::wstring wide;
  return WidenName(path, &wide) && RemoveDirectoryW(wide.c_str()) != FALSE;
}

namespace {
void Fill(const WIN32_FIND_DATAW& w, FindData* data) {
  Narrow(w.cFileName, data->name, kMaxPath);
  data->is_link = (w.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  data->is_other = false;  // no FIFOs or devices among listed names
  data->is_directory = !data->is_link &&
                       (w.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  data->size = data->is_directory || data->is_link
                   ? 0
                   : (static_cast<std::uint64_t>(w.nFileSizeHigh) << 32) |
                         w.nFileSizeLow;
}

bool IdentityOf(HANDLE h, FileIdentity* out) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info)) return false;
  out->volume = info.dwVolumeSerialNumber;
  out->index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) |
               info.nFileIndexLow;
  return true;
}
}  // namespace

FindHandle FindFirst(const char* pattern, FindData* data) {
  if (internal::ShouldFail()) return nullptr;
  std::wstring wide;
  if (!WidenName(pattern, &wide)) return nullptr;
  WIN32_FIND_DATAW w;
  HANDLE h = FindFirstFileW(wide.c_str(), &w);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  Fill(w, data);
  return h;
}

bool FindNext(FindHandle search, FindData* data) {
  if (!search || internal::ShouldFail()) return false;
  WIN32_FIND_DATAW w;
  if (!FindNextFileW(static_cast<HANDLE>(search), &w)) return false;
  Fill(w, data);
  return true;
}

void FindClose(FindHandle search) {
  if (search) ::FindClose(static_cast<HANDLE>(search));
}

IdentityLookup GetPathIdentity(const char* path, bool follow_links,
                               FileIdentity* out) {
  if (internal::ShouldFail()) return IdentityLookup::kFailed;
  // Attribute access only: no sharing conflict with the run's own open
  // files, and directories open with backup semantics.
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
  if (!follow_links) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  std::wstring wide;
  if (!WidenName(path, &wide)) return IdentityLookup::kFailed;
  HANDLE h = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND
               ? IdentityLookup::kMissing
               : IdentityLookup::kFailed;
  }
  const bool ok = IdentityOf(h, out);
  CloseHandle(h);
  return ok ? IdentityLookup::kFound : IdentityLookup::kFailed;
}

bool internal::MakeTempDirectoryUnnoted(const char* dir, const char* prefix, char* out) {
  out[0] = '\0';
  if (internal::ShouldFail()) return false;
  std::string base(dir ? dir : "");
  if (!base.empty() && base.back() != '/' && base.back() != '\\') base += '/';
  base += prefix ? prefix : "";
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned int high = 0, low = 0;
    if (rand_s(&high) != 0 || rand_s(&low) != 0) return false;
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "%08x%08x", high, low);
    const std::string name = base + suffix;
    if (name.size() >= kMaxPath) return false;
    std::wstring wide;
    if (!WidenName(name.c_str(), &wide)) return false;
    // CreateDirectoryW fails on any existing name: the directory is new.
    if (CreateDirectoryW(wide.c_str(), nullptr)) {
      std::memcpy(out, name.c_str(), name.size() + 1);
      return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

bool internal::CreateTempFileUnnoted(const char* dir, const char* prefix,
                                     char* out, FileHandle* file) {
  out[0] = '\0';
  *file = kInvalidFile;
  if (internal::ShouldFail()) return false;
  std::string base(dir ? dir : "");
  if (!base.empty() && base.back() != '/' && base.back() != '\\') base += '\\';
  std::string pre(prefix ? prefix : "");
  if (pre.size() > 3) pre.resize(3);
  // Names as GetTempFileName makes them, but created here with the handle
  // kept: CREATE_NEW never takes an existing name, a link included.
  unsigned int start = 0;
  if (rand_s(&start) != 0) start = GetTickCount();
  for (unsigned i = 0; i < 0x10000; ++i) {
    const unsigned n = (start + i) & 0xFFFF;
    if (n == 0) continue;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", n);
    const std::string name = base + pre + hex + ".tmp";
    if (name.size() >= kMaxPath) return false;
    std::wstring wide;
    if (!WidenName(name.c_str(), &wide)) return false;
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      std::memcpy(out, name.c_str(), name.size() + 1);
      *file = reinterpret_cast<FileHandle>(h);
      return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
      return false;
  }
  return false;
}

bool internal::MakeTempFileUnnoted(const char* dir, const char* prefix, char* out) {
  out[0] = '\0';
  if (internal::ShouldFail()) return false;
  std::wstring wide_dir, wide_prefix;
  if (!WidenName(dir, &wide_dir) || !WidenName(prefix, &wide_prefix))
    return false;
  wchar_t name[MAX_PATH + 1];
  if (GetTempFileNameW(wide_dir.c_str(), wide_prefix.c_str(), 0, name) == 0)
    return false;
  if (!Narrow(name, out, kMaxPath)) {
    DeleteFileW(name);
    out[0] = '\0';
    return false;
  }
  return true;
}

}  // namespace platform
