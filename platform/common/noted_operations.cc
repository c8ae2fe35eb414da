// The recorded operations of the seam: each calls its platform's
// implementation and notes a failure (last_failure.h).
#include <atomic>
#include <deque>
#include <mutex>

#include "platform/file.h"
#include "platform/filesystem.h"
#include "platform/last_failure.h"
#include "platform/power_cut.h"
#include "platform/fault.h"
#include "unnoted.h"

namespace platform {
namespace {

constexpr std::size_t kKept = 16;

std::mutex g_lock;
std::deque<FailedOperation> g_recent;  // oldest first
bool g_may_pass = false;  // of the newest
std::atomic<long> g_flushes{0};

void Note(const char* operation, const char* path, const char* target = nullptr) {
  // The system's error first: nothing else may run before it is read.
  const bool injected = internal::LastWasInjected();
  const bool may_pass = injected ? internal::InjectedMayPass() : internal::SystemErrorMayPass();
  const FailureKind kind = injected ? internal::InjectedKind() : internal::SystemErrorKind();
  std::string reason = injected ? "an injected fault" : internal::SystemErrorText();
  std::lock_guard<std::mutex> guard(g_lock);
  g_may_pass = may_pass;
  if (g_recent.size() == kKept) g_recent.pop_front();
  FailedOperation failed;
  failed.operation = operation;
  failed.path = path ? path : "";
  failed.target = target ? target : "";
  failed.reason = std::move(reason);
  failed.kind = kind;
  g_recent.push_back(std::move(failed));
}

template <class T>
T Noted(T result, bool failed, const char* operation, const char* path,
        const char* target = nullptr) {
  if (failed) Note(operation, path, target);
  return result;
}

}  // namespace

bool GetLastFailure(FailedOperation* out) {
  std::lock_guard<std::mutex> guard(g_lock);
  if (g_recent.empty()) return false;
  *out = g_recent.back();
  return true;
}

std::vector<FailedOperation> RecentFailures() {
  std::lock_guard<std::mutex> guard(g_lock);
  return std::vector<FailedOperation>(g_recent.begin(), g_recent.end());
}

long FlushCount() { return g_flushes.load(); }

bool LastFailureMayPass() {
  std::lock_guard<std::mutex> guard(g_lock);
  return !g_recent.empty() && g_may_pass;
}

void ForgetLastFailure() {
  std::lock_guard<std::mutex> guard(g_lock);
  g_recent.clear();
  g_may_pass = false;
}

FileHandle FileOpen(const char* path, unsigned mode) {
  bool existed;
  internal::BeforeOpen(path, mode, &existed);
  const FileHandle h = internal::FileOpenUnnoted(path, mode);
  internal::AfterOpen(path, h, existed);
  return Noted(h, h == kInvalidFile,
               (mode & (kFileCreate | kFileNew)) ? "create" : "open", path);
}

std::int64_t FileReadAt(FileHandle file, std::uint64_t offset, void* buffer,
                        std::uint32_t count) {
  const std::int64_t n = internal::FileReadAtUnnoted(file, offset, buffer, count);
  return Noted(n, n < 0, "read", "");
}

std::int64_t FileWriteAt(FileHandle file, std::uint64_t offset,
                         const void* buffer, std::uint32_t count) {
  internal::BeforeWrite(file);
  const std::int64_t n = internal::FileWriteAtUnnoted(file, offset, buffer, count);
  return Noted(n, n < 0, "write", "");
}

bool FileTruncate(FileHandle file, std::uint64_t size) {
  internal::BeforeWrite(file);
  const bool ok = internal::FileTruncateUnnoted(file, size);
  return Noted(ok, !ok, "truncate", "");
}

bool FileFlush(FileHandle file) {
  internal::BeforeFlush(file);
  ++g_flushes;
  const bool ok = internal::FileFlushUnnoted(file);
  if (ok) internal::AfterFlush(file);
  return Noted(ok, !ok, "flush", "");
}

bool RemoveFile(const char* path) {
  bool ok;
  if (!internal::RemoveInstead(path, &ok)) ok = internal::RemoveFileUnnoted(path);
  return Noted(ok, !ok, "delete", path);
}

bool RenameFile(const char* from, const char* to) {
  const bool ok = internal::RenameFileUnnoted(from, to);
  if (ok) internal::AfterRename(from, to);
  return Noted(ok, !ok, "rename", from, to);
}

bool ReplaceFile(const char* from, const char* to) {
  bool ok;
  if (!internal::ReplaceInstead(from, to, &ok)) ok = internal::ReplaceFileUnnoted(from, to);
  return Noted(ok, !ok, "replace", to, from);
}

bool MakeDirectory(const char* path) {
  const bool ok = internal::MakeDirectoryUnnoted(path);
  if (ok) internal::AfterMakeDirectory(path);
  return Noted(ok, !ok, "create the directory", path);
}

bool FlushDirectory(const char* path) {
  internal::BeforeDirectoryFlush();
  ++g_flushes;
  const bool ok = internal::FlushDirectoryUnnoted(path);
  if (ok) internal::AfterDirectoryFlush(path);
  return Noted(ok, !ok, "flush the directory", path);
}

bool FlushFileSystem(const char* path) {
  internal::BeforeDirectoryFlush();
  ++g_flushes;
  const bool ok = internal::FlushFileSystemUnnoted(path);
  if (ok) internal::AfterFileSystemFlush();
  return Noted(ok, !ok, "flush the volume of", path);
}

bool SetReadOnly(const char* path, bool read_only) {
  const bool ok = internal::SetReadOnlyUnnoted(path, read_only);
  return Noted(ok, !ok, read_only ? "set read-only" : "clear read-only on", path);
}

bool RemoveEmptyDirectory(const char* path) {
  const bool ok = internal::RemoveEmptyDirectoryUnnoted(path);
  if (ok) internal::AfterRemoveDirectory(path);
  return Noted(ok, !ok, "remove the directory", path);
}

bool MakeTempFile(const char* dir, const char* prefix, char* out) {
  const bool ok = internal::MakeTempFileUnnoted(dir, prefix, out);
  if (ok) internal::AfterMakeTempFile(out);
  return Noted(ok, !ok, "create a temporary file in", dir);
}

bool CreateTempFile(const char* dir, const char* prefix, char* out,
                    FileHandle* file) {
  const bool ok = internal::CreateTempFileUnnoted(dir, prefix, out, file);
  return Noted(ok, !ok, "create a temporary file in", dir);
}

bool MakeTempDirectory(const char* dir, const char* prefix, char* out) {
  const bool ok = internal::MakeTempDirectoryUnnoted(dir, prefix, out);
  return Noted(ok, !ok, "create a temporary directory in", dir);
}

}  // namespace platform
