#include "patchlib/tree_copy.h"

#include <algorithm>
#include <map>

#include "foundation/kfile.h"
#include "interrupt.h"
#include "patchlib/console.h"
#include "patchlib/game_tree.h"
#include "patchlib/stream_compare.h"
#include "platform/file.h"
#include "platform/filesystem.h"

namespace patchlib {

bool CopyFile(const std::string& from, const std::string& to) {
  zorl::KFile in, out;
  if (!in.Open(zorl::KFILE_READ, from.c_str()) ||
      !out.Open(zorl::KFILE_READ | zorl::KFILE_WRITE | zorl::KFILE_CREATE |
                    zorl::KFILE_NEW,
                to.c_str()))
    return false;
  std::vector<unsigned char> buffer(1u << 20);
  for (;;) {
    tools::ThrowIfStopRequested();
    const std::int32_t got =
        in.Read(static_cast<std::uint32_t>(buffer.size()), buffer.data());
    if (got < 0) return false;
    if (got == 0) break;
    if (out.Write(buffer.data(), static_cast<std::uint32_t>(got)) != got)
      return false;
  }
  return out.Flush();
}

bool CopyStream(zorl::KFile& from, std::uint64_t size, zorl::KFile& to) {
  std::vector<unsigned char> buffer(1u << 20);
  if (!from.Seek(zorl::KSEEK_BEGIN, 0)) return false;
  while (size > 0) {
    const std::uint32_t n = size < buffer.size()
                                ? static_cast<std::uint32_t>(size)
                                : static_cast<std::uint32_t>(buffer.size());
    if (from.Read(n, buffer.data()) != static_cast<std::int32_t>(n) ||
        to.Write(buffer.data(), n) != static_cast<std::int32_t>(n))
      return false;
    size -= n;
  }
  return true;
}

bool CopyTree(const std::string& from, const std::string& to,
              std::string* error, const WalkOptions& options) {
  std::vector<TreeItem> items;
  if (!WalkTree(from, &items, error, options)) return false;
  for (const TreeItem& item : items) {  // sorted: parents come first
    const std::string target = JoinPath(to, item.path);
    const bool ok = item.is_directory
                        ? platform::MakeDirectory(target.c_str())
                        : CopyFile(JoinPath(from, item.path), target);
    if (!ok) {
      *error = Show(target) + ": cannot copy";
      return false;
    }
  }
  return true;
}

bool RemoveMadeFile(const std::string& path) {
  constexpr std::int64_t kStep = 64 << 20;
  if (!platform::IsLink(path.c_str())) {
    const platform::FileHandle file = platform::FileOpen(path.c_str(), platform::kFileWrite);
    if (file != platform::kInvalidFile) {
      for (std::int64_t size = platform::FileSize(file); size > kStep;) {
        size -= kStep;
        if (!platform::FileTruncate(file, static_cast<std::uint64_t>(size))) break;
      }
      platform::FileClose(file);
    }
  }
  return platform::RemoveFile(path.c_str());
}

bool RemoveTree(const std::string& path) {
  if (platform::IsLink(path.c_str())) return platform::RemoveFile(path.c_str());
  if (platform::GetPathKind(path.c_str()) != platform::PathKind::kDirectory)
    return platform::GetPathKind(path.c_str()) == platform::PathKind::kNone ||
           RemoveMadeFile(path);
  platform::FindData data;
  platform::FindHandle search =
      platform::FindFirst(JoinPath(path, "*").c_str(), &data);
  std::vector<platform::FindData> found;
  if (search) {
    do {
      const std::string name = data.name;
      if (name != "." && name != "..") found.push_back(data);
    } while (platform::FindNext(search, &data));
    platform::FindClose(search);
  }
  for (const platform::FindData& entry : found) {
    const std::string child = JoinPath(path, entry.name);
    if (entry.is_directory)  // a real directory: listings never call a link one
      RemoveTree(child);
    else if (entry.is_link)
      platform::RemoveFile(child.c_str());  // a link goes as itself
    else
      RemoveMadeFile(child.c_str());
  }
  platform::RemoveEmptyDirectory(path.c_str());
  return platform::GetPathKind(path.c_str()) == platform::PathKind::kNone &&
         !platform::IsLink(path.c_str());
}

bool CompareTrees(const std::string& actual, const std::string& expected,
                  std::vector<std::string>* differences,
                  std::vector<std::string>* notes,
                  const WalkOptions& expected_walk) {
  std::vector<TreeItem> a, e;
  std::string error;
  if (!WalkTree(actual, &a, &error) ||
      !WalkTree(expected, &e, &error, expected_walk)) {
    differences->push_back(error);
    return false;
  }
  std::map<std::string, TreeItem> have;
  for (const TreeItem& item : a) have[item.path] = item;
  bool readable = true;
  for (const TreeItem& item : e) {
    auto it = have.find(item.path);
    const std::string shown = Show(item.path);
    if (it == have.end()) {
      differences->push_back(shown + ": missing");
      continue;
    }
    const TreeItem other = it->second;
    have.erase(it);
    if (other.is_directory != item.is_directory) {
      differences->push_back(shown + ": file and directory swapped");
      continue;
    }
    if (item.is_directory) continue;
    if (other.size != item.size) {
      differences->push_back(shown + ": size " + std::to_string(other.size) +
                             ", expected " + std::to_string(item.size));
      continue;
    }
    zorl::KFile x, y;
    if (!x.Open(zorl::KFILE_READ, JoinPath(actual, item.path).c_str()) ||
        !y.Open(zorl::KFILE_READ, JoinPath(expected, item.path).c_str())) {
      differences->push_back(shown + ": cannot open");
      readable = false;
      continue;
    }
    switch (CompareStreams(x, y, item.size)) {
      case Comparison::kEqual:
        break;
      case Comparison::kDifferent:
        differences->push_back(shown + ": content differs");
        break;
      case Comparison::kReadError:
        differences->push_back(shown + ": cannot read");
        readable = false;
        break;
    }
  }
  for (const auto& left : have) {
    if (left.second.is_directory)
      notes->push_back(Show(left.first) + ": directory only in the result");
    else
      differences->push_back(Show(left.first) + ": file only in the result");
  }
  return readable;
}

}  // namespace patchlib
