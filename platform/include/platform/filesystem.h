// The file-system seam: names, directories, searches and temporary files.
//
// Every path is cp932 bytes, NUL-terminated; "/" and "\" both separate. A
// path that is not valid cp932 fails the operation (nothing, for
// GetPathKind) instead of naming another file.
// Results that are paths are written into caller buffers of kMaxPath bytes.
#ifndef PLATFORM_FILESYSTEM_H_
#define PLATFORM_FILESYSTEM_H_

#include <cstdint>

#include "platform/file.h"

namespace platform {

// The system's fixed path buffer: 263 characters and a NUL.
constexpr unsigned kMaxPath = 264;

// kOther: something that is neither a file to read nor a directory to list
// (a FIFO, socket or device on POSIX); opening it may block or read
// forever.
enum class PathKind { kNone, kFile, kDirectory, kOther };

// What `path` names, following links: nothing (also on any error), a
// regular file, a directory or something else.
PathKind GetPathKind(const char* path);

// Whether the file system reads names the Windows way: ASCII letters match
// regardless of case, and trailing dots and spaces of a name are dropped
// ("Data\\A.TXT." is "data/a.txt"). False where every byte counts (POSIX).
bool NamesIgnoreCase();

// Whether the name itself is a link: a symbolic link, or on Windows any
// reparse point (junctions, mount points, symbolic links). False for
// everything else and on any error. Never looks at what a link points to.
bool IsLink(const char* path);

// Deletes a file, or a link itself (of any kind, also one that points to a
// directory; never what it points to). False when it is missing, a
// directory, or cannot be deleted.
bool RemoveFile(const char* path);

// Renames `from` to `to`. Never replaces: fails when `to` exists.
bool RenameFile(const char* from, const char* to);

// Renames the file `from` to `to`, replacing `to` atomically when it
// exists: a reader sees either the old or the new file under `to`, never a
// mixture or nothing. Both must be on the same volume. False on failure
// (`from` then stays where it was).
bool ReplaceFile(const char* from, const char* to);

// Makes the names created, renamed and deleted in the directory `path`
// durable: after a power cut they are as they were at this call. POSIX
// flushes the directory itself; Windows journals names on its own and
// answers true. False on failure.
bool FlushDirectory(const char* path);

// Makes everything written on the volume holding `path` durable at once:
// file data and names alike, as FileFlush of every file and FlushDirectory
// of every directory would. One call costs about what one file's flush
// does, so it pays for many files. Linux syncs the file system (syncfs);
// Windows flushes the volume, which takes administrator rights. False when
// it fails or the system cannot: the caller then flushes file by file.
bool FlushFileSystem(const char* path);

// The file's read-only attribute: on Windows such a file can be renamed
// but neither written nor deleted. POSIX has no such attribute; a file
// without any write permission stands for it (as Wine reads it), though
// the system deletes it all the same. IsReadOnly: false also on failure.
bool IsReadOnly(const char* path);
// Sets or clears the attribute. False on failure.
bool SetReadOnly(const char* path, bool read_only);

// Creates one directory (its parent must exist). False on failure,
// including when the name exists already.
bool MakeDirectory(const char* path);

// Removes an empty directory. False on failure.
bool RemoveEmptyDirectory(const char* path);

// One directory search result. A link is reported as itself, whatever it
// points to (also when that is missing): is_link set, is_directory clear,
// size 0. A walk that descends into directories therefore never passes
// through a link. is_other marks what GetPathKind calls kOther (a FIFO,
// socket or device), size 0.
struct FindData {
  char name[kMaxPath];  // the entry's name (no directory part), cp932
  bool is_directory;
  bool is_link;
  bool is_other;
  std::uint64_t size;   // bytes, regular files only
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

// Creates a new, empty file named as MakeTempFile names it, opened for
// reading and writing by the same call and handed over in `file`: created
// exclusively (never an existing file, never through a link) and never
// opened a second time by name, so nothing can come between making it and
// writing it. Writes the name into `out` (kMaxPath bytes). False, leaving
// `out` empty and `file` kInvalidFile, on failure.
bool CreateTempFile(const char* dir, const char* prefix, char* out,
                    FileHandle* file);

// Creates a new, empty directory "<dir>/<prefix><random>" that no one else
// can have made (the creation fails rather than reuse an existing name, and
// the name is not predictable), and writes its path into `out` (kMaxPath
// bytes). False, leaving `out` empty, on failure.
bool MakeTempDirectory(const char* dir, const char* prefix, char* out);

enum class IdentityLookup {
  kFound,    // `out` holds the identity
  kMissing,  // nothing has that name (or a component is not a directory)
  kFailed,   // the name may exist, but its identity could not be read (also
             // for a name that is not valid cp932)
};

// The identity of the file or directory `path` names. With `follow_links`
// a link is followed to what it points to (as opening the name would);
// without, a link's own identity is given (as deleting the name would act
// on it).
IdentityLookup GetPathIdentity(const char* path, bool follow_links,
                               FileIdentity* out);

}  // namespace platform

#endif  // PLATFORM_FILESYSTEM_H_
