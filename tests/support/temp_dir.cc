#include "temp_dir.h"

#include <algorithm>
#include <cstdlib>

#include "platform/file.h"
#include "platform/filesystem.h"

namespace testing_support {

TempDir::TempDir(const std::string& tag) {
  for (int n = 0;; ++n) {
    std::string candidate = "kt-" + tag + "-" + std::to_string(n);
    if (platform::GetPathKind(candidate.c_str()) == platform::PathKind::kNone &&
        platform::MakeDirectory(candidate.c_str())) {
      path_ = candidate;
      return;
    }
    if (n > 10000) std::abort();
  }
}

TempDir::~TempDir() { RemoveTree(path_); }

std::string TempDir::operator/(const std::string& name) const {
  return path_ + "/" + name;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  platform::FileHandle f = platform::FileOpen(
      path.c_str(), platform::kFileRead | platform::kFileWrite |
                        platform::kFileCreate | platform::kFileNew);
  if (f == platform::kInvalidFile) return false;
  bool ok = bytes.empty() ||
            platform::FileWriteAt(f, 0, bytes.data(),
                                  static_cast<std::uint32_t>(bytes.size())) ==
                static_cast<std::int64_t>(bytes.size());
  return platform::FileClose(f) && ok;
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
  platform::FileHandle f = platform::FileOpen(path.c_str(), platform::kFileRead);
  if (f == platform::kInvalidFile) return false;
  std::int64_t size = platform::FileSize(f);
  bool ok = size >= 0;
  if (ok) {
    bytes->assign(static_cast<size_t>(size), '\0');
    ok = size == 0 || platform::FileReadAt(f, 0, &(*bytes)[0],
                                           static_cast<std::uint32_t>(size)) ==
                          size;
  }
  platform::FileClose(f);
  return ok;
}

std::vector<std::string> ListDirectory(const std::string& path) {
  std::vector<std::string> names;
  platform::FindData data;
  platform::FindHandle h = platform::FindFirst((path + "/*").c_str(), &data);
  if (!h) return names;
  do {
    std::string name = data.name;
    if (name != "." && name != "..") names.push_back(name);
  } while (platform::FindNext(h, &data));
  platform::FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

bool RemoveTree(const std::string& path) {
  // A link goes as itself: never into what it points to.
  if (platform::IsLink(path.c_str())) return platform::RemoveFile(path.c_str());
  switch (platform::GetPathKind(path.c_str())) {
    case platform::PathKind::kNone:
      return true;
    case platform::PathKind::kFile:
    case platform::PathKind::kOther:
      return platform::RemoveFile(path.c_str());
    case platform::PathKind::kDirectory:
      for (const std::string& name : ListDirectory(path))
        RemoveTree(path + "/" + name);
      return platform::RemoveEmptyDirectory(path.c_str());
  }
  return false;
}

}  // namespace testing_support
