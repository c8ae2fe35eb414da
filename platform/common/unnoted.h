// The platform implementations of the recorded operations (see
// last_failure.h). common/noted_operations.cc defines the seam's public
// functions on them, noting each failure once, for both systems.
#ifndef PLATFORM_COMMON_UNNOTED_H_
#define PLATFORM_COMMON_UNNOTED_H_

#include <cstdint>
#include <string>

#include "platform/file.h"
#include "platform/last_failure.h"

namespace platform {
namespace internal {

FileHandle FileOpenUnnoted(const char* path, unsigned mode);
std::int64_t FileReadAtUnnoted(FileHandle file, std::uint64_t offset, void* buffer,
                               std::uint32_t count);
std::int64_t FileWriteAtUnnoted(FileHandle file, std::uint64_t offset,
                                const void* buffer, std::uint32_t count);
bool FileTruncateUnnoted(FileHandle file, std::uint64_t size);
bool FileFlushUnnoted(FileHandle file);
bool RemoveFileUnnoted(const char* path);
bool RenameFileUnnoted(const char* from, const char* to);
bool ReplaceFileUnnoted(const char* from, const char* to);
bool MakeDirectoryUnnoted(const char* path);
bool FlushDirectoryUnnoted(const char* path);
bool FlushFileSystemUnnoted(const char* path);
bool SetReadOnlyUnnoted(const char* path, bool read_only);
bool RemoveEmptyDirectoryUnnoted(const char* path);
bool MakeTempFileUnnoted(const char* dir, const char* prefix, char* out);
bool CreateTempFileUnnoted(const char* dir, const char* prefix, char* out,
                           FileHandle* file);
bool MakeTempDirectoryUnnoted(const char* dir, const char* prefix, char* out);

// The system's text for the error of the call that just failed (errno,
// GetLastError), read before anything else runs.
std::string SystemErrorText();
// Whether that error may pass by itself (a file another program holds).
bool SystemErrorMayPass();

// What the error of the call that just failed means (see FailureKind).
FailureKind SystemErrorKind();

// Whether the last counted operation was failed by fault injection, and
// as what.
bool LastWasInjected();
FailureKind InjectedKind();

}  // namespace internal
}  // namespace platform

#endif  // PLATFORM_COMMON_UNNOTED_H_
