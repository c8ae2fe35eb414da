// File handles on POSIX descriptors; pread/pwrite carry the offset.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "native_path.h"
#include "../common/unnoted.h"
#include "platform/fault.h"
#include "platform/file.h"

namespace platform {

std::string internal::SystemErrorText() { return std::strerror(errno); }
bool internal::SystemErrorMayPass() { return errno == EBUSY || errno == ETXTBSY; }

FailureKind internal::SystemErrorKind() {
  switch (errno) {
    case EACCES:
    case EPERM:
    case EROFS:
      return FailureKind::kAccessDenied;
    case ENOSPC:
    case EDQUOT:
      return FailureKind::kNoSpace;
    default:
      return FailureKind::kOther;
  }
}

namespace {
int OpenNative(const std::string& native, int flags) {
  int fd;
  do {
    fd = ::open(native.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}
}  // namespace

FileHandle internal::FileOpenUnnoted(const char* path, unsigned mode) {
  if (internal::ShouldFail()) return kInvalidFile;
  std::string native;
  if (!NativePath(path, &native)) {
    errno = EILSEQ;  // not valid cp932: no name to reach
    return kInvalidFile;
  }
  const bool no_access = !(mode & (kFileRead | kFileWrite));
  int flags;
  if ((mode & kFileRead) && (mode & kFileWrite))
    flags = O_RDWR;
  else if (mode & kFileWrite)
    flags = O_WRONLY;
  else
    flags = O_RDONLY;  // creates and empties for a mode without access
  bool create = mode & kFileCreate, fresh = mode & kFileNew;
  if (create && fresh)
    flags |= O_CREAT | O_TRUNC;
  else if (create)
    flags |= O_CREAT;
  else if (fresh)
    flags |= O_CREAT | O_EXCL;
  // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer (or a
  // reader), and is then refused below; a regular file ignores the flag.
  flags |= O_CLOEXEC | O_NONBLOCK;
  int fd = OpenNative(native, flags);
  if (fd < 0) return kInvalidFile;
  // Only regular files: a directory opens read-only on POSIX but never on
  // Windows, and a FIFO, socket or device is no file to read or write.
  struct stat st;
  const bool stated = ::fstat(fd, &st) == 0;
  if (!stated || !S_ISREG(st.st_mode)) {
    const bool directory = stated && S_ISDIR(st.st_mode);
    ::close(fd);
    errno = directory ? EISDIR : ENXIO;
    return kInvalidFile;
  }
  // O_TRUNC needs write access; emulate "create or empty" without it.
  if (create && fresh && !(mode & kFileWrite) && st.st_size != 0) {
    int w = ::open(native.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (w >= 0) ::close(w);
  }
  if (no_access) {
    // Windows opens without access too: the handle answers its size and
    // refuses reads, writes, truncation and flushes. A path descriptor
    // does the same; it creates nothing, hence the open above.
    int bare = OpenNative(native, O_PATH | O_CLOEXEC);
    ::close(fd);
    if (bare < 0) return kInvalidFile;
    fd = bare;
  }
  return fd;
}

bool FileClose(FileHandle file) {
  if (file == kInvalidFile) return false;
  bool injected = internal::ShouldFail();
  bool ok = ::close(static_cast<int>(file)) == 0;
  return ok && !injected;
}

std::int64_t internal::FileReadAtUnnoted(FileHandle file, std::uint64_t offset, void* buffer,
                        std::uint32_t count) {
  if (internal::ShouldFail() || file == kInvalidFile) return -1;
  std::uint32_t done = 0;
  char* p = static_cast<char*>(buffer);
  while (done < count) {
    ssize_t r = ::pread(static_cast<int>(file), p + done, count - done,
                        static_cast<off_t>(offset + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;  // end of file
    done += static_cast<std::uint32_t>(r);
  }
  return done;
}

std::int64_t internal::FileWriteAtUnnoted(FileHandle file, std::uint64_t offset,
                         const void* buffer, std::uint32_t count) {
  if (internal::ShouldFail() || file == kInvalidFile) return -1;
  std::uint32_t done = 0;
  const char* p = static_cast<const char*>(buffer);
  while (done < count) {
    ssize_t r = ::pwrite(static_cast<int>(file), p + done, count - done,
                         static_cast<off_t>(offset + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) return -1;
    done += static_cast<std::uint32_t>(r);
  }
  return done;
}

std::int64_t FileSize(FileHandle file) {
  if (internal::ShouldFail() || file == kInvalidFile) return -1;
  struct stat st;
  if (::fstat(static_cast<int>(file), &st) != 0) return -1;
  return st.st_size;
}

bool internal::FileTruncateUnnoted(FileHandle file, std::uint64_t size) {
  if (internal::ShouldFail() || file == kInvalidFile) return false;
  return ::ftruncate(static_cast<int>(file), static_cast<off_t>(size)) == 0;
}

bool internal::FileFlushUnnoted(FileHandle file) {
  if (internal::ShouldFail() || file == kInvalidFile) return false;
  return ::fsync(static_cast<int>(file)) == 0;
}

bool FileStartWriteback(FileHandle file, std::uint64_t offset,
                        std::uint64_t length) {
  if (file == kInvalidFile) return false;
  if (length == 0) return true;  // the native call would take 0 as "to the end"
#if defined(__linux__)
  int r;
  do {
    r = ::sync_file_range(static_cast<int>(file), static_cast<off_t>(offset),
                          static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
  } while (r != 0 && errno == EINTR);
  return r == 0;
#else
  return true;  // no asynchronous range writeback: FileFlush does it all
#endif
}

bool FileTryLock(FileHandle file) {
  if (internal::ShouldFail() || file == kInvalidFile) return false;
  int r;
  do {
    r = ::flock(static_cast<int>(file), LOCK_EX | LOCK_NB);
  } while (r != 0 && errno == EINTR);
  return r == 0;
}

bool GetFileIdentity(FileHandle file, FileIdentity* out) {
  if (internal::ShouldFail() || file == kInvalidFile) return false;
  struct stat st;
  if (::fstat(static_cast<int>(file), &st) != 0) return false;
  out->volume = static_cast<std::uint64_t>(st.st_dev);
  out->index = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

}  // namespace platform
