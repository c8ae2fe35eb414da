// Walking a directory tree through the platform seam.
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

// Lists every file and directory below `root` (cp932), sorted by the bytes
// of their relative paths. False with `error` set when a directory cannot
// be listed or a name is not a valid Windows name in cp932 (see
// ValidComponent; the error names the item).
bool WalkTree(const std::string& root, std::vector<TreeItem>* items,
              std::string* error);

// Joins a directory and a relative path with "/".
std::string JoinPath(const std::string& dir, const std::string& rel);

}  // namespace patchlib

#endif  // PATCHLIB_GAME_TREE_H_
