// Creating, walking and emptying directory trees.
#ifndef ENGINE_DIRECTORY_TREE_H_
#define ENGINE_DIRECTORY_TREE_H_

#include <cstdint>
#include <functional>
#include <string>

namespace updater {

// Creates the directory `path` ("\" or "/" separated, one trailing "/"
// ignored) and every missing parent, the shallowest first. True when it
// exists as a directory afterwards (an existing directory is success);
// false when a level cannot be created. `before_create`, when given, is
// told each level just before it is created, and `existed` each level it
// was told of that turned out to exist already (so was not created);
// false from either stops there.
bool MakeDirectoryTree(
    const char* path,
    const std::function<bool(const char*)>& before_create = {},
    const std::function<bool(const char*)>& existed = {});

// A file or link found by WalkTree.
struct TreeFile {
  const char* path;    // the directory's path joined with the name
  bool is_link;        // a link (to anything): never descended through
  std::uint64_t size;  // bytes; 0 for a link
};

// Calls `visit` for every file and every link below the directory `path`,
// at every level, depth first, in listing order; directories are entered,
// links never (whatever they point to). `path` itself is entered even when
// it is a link: it is the tree the caller named. A missing directory has
// nothing to visit: true. `pump` is called before each directory is listed
// (it may throw; the search is closed first); `visit` may throw too.
// False when `visit` returns false (the walk stops there), when a
// directory that exists cannot be listed, or when a joined path would be
// longer than 263 bytes; `failed` then names that file or directory (a
// joined path whole, never cut). `enter`, when given, is asked (path,
// name) before each directory below `path` is entered; false skips it.
bool WalkTree(const char* path, const std::function<void()>& pump,
              const std::function<bool(const TreeFile&)>& visit,
              std::string* failed,
              const std::function<bool(const char*, const char*)>& enter = {});

// Deletes every file and link in the tree below `path` (a link itself,
// never what it points to), keeping the directories. It walks the tree
// until two walks in a row find nothing left, so a listing that ends early
// leaves no file behind. A missing directory is success. `keep`, when
// given, names files that must stay (the run's own files): meeting one is
// a failure. `remove` replaces the deletion (it returns false when the
// file could not be removed). On false, `failed` names the file that
// stayed, or as for WalkTree. `enter` as for WalkTree.
bool EmptyDirectoryTree(
    const char* path, const std::function<void()>& pump, std::string* failed,
    const std::function<bool(const TreeFile&)>& keep = {},
    const std::function<bool(const char*)>& remove = {},
    const std::function<bool(const char*, const char*)>& enter = {});

}  // namespace updater

#endif  // ENGINE_DIRECTORY_TREE_H_
