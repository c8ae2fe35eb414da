#include "platform/power_cut.h"

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/fault.h"
#include "platform/filesystem.h"
#include "platform/process.h"
#include "unnoted.h"

namespace platform {
namespace {

// One change of names, with the directories that must be flushed after it
// before a cut leaves it in place.
struct NameChange {
  enum Kind { kCreatedFile, kRemovedFile, kRenamed, kMadeDirectory, kRemovedDirectory };
  Kind kind;
  std::string path;
  std::string other;  // the rename's target; the removed file's held name
  std::string dir, other_dir;
  bool dir_flushed = false, other_flushed = false;
  bool Durable() const { return dir_flushed && other_flushed; }
};

// A file with data written since its last flush.
struct DirtyFile {
  std::string path;     // its name now
  std::string durable;  // its bytes at the last flush
};

using Key = std::pair<std::uint64_t, std::uint64_t>;

struct Model {
  bool active = false;
  bool names_kept = false;
  LostData data = LostData::kDropped;
  std::string held_dir;
  long held_count = 0;
  long flushes = 0;
  long cut_at = 0;
  std::map<FileHandle, Key> handles;
  std::map<Key, DirtyFile> dirty;
  std::map<Key, std::string> names;  // each known file's name now
  std::vector<NameChange> changes;
};

Model g_model;
bool g_inside = false;  // the model's own operations are not watched

// A name as the model compares it: "/" separators, no doubled or trailing one.
std::string Normal(const char* path) {
  std::string out;
  for (const char* p = path; *p; ++p) {
    const char c = *p == '\\' ? '/' : *p;
    if (c == '/' && !out.empty() && out.back() == '/') continue;
    out += c;
  }
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

std::string Parent(const std::string& normal) {
  const std::size_t at = normal.rfind('/');
  if (at == std::string::npos) return ".";
  return at == 0 ? "/" : normal.substr(0, at);
}

class Inside {
 public:
  Inside() { g_inside = true; }
  ~Inside() { g_inside = false; }

 private:
  internal::Uncounted quiet_;
};

bool Watching() { return g_model.active && !g_inside; }

void Note(NameChange::Kind kind, const char* path, const char* other = "") {
  NameChange c;
  c.kind = kind;
  c.path = Normal(path);
  c.dir = Parent(c.path);
  c.other = other[0] ? Normal(other) : std::string();
  c.other_dir = kind == NameChange::kRenamed ? Parent(c.other) : c.dir;
  if (g_model.names_kept) c.dir_flushed = c.other_flushed = true;
  g_model.changes.push_back(std::move(c));
}

std::string ReadAll(FileHandle file) {
  const std::int64_t size = FileSize(file);
  std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::uint32_t n = static_cast<std::uint32_t>(
        bytes.size() - done < (1u << 24) ? bytes.size() - done : (1u << 24));
    const std::int64_t got = internal::FileReadAtUnnoted(file, done, &bytes[done], n);
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);
  return bytes;
}

void RemoveTree(const std::string& path) {
  FindData found;
  if (FindHandle search = FindFirst((path + "/*").c_str(), &found)) {
    std::vector<std::pair<std::string, bool>> items;
    do {
      if (std::strcmp(found.name, ".") && std::strcmp(found.name, ".."))
        items.push_back({path + "/" + found.name, found.is_directory});
    } while (FindNext(search, &found));
    FindClose(search);
    for (const auto& item : items) {
      if (item.second)
        RemoveTree(item.first);
      else
        internal::RemoveFileUnnoted(item.first.c_str());
    }
  }
  internal::RemoveEmptyDirectoryUnnoted(path.c_str());
}

// Puts back the file data a cut loses.
void LoseData(const DirtyFile& f) {
  const FileHandle file = internal::FileOpenUnnoted(f.path.c_str(), kFileRead | kFileWrite);
  if (file == kInvalidFile) return;
  std::string bytes = f.durable;
  const std::string now = ReadAll(file);
  if (g_model.data == LostData::kZeroed && now.size() > bytes.size()) {
    bytes.resize(now.size(), '\0');
  } else if (g_model.data == LostData::kTorn && now.size() > bytes.size()) {
    // The new size, and the new bytes up to the sector boundary nearest
    // halfway; the sectors after it never written.
    constexpr std::size_t kSector = 512;
    std::size_t kept = (bytes.size() + (now.size() - bytes.size()) / 2) / kSector * kSector;
    if (kept < bytes.size()) kept = bytes.size();
    bytes = now.substr(0, kept);
    bytes.resize(now.size(), '\0');
  }
  internal::FileTruncateUnnoted(file, 0);
  if (!bytes.empty())
    internal::FileWriteAtUnnoted(file, 0, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  FileClose(file);
}

void TakeBack(const NameChange& c) {
  switch (c.kind) {
    case NameChange::kCreatedFile:
      internal::RemoveFileUnnoted(c.path.c_str());
      break;
    case NameChange::kRemovedFile:
      internal::RenameFileUnnoted(c.other.c_str(), c.path.c_str());
      break;
    case NameChange::kRenamed:
      internal::RenameFileUnnoted(c.other.c_str(), c.path.c_str());
      break;
    case NameChange::kMadeDirectory:
      RemoveTree(c.path);
      break;
    case NameChange::kRemovedDirectory:
      internal::MakeDirectoryUnnoted(c.path.c_str());
      break;
  }
}

void Rename(const std::string& was, const std::string& now) {
  for (auto& n : g_model.names)
    if (n.second == was) n.second = now;
  for (auto& d : g_model.dirty)
    if (d.second.path == was) d.second.path = now;
}

void NoteRename(const char* from, const char* to) {
  Note(NameChange::kRenamed, from, to);
  Rename(Normal(from), Normal(to));
}

// Deletes `path` by moving it into the holding folder. Refused as the
// system would refuse it: a directory, or a read-only file where that is
// simulated.
bool Hold(const char* path) {
  if (GetPathKind(path) == PathKind::kDirectory && !IsLink(path)) return false;
  if (ReadOnlyDeletesSimulated() && IsReadOnly(path)) return false;
  const std::string held = g_model.held_dir + "/" + std::to_string(++g_model.held_count);
  if (!internal::RenameFileUnnoted(path, held.c_str())) return false;
  Note(NameChange::kRemovedFile, path, held.c_str());
  Rename(Normal(path), held);
  return true;
}

// The bytes of a file that opening with "create or empty" is about to cut.
std::string g_emptied;
bool g_emptying = false;

void CountFlush() {
  ++g_model.flushes;
  if (g_model.cut_at > 0 && g_model.flushes == g_model.cut_at) PowerCutNow();
}

}  // namespace

void StartPowerCutModel(const char* held_dir, LostData data, bool names_kept) {
  g_model = Model();
  g_model.active = true;
  g_model.names_kept = names_kept;
  g_model.data = data;
  g_model.held_dir = Normal(held_dir);
}

void ArmPowerCut(long k) { g_model.cut_at = k > 0 ? g_model.flushes + k : 0; }

long FlushesSeen() { return g_model.flushes; }

void PowerCutNow() {
  {
    Inside inside;
    const bool simulated = ReadOnlyDeletesSimulated();
    SimulateReadOnlyDeletes(false);
    for (const auto& f : g_model.dirty) LoseData(f.second);
    for (auto c = g_model.changes.rbegin(); c != g_model.changes.rend(); ++c)
      if (!c->Durable()) TakeBack(*c);
    SimulateReadOnlyDeletes(simulated);
    g_model.active = false;
  }
  KillThisProcess();
  for (;;) {
  }
}

namespace internal {

bool PowerCutActive() { return Watching(); }

void BeforeOpen(const char* path, unsigned mode, bool* existed) {
  *existed = true;
  if (!Watching() || !(mode & (kFileCreate | kFileNew))) return;
  Inside inside;
  *existed = IsLink(path) || GetPathKind(path) != PathKind::kNone;
  g_emptying = false;
  if (*existed && (mode & kFileCreate) && (mode & kFileNew)) {
    const FileHandle file = internal::FileOpenUnnoted(path, kFileRead);
    if (file == kInvalidFile) return;
    g_emptied = ReadAll(file);
    g_emptying = true;
    FileClose(file);
  }
}

void AfterOpen(const char* path, FileHandle file, bool existed) {
  if (!Watching() || file == kInvalidFile) return;
  Inside inside;
  FileIdentity id;
  if (!GetFileIdentity(file, &id)) return;
  const Key key{id.volume, id.index};
  g_model.handles[file] = key;
  g_model.names[key] = Normal(path);
  if (!existed) {
    Note(NameChange::kCreatedFile, path);
    // A new file has nothing durable but its emptiness.
    g_model.dirty.emplace(key, DirtyFile{Normal(path), std::string()});
  } else if (g_emptying) {
    g_model.dirty.emplace(key, DirtyFile{Normal(path), g_emptied});
  }
  g_emptying = false;
}

void BeforeWrite(FileHandle file) {
  if (!Watching()) return;
  const auto h = g_model.handles.find(file);
  if (h == g_model.handles.end() || g_model.dirty.count(h->second)) return;
  Inside inside;
  g_model.dirty.emplace(h->second, DirtyFile{g_model.names[h->second], ReadAll(file)});
}

void BeforeFlush(FileHandle) {
  if (Watching()) CountFlush();
}

void AfterFlush(FileHandle file) {
  if (!Watching()) return;
  const auto h = g_model.handles.find(file);
  if (h != g_model.handles.end()) g_model.dirty.erase(h->second);
}

void BeforeDirectoryFlush() {
  if (Watching()) CountFlush();
}

void AfterDirectoryFlush(const char* path) {
  if (!Watching()) return;
  const std::string dir = Normal(path);
  for (NameChange& c : g_model.changes) {
    if (c.dir == dir) c.dir_flushed = true;
    if (c.other_dir == dir) c.other_flushed = true;
  }
}

void AfterFileSystemFlush() {
  if (!Watching()) return;
  g_model.dirty.clear();
  for (NameChange& c : g_model.changes) c.dir_flushed = c.other_flushed = true;
}

bool RemoveInstead(const char* path, bool* ok) {
  if (!Watching()) return false;
  Inside inside;
  *ok = Hold(path);
  return true;
}

bool ReplaceInstead(const char* from, const char* to, bool* ok) {
  if (!Watching()) return false;
  Inside inside;
  const bool there = IsLink(to) || GetPathKind(to) != PathKind::kNone;
  *ok = (!there || Hold(to)) && RenameFileUnnoted(from, to);
  if (*ok) NoteRename(from, to);
  return true;
}

void AfterRename(const char* from, const char* to) {
  if (Watching()) NoteRename(from, to);
}

void AfterMakeDirectory(const char* path) {
  if (Watching()) Note(NameChange::kMadeDirectory, path);
}

void AfterMakeTempFile(const char* path) {
  if (Watching()) Note(NameChange::kCreatedFile, path);
}

void AfterRemoveDirectory(const char* path) {
  if (Watching()) Note(NameChange::kRemovedDirectory, path);
}

}  // namespace internal
}  // namespace platform
