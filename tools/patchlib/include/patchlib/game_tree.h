// Walking a directory tree through the platform seam, as the tools take a
// game tree in: only plain files and directories, with names Windows can
// hold and keep apart.
#ifndef PATCHLIB_GAME_TREE_H_
#define PATCHLIB_GAME_TREE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace patchlib {

struct TreeItem {
  std::string path;  // relative, cp932, "/" separated
  bool is_directory = false;
  std::uint64_t size = 0;
};

struct WalkOptions {
  // Links are errors unless this is set; then a link counts as what it
  // points to, and one that leads back into a directory it lies in (a
  // loop), that points nowhere or to no file or directory is an error.
  bool follow_links = false;
};

// Lists every file and directory below `root` (cp932), sorted by the bytes
// of their relative paths. False with `error` set (UTF-8, naming the item)
// when a directory cannot be listed; when a name is not a valid Windows
// name (ValidComponent); when two names of one directory are one name to
// Windows (letter case) or to cp932 (characters that share a code); on a
// link (see WalkOptions); on a FIFO, socket or device, which is never
// opened. `root` itself may be a link.
bool WalkTree(const std::string& root, std::vector<TreeItem>* items,
              std::string* error, const WalkOptions& options = {});

// Joins a directory and a relative path with "/".
std::string JoinPath(const std::string& dir, const std::string& rel);

}  // namespace patchlib

#endif  // PATCHLIB_GAME_TREE_H_
