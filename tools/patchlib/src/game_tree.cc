#include "patchlib/game_tree.h"

#include <algorithm>
#include <map>

#include "interrupt.h"
#include "patchlib/console.h"
#include "patchlib/entry_name.h"
#include "patchlib/windows_name.h"
#include "platform/file.h"
#include "platform/filesystem.h"

namespace patchlib {
namespace {

class Walker {
 public:
  Walker(const std::string& root, const WalkOptions& options,
         std::vector<TreeItem>* items, std::string* error)
      : root_(root), options_(options), items_(items), error_(error) {}

  bool Run() {
    platform::FileIdentity identity;
    if (options_.follow_links &&
        platform::GetPathIdentity(root_.c_str(), true, &identity) !=
            platform::IdentityLookup::kFound)
      return Fail(root_, "cannot read the directory's identity");
    return Walk("", identity);
  }

 private:
  bool Fail(const std::string& path, const std::string& why) {
    *error_ = Show(path) + ": " + why;
    return false;
  }

  std::string Full(const std::string& rel) const {
    return rel.empty() ? root_ : JoinPath(root_, rel);
  }

  // Lists one directory (`rel` below the root), then descends.
  bool Walk(const std::string& rel, const platform::FileIdentity& identity) {
    const std::string dir = Full(rel);
    platform::FindData data;
    platform::FindHandle search =
        platform::FindFirst(JoinPath(dir, "*").c_str(), &data);
    if (!search) return Fail(dir, "cannot list the directory");
    std::vector<platform::FindData> found;
    do {
      const std::string name = data.name;
      if (name != "." && name != "..") found.push_back(data);
    } while (platform::FindNext(search, &data));
    platform::FindClose(search);
    // In name order, so that a refusal names the same item on every system.
    std::sort(found.begin(), found.end(),
              [](const platform::FindData& a, const platform::FindData& b) {
                return std::string(a.name) < b.name;
              });

    std::vector<TreeItem> here;
    std::map<std::string, std::string> keys;  // FileNameKey -> name
    for (const platform::FindData& entry : found) {
      tools::ThrowIfStopRequested();
      const std::string name = entry.name;
      TreeItem item;
      item.path = rel.empty() ? name : rel + "/" + name;
      const std::string full = JoinPath(root_, item.path);
      std::string why;
      if (!ValidComponent(name, &why)) return Fail(full, why);
      auto [it, fresh] = keys.emplace(FileNameKey(name), name);
      if (!fresh) {
        if (it->second == name)
          return Fail(full, "two names in this directory are this one name in "
                            "cp932 (they differ in characters that share one "
                            "cp932 code, such as U+301C and U+FF5E)");
        return Fail(full, "Windows cannot keep this apart from " +
                              Show(JoinPath(dir, it->second)) +
                              " (names that differ only in letter case)");
      }
      if (entry.is_other)
        return Fail(full, "a FIFO, socket or device, not a file: refused");
      item.is_directory = entry.is_directory;
      item.size = entry.size;
      if (entry.is_link && !Follow(full, &item)) return false;
      here.push_back(item);
    }
    for (const TreeItem& item : here) {
      items_->push_back(item);
      if (!item.is_directory) continue;
      platform::FileIdentity child;
      if (options_.follow_links) {
        if (platform::GetPathIdentity(JoinPath(root_, item.path).c_str(), true,
                                      &child) != platform::IdentityLookup::kFound)
          return Fail(JoinPath(root_, item.path),
                      "cannot read the directory's identity");
        if (child == identity ||
            std::find(ancestors_.begin(), ancestors_.end(), child) != ancestors_.end())
          return Fail(JoinPath(root_, item.path),
                      "a link loop: it leads back into a directory above it");
      }
      ancestors_.push_back(identity);
      const bool ok = Walk(item.path, child);
      ancestors_.pop_back();
      if (!ok) return false;
    }
    return true;
  }

  // A link: an error, or with follow_links what it points to.
  bool Follow(const std::string& full, TreeItem* item) {
    if (!options_.follow_links)
      return Fail(full, "a link (symbolic link or junction): refused in a game "
                        "tree; --follow-links packs what links point to");
    switch (platform::GetPathKind(full.c_str())) {
      case platform::PathKind::kNone:
        return Fail(full, "a link that points nowhere");
      case platform::PathKind::kOther:
        return Fail(full, "a link to a FIFO, socket or device: refused");
      case platform::PathKind::kDirectory:
        item->is_directory = true;
        item->size = 0;
        return true;
      case platform::PathKind::kFile:
        break;
    }
    const platform::FileHandle file = platform::FileOpen(full.c_str(), platform::kFileRead);
    const std::int64_t size = file == platform::kInvalidFile ? -1 : platform::FileSize(file);
    if (file != platform::kInvalidFile) platform::FileClose(file);
    if (size < 0) return Fail(full, "cannot read the file the link points to");
    item->is_directory = false;
    item->size = static_cast<std::uint64_t>(size);
    return true;
  }

  const std::string& root_;
  const WalkOptions& options_;
  std::vector<TreeItem>* items_;
  std::string* error_;
  std::vector<platform::FileIdentity> ancestors_;
};

}  // namespace

std::string JoinPath(const std::string& dir, const std::string& rel) {
  if (dir.empty()) return rel;
  const char last = dir.back();
  // A trailing 0x5C may be a trail byte: only "/" counts as already there.
  return last == '/' ? dir + rel : dir + "/" + rel;
}

bool WalkTree(const std::string& root, std::vector<TreeItem>* items,
              std::string* error, const WalkOptions& options) {
  items->clear();
  if (platform::GetPathKind(root.c_str()) != platform::PathKind::kDirectory) {
    *error = Show(root) + ": not a directory";
    return false;
  }
  Walker walker(root, options, items, error);
  if (!walker.Run()) return false;
  std::sort(items->begin(), items->end(),
            [](const TreeItem& a, const TreeItem& b) { return a.path < b.path; });
  return true;
}

}  // namespace patchlib
