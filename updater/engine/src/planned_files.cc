#include "engine/planned_files.h"

#include <vector>

#include "foundation/ktext.h"

namespace updater {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

PlannedFiles::PlannedFiles(LooseFiles& disk)
    : disk_(disk), fold_(disk.NamesIgnoreCase()) {}

std::string PathKey(const char* path, bool fold) {
  std::string key;
  const char* p = path;
  // A drive, then the root.
  if (((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) &&
      p[1] == ':') {
    key += static_cast<char>(p[0] | 0x20);
    key += ':';
    p += 2;
  }
  const bool rooted = IsSeparator(*p);
  if (rooted) key += '/';
  const std::size_t base = key.size();
  std::vector<std::string> parts;
  std::string part;
  auto flush = [&] {
    if (fold) {
      while (!part.empty() && (part.back() == '.' || part.back() == ' ') &&
             part != "." && part != "..")
        part.pop_back();
    }
    if (part.empty() || part == ".") {
      // nothing
    } else if (part == ".." && !parts.empty() && parts.back() != "..") {
      parts.pop_back();
    } else if (part == ".." && rooted) {
      // the root's parent is the root
    } else {
      parts.push_back(part);
    }
    part.clear();
  };
  for (; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (zorl::IsLeadByte(c) && p[1]) {
      part += *p++;
      part += *p;
    } else if (IsSeparator(*p)) {
      flush();
    } else {
      part += fold && c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20)
                                             : *p;
    }
  }
  flush();
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) key += '/';
    key += parts[i];
  }
  if (key.size() == base && !rooted && base == 0) key = ".";
  return key;
}

bool PathIsInside(const char* path, const char* dir, bool fold) {
  const std::string p = PathKey(path, fold);
  std::string d = PathKey(dir, fold);
  if (p == d) return true;
  if (d.empty() || d.back() != '/') d += '/';
  return p.compare(0, d.size(), d) == 0;
}

platform::PathKind PlannedFiles::Planned(const std::string& key,
                                         const char* path) {
  const auto it = changed_.find(key);
  if (it != changed_.end()) return it->second;
  const platform::PathKind now = disk_.Kind(path);
  // A file below an emptied tree is gone.
  if (now == platform::PathKind::kFile && BelowEmptied(key))
    return platform::PathKind::kNone;
  return now;
}

bool PlannedFiles::BelowEmptied(const std::string& key) const {
  if (emptied_.empty()) return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (key[i] != '/' || i + 1 == key.size()) continue;
    // The root ("/", "c:/") keeps its separator; other levels do not.
    const bool root = i == 0 || (i == 2 && key[1] == ':');
    if (emptied_.count(key.substr(0, root ? i + 1 : i))) return true;
  }
  return false;
}

platform::PathKind PlannedFiles::Kind(const char* path) {
  return Planned(Key(path), path);
}

bool PlannedFiles::Untouched(const char* path) {
  const std::string key = Key(path);
  return !changed_.count(key) && !BelowEmptied(key);
}

void PlannedFiles::WroteFile(const char* path) {
  changed_[Key(path)] = platform::PathKind::kFile;
}

void PlannedFiles::DeletedFile(const char* path) {
  changed_[Key(path)] = platform::PathKind::kNone;
}

void PlannedFiles::MadeDirectory(const char* path) {
  changed_[Key(path)] = platform::PathKind::kDirectory;
}

namespace {
// Keys below `key` sort from "key/" up to, not including, "key0" ('0'
// follows '/'); a root key ("/", "c:/") already ends in its separator.
std::string BelowStart(const std::string& key) {
  return !key.empty() && key.back() == '/' ? key : key + '/';
}
std::string BelowEnd(const std::string& key) {
  std::string end = BelowStart(key);
  end.back() = static_cast<char>('/' + 1);
  return end;
}
}  // namespace

void PlannedFiles::EmptiedTree(const char* path) {
  const std::string key = Key(path), end = BelowEnd(key);
  for (auto it = changed_.lower_bound(BelowStart(key));
       it != changed_.end() && it->first < end; ++it)
    if (it->second == platform::PathKind::kFile)
      it->second = platform::PathKind::kNone;
  emptied_.insert(key);
}

void PlannedFiles::ForEachWrittenBelow(
    const char* path, const std::function<void(const std::string&)>& each) {
  const std::string key = Key(path), end = BelowEnd(key);
  for (auto it = changed_.lower_bound(BelowStart(key));
       it != changed_.end() && it->first < end; ++it)
    if (it->second == platform::PathKind::kFile) each(it->first);
}

}  // namespace updater
