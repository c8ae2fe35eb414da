// File-system calls on POSIX, with Windows' meanings: a rename never
// replaces, searches list "." and "..", temporary names are "<pfx>XXXX.tmp".
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "native_path.h"
#include "../common/unnoted.h"
#include "platform/fault.h"
#include "platform/filesystem.h"
#include "platform/text.h"

namespace platform {

PathKind GetPathKind(const char* path) {
  if (internal::ShouldFail()) return PathKind::kNone;
  std::string native;
  if (!NativePath(path, &native)) return PathKind::kNone;
  struct stat st;
  if (::stat(native.c_str(), &st) != 0) return PathKind::kNone;
  if (S_ISDIR(st.st_mode)) return PathKind::kDirectory;
  if (S_ISREG(st.st_mode)) return PathKind::kFile;
  return PathKind::kOther;
}

bool NamesIgnoreCase() { return false; }

bool IsLink(const char* path) {
  if (internal::ShouldFail()) return false;
  std::string native;
  struct stat st;
  return NativePath(path, &native) && ::lstat(native.c_str(), &st) == 0 &&
         S_ISLNK(st.st_mode);
}

bool internal::RemoveFileUnnoted(const char* path) {
  if (internal::ShouldFail()) return false;
  std::string native;
  if (!NativePath(path, &native)) return false;
  struct stat st;
  if (::lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  if (ReadOnlyDeletesSimulated() && !S_ISLNK(st.st_mode) &&
      !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) {
    errno = EACCES;  // as Windows refuses to delete a read-only file
    return false;
  }
  return ::unlink(native.c_str()) == 0;
}

namespace {
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
}  // namespace

bool IsReadOnly(const char* path) {
  if (internal::ShouldFail()) return false;
  std::string native;
  struct stat st;
  return NativePath(path, &native) && ::lstat(native.c_str(), &st) == 0 &&
         S_ISREG(st.st_mode) && !(st.st_mode & kWriteBits);
}

bool internal::SetReadOnlyUnnoted(const char* path, bool read_only) {
  if (internal::ShouldFail()) return false;
  std::string native;
  struct stat st;
  if (!NativePath(path, &native) || ::lstat(native.c_str(), &st) != 0) return false;
  if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;  // the attribute belongs to files
    return false;
  }
  // Setting takes every write permission away; clearing gives the owner's
  // back.
  const mode_t mode = read_only ? (st.st_mode & 07777 & ~kWriteBits)
                                : (st.st_mode & 07777) | S_IWUSR;
  return ::chmod(native.c_str(), mode) == 0;
}

namespace {

// Opens `path` read-only (with `flags` added) and calls `sync` on it;
// errno is the sync's when it fails.
bool SyncOpened(const char* path, int flags, int (*sync)(int)) {
  std::string native;
  if (!NativePath(path, &native)) return false;
  int fd;
  do {
    fd = ::open(native.empty() ? "." : native.c_str(), O_RDONLY | O_CLOEXEC | flags);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  const bool ok = sync(fd) == 0;
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return ok;
}

}  // namespace

bool internal::FlushDirectoryUnnoted(const char* path) {
  if (internal::ShouldFail()) return false;
  return SyncOpened(path, O_DIRECTORY, ::fsync);
}

bool internal::RenameFileUnnoted(const char* from, const char* to) {
  if (internal::ShouldFail()) return false;
  std::string src, dst;
  if (!NativePath(from, &src) || !NativePath(to, &dst)) return false;
  struct stat st;
  if (::lstat(src.c_str(), &st) != 0) return false;
  if (S_ISDIR(st.st_mode)) {
    // Directories: no atomic no-replace rename everywhere; check first.
    if (::lstat(dst.c_str(), &st) == 0) return false;
    return ::rename(src.c_str(), dst.c_str()) == 0;
  }
#if defined(__linux__) && defined(RENAME_NOREPLACE)
  // One step that never replaces: nothing is left half renamed whatever
  // ends the process. File systems without it refuse with EINVAL.
  if (::renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  // link + unlink never replaces an existing target.
  if (::link(src.c_str(), dst.c_str()) != 0) {
    if (errno == EEXIST) return false;
    // File systems without hard links: check, then rename.
    if (::lstat(dst.c_str(), &st) == 0) return false;
    return ::rename(src.c_str(), dst.c_str()) == 0;
  }
  if (::unlink(src.c_str()) != 0) {
    ::unlink(dst.c_str());
    return false;
  }
  return true;
}

bool internal::FlushFileSystemUnnoted(const char* path) {
  if (internal::ShouldFail()) return false;
#if defined(__linux__)
  // Since Linux 5.8 syncfs also reports a write-back error of any file on
  // the volume since the descriptor was opened.
  return SyncOpened(path, 0, ::syncfs);
#else
  (void)path;
  return false;  // sync() elsewhere need not wait for the disk
#endif
}

bool internal::ReplaceFileUnnoted(const char* from, const char* to) {
  if (internal::ShouldFail()) return false;
  std::string src, dst;
  if (!NativePath(from, &src) || !NativePath(to, &dst)) return false;
  struct stat st;
  if (::lstat(src.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::rename(src.c_str(), dst.c_str()) == 0;  // atomic on one volume
}

bool internal::MakeDirectoryUnnoted(const char* path) {
  if (internal::ShouldFail() || internal::DirectoriesRefused()) return false;
  std::string native;
  return NativePath(path, &native) && ::mkdir(native.c_str(), 0777) == 0;
}

bool internal::RemoveEmptyDirectoryUnnoted(const char* path) {
  if (internal::ShouldFail()) return false;
  std::string native;
  return NativePath(path, &native) && ::rmdir(native.c_str()) == 0;
}

namespace {

struct Search {
  DIR* dir;
  std::string directory;  // native, with a trailing "/" when not empty
  std::string pattern;    // native name pattern
};

// Native "*.*" matches every name, with or without a dot.
bool Matches(const std::string& pattern, const char* name) {
  if (pattern == "*" || pattern == "*.*") return true;
  return ::fnmatch(pattern.c_str(), name, FNM_PERIOD) == 0;
}

bool Fill(Search* s, FindData* data) {
  for (;;) {
    errno = 0;
    struct dirent* e = ::readdir(s->dir);
    if (!e) return false;
    if (!Matches(s->pattern, e->d_name)) continue;
    std::string full = s->directory + e->d_name;
    struct stat st;
    if (::lstat(full.c_str(), &st) != 0) continue;  // vanished
    FromNativeName(e->d_name, data->name, kMaxPath);
    data->is_link = S_ISLNK(st.st_mode);
    data->is_directory = S_ISDIR(st.st_mode);
    data->is_other = !data->is_link && !data->is_directory && !S_ISREG(st.st_mode);
    data->size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    return true;
  }
}

}  // namespace

FindHandle FindFirst(const char* pattern, FindData* data) {
  if (internal::ShouldFail()) return nullptr;
  std::string native;
  if (!NativePath(pattern, &native)) return nullptr;
  size_t slash = native.rfind('/');
  auto* s = new Search;
  if (slash == std::string::npos) {
    s->directory = "";
    s->pattern = native;
  } else {
    s->directory = native.substr(0, slash + 1);
    s->pattern = native.substr(slash + 1);
  }
  s->dir = ::opendir(s->directory.empty() ? "." : s->directory.c_str());
  if (!s->dir || !Fill(s, data)) {
    if (s->dir) ::closedir(s->dir);
    delete s;
    return nullptr;
  }
  return s;
}

bool FindNext(FindHandle search, FindData* data) {
  if (!search || internal::ShouldFail()) return false;
  return Fill(static_cast<Search*>(search), data);
}

void FindClose(FindHandle search) {
  if (!search) return;
  auto* s = static_cast<Search*>(search);
  ::closedir(s->dir);
  delete s;
}

IdentityLookup GetPathIdentity(const char* path, bool follow_links,
                               FileIdentity* out) {
  if (internal::ShouldFail()) return IdentityLookup::kFailed;
  std::string native;
  if (!NativePath(path, &native)) return IdentityLookup::kFailed;
  struct stat st;
  const int r = follow_links ? ::stat(native.c_str(), &st)
                             : ::lstat(native.c_str(), &st);
  if (r != 0)
    return errno == ENOENT || errno == ENOTDIR ? IdentityLookup::kMissing
                                               : IdentityLookup::kFailed;
  out->volume = static_cast<std::uint64_t>(st.st_dev);
  out->index = static_cast<std::uint64_t>(st.st_ino);
  return IdentityLookup::kFound;
}

bool internal::MakeTempDirectoryUnnoted(const char* dir, const char* prefix, char* out) {
  out[0] = '\0';
  if (internal::ShouldFail()) return false;
  std::string base(dir ? dir : "");
  if (!base.empty() && base.back() != '/' && base.back() != '\\') base += '/';
  std::string name = base + (prefix ? prefix : "") + "XXXXXX";
  if (name.size() >= kMaxPath) return false;
  std::string native;
  if (!NativePath(name.c_str(), &native) || !::mkdtemp(&native[0])) return false;
  // mkdtemp replaced the X's with ASCII letters and digits only.
  std::memcpy(out, name.c_str(), name.size() - 6);
  std::memcpy(out + name.size() - 6, native.c_str() + native.size() - 6, 7);
  return true;
}

namespace {

// Creates "<dir>/<prefix><hex>.tmp" exclusively, never through a link, and
// returns its descriptor (open for reading and writing) or -1.
int CreateTempNamed(const char* dir, const char* prefix, char* out) {
  out[0] = '\0';
  std::string base(dir ? dir : "");
  if (!base.empty() && base.back() != '/' && base.back() != '\\') base += '/';
  std::string pre(prefix ? prefix : "");
  if (pre.size() > 3) pre.resize(3);
  // Like the native call: a 16-bit unique number, first one from the clock.
  unsigned start = static_cast<unsigned>(::time(nullptr) ^ ::getpid()) & 0xFFFF;
  for (unsigned i = 0; i < 0x10000; ++i) {
    unsigned n = (start + i) & 0xFFFF;
    if (n == 0) continue;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%X", n);
    std::string name = base + pre + hex + ".tmp";
    if (name.size() >= kMaxPath) return -1;
    std::string native;
    if (!NativePath(name.c_str(), &native)) return -1;
    int fd = ::open(native.c_str(),
                    O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      std::memcpy(out, name.c_str(), name.size() + 1);
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

}  // namespace

bool internal::MakeTempFileUnnoted(const char* dir, const char* prefix, char* out) {
  out[0] = '\0';
  if (internal::ShouldFail()) return false;
  const int fd = CreateTempNamed(dir, prefix, out);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool internal::CreateTempFileUnnoted(const char* dir, const char* prefix,
                                     char* out, FileHandle* file) {
  out[0] = '\0';
  *file = kInvalidFile;
  if (internal::ShouldFail()) return false;
  const int fd = CreateTempNamed(dir, prefix, out);
  if (fd < 0) return false;
  *file = fd;
  return true;
}

}  // namespace platform
