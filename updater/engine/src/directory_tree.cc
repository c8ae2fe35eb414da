#include "engine/directory_tree.h"

#include <cstring>

#include "foundation/kpath.h"
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

bool EmptyDirectoryTree(const char* path, const std::function<void()>& pump,
                        char* failed,
                        const std::function<bool(const char*)>& in_use) {
  failed[0] = '\0';
  if (pump) pump();
  char pattern[zorl::kNameBufferSize];
  zorl::MakePath(path, "*", "", pattern);
  platform::FindData found;
  platform::FindHandle search = platform::FindFirst(pattern, &found);
  if (!search) {
    // A search always lists "." in an existing directory: finding nothing
    // there is a failure, not an empty tree.
    if (platform::GetPathKind(path) == platform::PathKind::kDirectory) {
      zorl::CopyText(failed, path, zorl::kNameBufferSize);
      return false;
    }
    return true;  // a missing directory has nothing to delete
  }
  bool ok = true;
  try {
    do {
      if (IsDotEntry(found.name)) continue;
      char child[zorl::kNameBufferSize];
      zorl::MakePath(path, found.name, "", child);
      if (found.is_directory) {
        ok = EmptyDirectoryTree(child, pump, failed, in_use);
      } else if ((in_use && in_use(child)) || !platform::RemoveFile(child)) {
        zorl::CopyText(failed, child, zorl::kNameBufferSize);
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

}  // namespace updater
