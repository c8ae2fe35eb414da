// PlannedFiles: the loose files as the commands read so far would leave
// them, without touching the disk: what earlier commands wrote, deleted,
// created or emptied, over the game directory as it is now.
//
// Paths are compared by a key that reads them as the file system does:
// separators "/" and "\" alike, "." and empty components dropped, ".."
// taken back a level, and where names ignore case (Windows) ASCII letters
// folded and trailing dots and spaces dropped ("Data\\A.TXT." is
// "data/a.txt" there).
#ifndef ENGINE_PLANNED_FILES_H_
#define ENGINE_PLANNED_FILES_H_

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "engine/loose_files.h"
#include "platform/filesystem.h"

namespace updater {

// The key of a path (see above); `fold`: names compare the Windows way.
//   PathKey("/g/a/../B.txt.", true) -> "/g/b.txt"
//   PathKey("C:\\G\\x", true)       -> "c:/g/x"
std::string PathKey(const char* path, bool fold);

// Whether `path` names `dir` itself or something below it, read as the
// file system would (by PathKey).
bool PathIsInside(const char* path, const char* dir, bool fold);

class PlannedFiles {
 public:
  explicit PlannedFiles(LooseFiles& disk);

  // What `path` will be: kFile (a file or a link), kDirectory or kNone.
  platform::PathKind Kind(const char* path);
  // Whether no earlier command changed `path` (so the disk says what it
  // is, also which file it is).
  bool Untouched(const char* path);

  void WroteFile(const char* path);
  void DeletedFile(const char* path);
  void MadeDirectory(const char* path);
  // Records that every file below `path` is gone (directories stay).
  void EmptiedTree(const char* path);
  // Calls `each` with the key of every file earlier commands wrote below
  // `path` that is still there.
  void ForEachWrittenBelow(const char* path,
                           const std::function<void(const std::string&)>& each);

  // The key of a path (see above).
  std::string Key(const char* path) const { return PathKey(path, fold_); }

 private:
  platform::PathKind Planned(const std::string& key, const char* path);
  bool BelowEmptied(const std::string& key) const;

  LooseFiles& disk_;
  bool fold_;
  std::map<std::string, platform::PathKind> changed_;  // key -> what it is now
  std::set<std::string> emptied_;                      // keys of emptied trees
};

}  // namespace updater

#endif  // ENGINE_PLANNED_FILES_H_
