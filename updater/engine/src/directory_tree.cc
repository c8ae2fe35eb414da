#include "engine/directory_tree.h"

#include <cstring>
#include <string>
#include <vector>

#include "engine/path_resolve.h"
#include "foundation/ktext.h"
#include "platform/filesystem.h"

namespace updater {
namespace {

// Offset of the last "/" in `path` (two-byte characters whole), or -1.
long LastSlash(const char* path) {
  long last = -1;
  for (long i = 0; path[i];) {
    if (zorl::IsLeadByte(static_cast<unsigned char>(path[i])) && path[i + 1]) {
      i += 2;
      continue;
    }
    if (path[i] == '/') last = i;
    ++i;
  }
  return last;
}

// Whether the text ends in a two-byte character (whose trail byte may be
// 0x5C, which is then no separator).
bool EndsInTrailByte(const std::string& text) {
  bool trail = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    trail = false;
    if (zorl::IsLeadByte(static_cast<unsigned char>(text[i])) &&
        i + 1 < text.size()) {
      ++i;
      trail = true;
    }
  }
  return trail;
}

bool IsDotEntry(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

}  // namespace

bool MakeDirectoryTree(const char* path,
                       const std::function<bool(const char*)>& before_create,
                       const std::function<bool(const char*)>& existed) {
  char full[zorl::kNameBufferSize];
  zorl::CopyText(full, path, sizeof full);
  std::size_t length = 0;
  for (; full[length]; ++length) {
    if (zorl::IsLeadByte(static_cast<unsigned char>(full[length])) &&
        full[length + 1]) {
      ++length;
    } else if (full[length] == '\\') {
      full[length] = '/';
    }
  }
  // One trailing "/" is dropped, but the root stays the root.
  if (length > 1 && full[length - 1] == '/') full[--length] = '\0';

  // A failing query answers "nothing": a level counts as missing only
  // when two answers agree, so no existing directory is taken for one the
  // run creates (and removes again on undo).
  auto is_directory = [](const char* level) {
    return platform::GetPathKind(level) == platform::PathKind::kDirectory ||
           platform::GetPathKind(level) == platform::PathKind::kDirectory;
  };
  if (is_directory(full)) return true;
  // The missing levels, deepest first: each one whose parent is missing
  // too, up to the first that exists (or the path's first component).
  std::vector<std::string> missing;
  std::string level = full;
  for (;;) {
    missing.push_back(level);
    const long slash = LastSlash(level.c_str());
    if (slash <= 0) break;  // no parent, or the root
    level.resize(static_cast<std::size_t>(slash));
    if (is_directory(level.c_str())) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (before_create && !before_create(it->c_str())) return false;
    if (!platform::MakeDirectory(it->c_str())) {
      if (!is_directory(it->c_str())) return false;
      // It was there after all: not the run's to remove.
      if (existed && !existed(it->c_str())) return false;
    }
  }
  return true;
}

bool WalkTree(const char* path, const std::function<void()>& pump,
              const std::function<bool(const TreeFile&)>& visit,
              std::string* failed,
              const std::function<bool(const char*, const char*)>& enter) {
  failed->clear();
  if (pump) pump();
  // The pattern may be longer than a path buffer: it is only listed.
  std::string prefix = path;
  if (!prefix.empty() &&
      ((prefix.back() != '/' && prefix.back() != '\\') ||
       EndsInTrailByte(prefix)))
    prefix += '/';
  platform::FindData found;
  platform::FindHandle search =
      platform::FindFirst((prefix + "*").c_str(), &found);
  if (!search) {
    // A search always lists "." in an existing directory: finding nothing
    // there is a failure, not an empty tree.
    if (platform::GetPathKind(path) == platform::PathKind::kDirectory) {
      *failed = path;
      return false;
    }
    return true;  // a missing directory has nothing to visit
  }
  bool ok = true;
  try {
    do {
      if (IsDotEntry(found.name)) continue;
      char child[zorl::kNameBufferSize];
      if (!JoinPath(path, found.name, child)) {
        // Never act on a cut name: it would be another file.
        *failed = prefix + found.name;
        ok = false;
      } else if (found.is_directory) {
        if (!enter || enter(child, found.name))
          ok = WalkTree(child, pump, visit, failed, enter);
      } else if (!visit(TreeFile{child, found.is_link, found.size})) {
        if (failed->empty()) *failed = child;
        ok = false;
      }
    } while (ok && platform::FindNext(search, &found));
  } catch (...) {
    platform::FindClose(search);
    throw;
  }
  platform::FindClose(search);
  return ok;
}

bool EmptyDirectoryTree(const char* path, const std::function<void()>& pump,
                        std::string* failed,
                        const std::function<bool(const TreeFile&)>& keep,
                        const std::function<bool(const char*)>& remove,
                        const std::function<bool(const char*, const char*)>& enter) {
  // A listing that fails midway looks like its end: the tree counts as
  // empty only once two walks in a row found no file left.
  int quiet = 0;
  while (quiet < 2) {
    std::uint64_t visited = 0;
    const bool ok = WalkTree(
        path, pump,
        [&](const TreeFile& file) {
          ++visited;
          if (keep && keep(file)) return false;
          return remove ? remove(file.path) : platform::RemoveFile(file.path);
        },
        failed, enter);
    if (!ok) return false;
    quiet = visited ? 0 : quiet + 1;
  }
  return true;
}

}  // namespace updater
