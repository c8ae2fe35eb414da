#include "patchlib/game_tree.h"

#include <algorithm>

#include "patchlib/console.h"
#include "patchlib/entry_name.h"
#include "platform/filesystem.h"

namespace patchlib {
namespace {

bool Walk(const std::string& root, const std::string& rel,
          std::vector<TreeItem>* items, std::string* error) {
  const std::string dir = rel.empty() ? root : JoinPath(root, rel);
  platform::FindData data;
  platform::FindHandle search =
      platform::FindFirst(JoinPath(dir, "*").c_str(), &data);
  if (!search) {
    *error = Show(dir) + ": cannot list the directory";
    return false;
  }
  std::vector<TreeItem> here;
  do {
    const std::string name = data.name;
    if (name == "." || name == "..") continue;
    TreeItem item;
    item.path = rel.empty() ? name : rel + "/" + name;
    item.is_directory = data.is_directory;
    item.size = data.size;
    std::string why;
    if (!ValidComponent(name, &why)) {
      platform::FindClose(search);
      *error = Show(JoinPath(root, item.path)) + ": " + why;
      return false;
    }
    here.push_back(item);
  } while (platform::FindNext(search, &data));
  platform::FindClose(search);
  for (const TreeItem& item : here) {
    items->push_back(item);
    if (item.is_directory && !Walk(root, item.path, items, error)) return false;
  }
  return true;
}

}  // namespace

std::string JoinPath(const std::string& dir, const std::string& rel) {
  if (dir.empty()) return rel;
  const char last = dir.back();
  // A trailing 0x5C may be a trail byte: only "/" counts as already there.
  return last == '/' ? dir + rel : dir + "/" + rel;
}

bool WalkTree(const std::string& root, std::vector<TreeItem>* items,
              std::string* error) {
  items->clear();
  if (platform::GetPathKind(root.c_str()) != platform::PathKind::kDirectory) {
    *error = Show(root) + ": not a directory";
    return false;
  }
  if (!Walk(root, "", items, error)) return false;
  std::sort(items->begin(), items->end(),
            [](const TreeItem& a, const TreeItem& b) { return a.path < b.path; });
  return true;
}

}  // namespace patchlib
