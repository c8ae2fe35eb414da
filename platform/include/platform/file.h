// The file seam: native file handles with positional transfers.
//
// Paths are cp932 bytes, as the system's formats store them; each implementation
// converts them explicitly (UTF-16 through code page 932 on Windows, UTF-8 on POSIX);
// a path that is not valid cp932 fails the operation instead of naming another file.
// Transfers carry their own absolute offset, so several streams sharing one handle
// never disturb each other's position.
#ifndef PLATFORM_FILE_H_
#define PLATFORM_FILE_H_

#include <cstdint>

namespace platform {

// A native file handle: a HANDLE on Windows, a descriptor on POSIX.
using FileHandle = std::intptr_t;
constexpr FileHandle kInvalidFile = -1;

// Open mode bits.
enum : unsigned {
  kFileRead = 1,    // read access
  kFileWrite = 2,   // write access
  kFileCreate = 4,  // create when missing (with kFileNew: create or empty)
  kFileNew = 8,     // alone: create, failing when the file exists
};

// Opens `path` with the mode bits above; the file is shared for reading and
// writing with other openers. Neither create bit: the file must exist.
// Neither access bit: the handle answers FileSize, and reads, writes,
// truncation and flushes fail (as on Windows). Only a regular file opens: a
// directory, a FIFO, socket or device fails at once (the open of a FIFO
// never waits for its other end). Returns kInvalidFile on failure.
FileHandle FileOpen(const char* path, unsigned mode);

// Closes a handle. Returns false on failure or for kInvalidFile.
bool FileClose(FileHandle file);

// Reads up to `count` bytes at absolute `offset`. Returns the bytes read
// (fewer than asked, down to 0, only at the end of the file) or -1 on failure.
std::int64_t FileReadAt(FileHandle file, std::uint64_t offset, void* buffer,
                        std::uint32_t count);

// Writes `count` bytes at absolute `offset`, extending the file as needed.
// Returns the bytes written or -1 on failure.
std::int64_t FileWriteAt(FileHandle file, std::uint64_t offset,
                         const void* buffer, std::uint32_t count);

// The file's size in bytes, or -1 on failure.
std::int64_t FileSize(FileHandle file);

// Sets the file's end at `size` (shrinking or extending). False on failure.
bool FileTruncate(FileHandle file, std::uint64_t size);

// Pushes buffered data to the device. False on failure.
bool FileFlush(FileHandle file);

// Starts writing `length` bytes from `offset` of the file's buffered data
// to the device and returns without waiting: a hint that leaves a later
// FileFlush less to wait for. Length 0 does nothing. Not a counted file
// operation: it changes no data, and a refusal (false) leaves FileFlush to
// report any real write failure. Systems without such a call do nothing
// and answer true.
bool FileStartWriteback(FileHandle file, std::uint64_t offset,
                        std::uint64_t length);

// What makes a file the same file whatever name reaches it (other
// spellings, "..", links, hard links, short names): the device and inode
// on POSIX, the volume serial number and file index on Windows.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity& o) const {
    return volume == o.volume && index == o.index;
  }
  bool operator!=(const FileIdentity& o) const { return !(*this == o); }
};

// Takes an exclusive lock on the whole file through this handle, without
// waiting. False when another handle (of this or any process) holds one,
// or on failure. The lock ends when the handle is closed or the process
// ends, however it ends.
bool FileTryLock(FileHandle file);

// The identity of an open file. False on failure.
bool GetFileIdentity(FileHandle file, FileIdentity* out);

}  // namespace platform

#endif  // PLATFORM_FILE_H_
