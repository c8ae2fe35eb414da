// File handles on Win32; every transfer names its offset in an OVERLAPPED
// block, so handles shared by several streams need no file pointer.
#include <windows.h>

#include <string>

#include "../common/unnoted.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "wide.h"

namespace platform {

bool internal::SystemErrorMayPass() {
  const DWORD code = GetLastError();
  return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
         code == ERROR_ACCESS_DENIED;
}

std::string internal::SystemErrorText() {
  const DWORD code = GetLastError();
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  char narrow[512] = "";
  if (n > 0 && text) {
    std::wstring message(text, n);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.'))
      message.pop_back();
    Narrow(message.c_str(), narrow, sizeof narrow);
  }
  if (text) LocalFree(text);
  if (!narrow[0]) return "system error " + std::to_string(code);
  return narrow;
}

FailureKind internal::SystemErrorKind() {
  switch (GetLastError()) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return FailureKind::kAccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FailureKind::kInUse;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FailureKind::kNoSpace;
    default:
      return FailureKind::kOther;
  }
}

namespace {
HANDLE Native(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED o = {};
  o.Offset = static_cast<DWORD>(offset);
  o.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return o;
}
}  // namespace

FileHandle internal::FileOpenUnnoted(const char* path, unsigned mode) {
  if (internal::ShouldFail()) return kInvalidFile;
  DWORD access = 0;
  if (mode & kFileRead) access |= GENERIC_READ;
  if (mode & kFileWrite) access |= GENERIC_WRITE;
  DWORD disposition = OPEN_EXISTING;
  if (mode & kFileCreate)
    disposition = (mode & kFileNew) ? CREATE_ALWAYS : OPEN_ALWAYS;
  else if (mode & kFileNew)
    disposition = CREATE_NEW;
  std::wstring wide;
  if (!WidenName(path, &wide)) return kInvalidFile;
  HANDLE h = CreateFileW(wide.c_str(), access,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return kInvalidFile;
  // Only files on a disk: a device name ("CON", \\.\COM1) or a pipe is
  // no file to read or write.
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    SetLastError(ERROR_NOT_SUPPORTED);
    return kInvalidFile;
  }
  return reinterpret_cast<FileHandle>(h);
}

bool FileClose(FileHandle file) {
  if (file == kInvalidFile) return false;
  bool injected = internal::ShouldFail();
  bool ok = CloseHandle(Native(file)) != FALSE;
  return ok && !injected;
}

std::int64_t internal::FileReadAtUnnoted(FileHandle file, std::uint64_t offset, void* buffer,
                        std::uint32_t count) {
  if (internal::ShouldFail() || file == kInvalidFile) return -1;
  std::uint32_t done = 0;
  while (done < count) {
    OVERLAPPED o = At(offset + done);
    DWORD got = 0;
    if (!ReadFile(Native(file), static_cast<char*>(buffer) + done,
                  count - done, &got, &o)) {
      // Reading at an explicit offset past the end reports EOF as an error.
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

std::int64_t internal::FileWriteAtUnnoted(FileHandle file, std::uint64_t offset,
                         const void* buffer, std::uint32_t count) {
  if (internal::ShouldFail() || file == kInvalidFile) return -1;
  std::uint32_t done = 0;
  while (done < count) {
    OVERLAPPED o = At(offset + done);
    DWORD put = 0;
    if (!WriteFile(Native(file), static_cast<const char*>(buffer) + done,
                   count - done, &put, &o) ||
        put == 0)
      return -1;
    done += put;
  }
  return done;
}

std::int64_t FileSize(FileHandle file) {
  if (internal::ShouldFail() || file == kInvalidFile) return -1;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Native(file), &size)) return -1;
  return size.QuadPart;
}

bool internal::FileTruncateUnnoted(FileHandle file, std::uint64_t size) {
  if (internal::ShouldFail() || file == kInvalidFile) return false;
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(size);
  return SetFilePointerEx(Native(file), at, nullptr, FILE_BEGIN) &&
         SetEndOfFile(Native(file));
}

bool internal::FileFlushUnnoted(FileHandle file) {
  if (internal::ShouldFail() || file == kInvalidFile) return false;
  return FlushFileBuffers(Native(file)) != FALSE;
}

// Windows has no call that starts a range's writeback without waiting for
// it (FlushFileBuffers writes the whole file and waits); its lazy writer
// already writes dirty pages back within seconds, so this does nothing.
bool FileStartWriteback(FileHandle file, std::uint64_t, std::uint64_t) {
  return file != kInvalidFile;
}

bool FileTryLock(FileHandle file) {
  if (internal::ShouldFail() || file == kInvalidFile) return false;
  OVERLAPPED whole = {};
  return LockFileEx(Native(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                    MAXDWORD, MAXDWORD, &whole) != FALSE;
}

bool GetFileIdentity(FileHandle file, FileIdentity* out) {
  if (internal::ShouldFail() || file == kInvalidFile) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(Native(file), &info)) return false;
  out->volume = info.dwVolumeSerialNumber;
  out->index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) |
               info.nFileIndexLow;
  return true;
}

}  // namespace platform
