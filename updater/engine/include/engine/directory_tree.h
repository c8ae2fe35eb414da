// Creating and emptying directory trees.
#ifndef ENGINE_DIRECTORY_TREE_H_
#define ENGINE_DIRECTORY_TREE_H_

#include <functional>

namespace updater {

// Creates the directory `path` ("\" or "/" separated, one trailing "/"
// ignored) and every missing parent. True when it exists as a directory
// afterwards (an existing directory is success); false when a level
// cannot be created.
bool MakeDirectoryTree(const char* path);

// Deletes every file in the tree below `path`, at every level, keeping the
// directories. A missing directory is success. On false, `failed` (264
// bytes) names the file that could not be deleted (or that `in_use` says
// must stay: a file the caller still reads), or the directory that exists
// but could not be listed. `pump` is called before each directory is
// listed (it may throw; the search is closed first).
bool EmptyDirectoryTree(
    const char* path, const std::function<void()>& pump, char* failed,
    const std::function<bool(const char*)>& in_use = {});

}  // namespace updater

#endif  // ENGINE_DIRECTORY_TREE_H_
