#include "engine/directory_tree.h"

#include <cstring>

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

bool MakeDirectoryTree(const char* path) {
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

  if (platform::GetPathKind(full) == platform::PathKind::kDirectory)
    return true;
  while (!platform::MakeDirectory(full)) {
    // Create the shallowest missing level whose parent exists, then retry.
    char prefix[zorl::kNameBufferSize];
    std::memcpy(prefix, full, sizeof prefix);
    for (;;) {
      const long slash = LastSlash(prefix);
      if (slash < 0) return false;
      prefix[slash] = '\0';
      if (platform::MakeDirectory(prefix)) break;
    }
  }
  return true;
}

bool WalkTree(const char* path, const std::function<void()>& pump,
              const std::function<bool(const TreeFile&)>& visit,
              std::string* failed) {
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
        ok = WalkTree(child, pump, visit, failed);
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
                        const std::function<bool(const char*)>& remove) {
  return WalkTree(
      path, pump,
      [&](const TreeFile& file) {
        if (keep && keep(file)) return false;
        return remove ? remove(file.path) : platform::RemoveFile(file.path);
      },
      failed);
}

}  // namespace updater
