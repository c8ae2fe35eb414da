// The file-system seam: names, directories, searches and temporary files.
//
// Every path is cp932 bytes, NUL-terminated; "/" and "\" both separate.
// Results that are paths are written into caller buffers of kMaxPath bytes.
#ifndef PLATFORM_FILESYSTEM_H_
#define PLATFORM_FILESYSTEM_H_

#include <cstdint>

namespace platform {

// The system's fixed path buffer: 263 characters and a NUL.
constexpr unsigned kMaxPath = 264;

enum class PathKind { kNone, kFile, kDirectory };

// What `path` names: nothing (also on any error), a file or a directory.
PathKind GetPathKind(const char* path);

// Deletes a file. False when it is missing or cannot be deleted.
bool RemoveFile(const char* path);

// Renames `from` to `to`. Never replaces: fails when `to` exists.
bool RenameFile(const char* from, const char* to);

// Renames the file `from` to `to`, replacing `to` atomically when it
// exists: a reader sees either the old or the new file under `to`, never a
// mixture or nothing. Both must be on the same volume. False on failure
// (`from` then stays where it was).
bool ReplaceFile(const char* from, const char* to);

// Creates one directory (its parent must exist). False on failure,
// including when the name exists already.
bool MakeDirectory(const char* path);

// Removes an empty directory. False on failure.
bool RemoveEmptyDirectory(const char* path);

// One directory search result.
struct FindData {
  char name[kMaxPath];  // the entry's name (no directory part), cp932
  bool is_directory;
  std::uint64_t size;   // bytes, files only
};

// An open directory search; nullptr means none.
using FindHandle = void*;

// Starts a search. `pattern` is a directory, a separator and a name
// pattern whose "*" and "?" are wildcards ("dir/*" and "dir/*.*" list all,
// "." and ".." included, as the native search does). Fills `data` with the
// first match; returns nullptr when nothing matches or on failure.
FindHandle FindFirst(const char* pattern, FindData* data);

// Fills `data` with the next match. False at the end or on failure.
bool FindNext(FindHandle search, FindData* data);

// Ends a search. Accepts nullptr.
void FindClose(FindHandle search);

// Creates an empty file with a unique name "<dir>/<prefix><hex>.tmp"
// (prefix: its first three characters) and writes the name into `out`
// (kMaxPath bytes). Returns false, leaving `out` empty, on failure.
bool MakeTempFile(const char* dir, const char* prefix, char* out);

}  // namespace platform

#endif  // PLATFORM_FILESYSTEM_H_
