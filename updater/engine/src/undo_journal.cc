#include "engine/undo_journal.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "engine/file_steps.h"
#include "engine/path_resolve.h"
#include "engine/planned_files.h"
#include "foundation/ktext.h"
#include "platform/clock.h"
#include "platform/filesystem.h"

namespace updater {
namespace {

// One passing failure must not leave a change half undone: every step is
// tried twice.
template <class Step>
bool Twice(Step step) {
  return step() || step();
}

// What a name is. A failing query can only answer "nothing" (never a
// thing that is not there), so a "nothing" is asked twice before it counts.
bool Exists(const char* path) {
  return Twice([path] {
    return platform::IsLink(path) ||
           platform::GetPathKind(path) != platform::PathKind::kNone;
  });
}

bool IsDirectory(const char* path) {
  return Twice([path] {
    return platform::GetPathKind(path) == platform::PathKind::kDirectory;
  }) && !platform::IsLink(path);
}

std::string SlotPath(const std::string& folder, std::uint32_t slot) {
  return folder + "/" + std::to_string(slot);
}

// The journal folder of `game_dir`. The journal's own names are made
// whole, never cut; a system that cannot take one as long fails to make it.
std::string FolderPath(const char* game_dir) {
  std::string folder = game_dir;
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
  return folder + kJournalFolderName;
}

// Walking the records newest first, a kCancelled record is met before the
// creation it cancels: true (and `path` taken off `cancelled`) when one
// named `path`, so the creation made nothing.
bool TakeCancelled(std::vector<std::string>* cancelled, const std::string& path) {
  for (auto c = cancelled->begin(); c != cancelled->end(); ++c) {
    if (*c != path) continue;
    cancelled->erase(c);
    return true;
  }
  return false;
}

void Note(JournalReport* report, JournalReport::Step step, const std::string& path) {
  if (report) report->entries.push_back({step, path});
}

// The directory a path's name is in.
std::string ParentOf(const std::string& path) {
  const std::size_t at = path.find_last_of("/\\");
  if (at == std::string::npos) return ".";
  return at == 0 ? path.substr(0, 1) : path.substr(0, at);
}

// The identity a name has now; false (`*known` false) when the lookup
// failed, true with `*known` false when nothing has the name.
bool IdentityOf(const std::string& path, platform::FileIdentity* out, bool* known) {
  platform::IdentityLookup found = platform::IdentityLookup::kFailed;
  Twice([&] {
    found = platform::GetPathIdentity(path.c_str(), false, out);
    return found != platform::IdentityLookup::kFailed;
  });
  *known = found == platform::IdentityLookup::kFound;
  return found != platform::IdentityLookup::kFailed;
}

// Records written before identities were kept carry none.
bool HasIdentity(const platform::FileIdentity& id) { return id.volume || id.index; }

}  // namespace

UndoJournal::~UndoJournal() { Close(); }

bool UndoJournal::Create(const char* game_dir) {
  Close();
  folder_ = FolderPath(game_dir);
  record_path_ = folder_ + "/" + kJournalFileName;
  if (!platform::MakeDirectory(folder_.c_str())) return false;
  file_ = platform::FileOpen(record_path_.c_str(),
                             platform::kFileRead | platform::kFileWrite |
                                 platform::kFileCreate | platform::kFileNew);
  // The journal's own names are durable before any change relies on it:
  // a record flushed into a file whose name a power cut takes back would
  // protect nothing.
  if (file_ != platform::kInvalidFile && platform::FileTryLock(file_) &&
      platform::FileWriteAt(file_, 0, kJournalMagic, kJournalMagicSize) ==
          static_cast<std::int64_t>(kJournalMagicSize) &&
      Twice([this] { return platform::FileFlush(file_); }) &&
      Twice([this] { return platform::FlushDirectory(folder_.c_str()); }) &&
      Twice([this] { return platform::FlushDirectory(ParentOf(folder_).c_str()); }) &&
      platform::GetPathIdentity(folder_.c_str(), false, &folder_id_) ==
          platform::IdentityLookup::kFound) {
    end_ = kJournalMagicSize;
    next_slot_ = 1;
    records_.clear();
    pending_.clear();
    pending_records_ = 0;
    committed_ = false;
    return true;
  }
  // Nothing of a journal that never began may stay.
  if (file_ != platform::kInvalidFile) platform::FileClose(file_);
  file_ = platform::kInvalidFile;
  Twice([this] {
    return !Exists(record_path_.c_str()) ||
           platform::RemoveFile(record_path_.c_str());
  });
  Twice([this] { return platform::RemoveEmptyDirectory(folder_.c_str()); });
  return false;
}

UndoJournal::OpenResult UndoJournal::OpenExisting(const char* game_dir) {
  Close();
  folder_ = FolderPath(game_dir);
  record_path_ = folder_ + "/" + kJournalFileName;
  pending_.clear();
  pending_records_ = 0;
  if (!IsDirectory(folder_.c_str())) return OpenResult::kNone;
  if (!Exists(record_path_.c_str())) {
    // A journal killed as it was made or removed: an empty folder goes.
    if (Twice([this] { return platform::RemoveEmptyDirectory(folder_.c_str()); }))
      return OpenResult::kNone;
    return OpenResult::kDamaged;
  }
  file_ = platform::FileOpen(record_path_.c_str(),
                             platform::kFileRead | platform::kFileWrite);
  if (file_ == platform::kInvalidFile) return OpenResult::kDamaged;
  if (!platform::FileTryLock(file_)) {
    Close();
    return OpenResult::kInUse;
  }
  const std::int64_t size = platform::FileSize(file_);
  std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
  if (size < 0 || size > 0xFFFFFFFFll ||
      (size > 0 && platform::FileReadAt(file_, 0, &bytes[0],
                                        static_cast<std::uint32_t>(size)) != size) ||
      DecodeJournal(bytes, &records_) != JournalReadResult::kWhole ||
      platform::GetPathIdentity(folder_.c_str(), false, &folder_id_) !=
          platform::IdentityLookup::kFound) {
    Close();
    return OpenResult::kDamaged;
  }
  end_ = static_cast<std::uint64_t>(size);
  next_slot_ = 1;
  for (const JournalRecord& r : records_)
    if (r.kind == JournalKind::kMoved && r.slot >= next_slot_) next_slot_ = r.slot + 1;
  committed_ = CommittedOnDisk();
  return OpenResult::kOpened;
}

void UndoJournal::Append(const JournalRecord& record) {
  pending_ += EncodeJournalRecord(record);
  records_.push_back(record);
  ++pending_records_;
}

bool UndoJournal::Sync() {
  if (file_ == platform::kInvalidFile) return false;
  if (pending_.empty()) return true;
  const std::string bytes = std::move(pending_);
  pending_.clear();
  const std::size_t count = pending_records_;
  pending_records_ = 0;
  // The group reaches the disk before any change it protects begins.
  const bool written =
      Twice([&] {
        return platform::FileWriteAt(file_, end_, bytes.data(),
                                     static_cast<std::uint32_t>(bytes.size())) ==
               static_cast<std::int64_t>(bytes.size());
      }) &&
      Twice([this] { return platform::FileFlush(file_); });
  if (!written) {
    // Records that may not be on the disk protect nothing: the changes
    // they announce are not made. Any part of them that stays stands for
    // changes that never began, which undo tells by what it finds.
    Twice([this] { return platform::FileTruncate(file_, end_); });
    records_.resize(records_.size() - count);
    return false;
  }
  end_ += bytes.size();
  return true;
}

void UndoJournal::Expect(std::vector<ExpectedChange> changes) {
  expected_ = std::move(changes);
  next_expected_ = 0;
  announced_.clear();
}

bool UndoJournal::AppendChange(const std::string& path, ExpectedChange::Kind kind,
                               Announced* out) {
  out->kind = kind;
  out->slot = 0;
  out->identity = platform::FileIdentity();
  if (kind != ExpectedChange::Kind::kCreate) {
    JournalRecord r;
    r.kind = JournalKind::kMoved;
    r.path = path;
    // The file's identity tells, on any later undo, the original from what
    // the run made under its name, whatever an earlier undo already did.
    bool known = false;
    if (!IdentityOf(r.path, &r.identity, &known) || !known) return false;
    r.slot = next_slot_++;
    out->slot = r.slot;
    out->identity = r.identity;
    Append(r);
  }
  if (kind != ExpectedChange::Kind::kDelete) {
    JournalRecord c;
    c.kind = JournalKind::kCreatedFile;
    c.path = path;
    Append(c);
  }
  return true;
}

bool UndoJournal::TakeAnnounced(const char* path, ExpectedChange::Kind kind,
                                std::uint32_t* slot) {
  const auto it = announced_.find(path);
  if (it == announced_.end()) return false;
  const Announced a = it->second;
  announced_.erase(it);
  // The disk must be as it was when the records were written: the same
  // file under the name, or nothing where a file is to be created.
  platform::FileIdentity now;
  bool known = false;
  bool holds = a.kind == kind && IdentityOf(path, &now, &known);
  if (holds && kind == ExpectedChange::Kind::kCreate) holds = !known && !platform::IsLink(path);
  if (holds && kind != ExpectedChange::Kind::kCreate) holds = known && now == a.identity;
  if (holds) {
    *slot = a.slot;
    return true;
  }
  // A move recorded ahead that never happened finds its slot empty; a
  // creation is cancelled, before the records that replace it.
  if (a.kind != ExpectedChange::Kind::kDelete) AppendCancel(path);
  return false;
}

std::vector<std::pair<std::string, UndoJournal::Announced>> UndoJournal::AnnounceAhead(
    const char* path, ExpectedChange::Kind kind) {
  std::vector<std::pair<std::string, Announced>> ahead;
  if (next_expected_ >= expected_.size() || expected_[next_expected_].path != path)
    return ahead;
  const ExpectedChange head = expected_[next_expected_++];
  // A file the plan saw missing that is there now (or the other way) is
  // no batch's head: the next request starts again.
  if (kind != head.kind) return ahead;
  // Each change recorded ahead must find the disk as it is now when its
  // command runs: only the batch's own commands run until then, so no two
  // may name the same file (compared as Windows would, the stricter way),
  // and none may make a directory (its removal on undo must come after
  // the files in it, which records written earlier would not allow).
  constexpr std::size_t kAheadLimit = 256;
  std::set<std::string> keys = {PathKey(path, true)};
  while (next_expected_ < expected_.size() && ahead.size() < kAheadLimit) {
    const ExpectedChange& e = expected_[next_expected_];
    if (e.batch != head.batch || !keys.insert(PathKey(e.path.c_str(), true)).second ||
        !IsDirectory(ParentOf(e.path).c_str()) ||
        (e.kind == ExpectedChange::Kind::kCreate) == Exists(e.path.c_str()))
      break;
    Announced a;
    if (!AppendChange(e.path, e.kind, &a)) break;
    ahead.emplace_back(e.path, a);
    ++next_expected_;
  }
  return ahead;
}

bool UndoJournal::SyncWith(std::vector<std::pair<std::string, Announced>> ahead) {
  if (!Sync()) return false;
  for (auto& a : ahead) announced_[std::move(a.first)] = a.second;
  return true;
}

bool UndoJournal::Move(const char* path, bool then_create) {
  const ExpectedChange::Kind kind =
      then_create ? ExpectedChange::Kind::kOverwrite : ExpectedChange::Kind::kDelete;
  std::uint32_t slot = 0;
  if (!TakeAnnounced(path, kind, &slot)) {
    Announced own;
    if (!AppendChange(path, kind, &own)) return false;
    if (!SyncWith(AnnounceAhead(path, kind))) return false;
    slot = own.slot;
  }
  return RenameLooseFile(path, SlotPath(folder_, slot).c_str());
}

bool UndoJournal::MoveAside(const char* path) { return Move(path, false); }

bool UndoJournal::ReplaceWithNew(const char* path) { return Move(path, true); }

bool UndoJournal::WillCreateFile(const char* path) {
  std::uint32_t unused;
  if (TakeAnnounced(path, ExpectedChange::Kind::kCreate, &unused)) return true;
  Announced own;
  AppendChange(path, ExpectedChange::Kind::kCreate, &own);
  return SyncWith(AnnounceAhead(path, ExpectedChange::Kind::kCreate));
}

bool UndoJournal::WillCreateDirectory(const char* path) {
  JournalRecord r;
  r.kind = JournalKind::kCreatedDirectory;
  r.path = path;
  Append(r);
  return Sync();
}

bool UndoJournal::CreateTemporary(const char* dir, char* out) {
  out[0] = '\0';
  // Names like the system's temporary names, from a start that differs
  // from run to run; each is recorded before it is made, so that undo and
  // removal take it whatever ends the run.
  if (!temp_seed_)
    temp_seed_ = static_cast<unsigned>(platform::MonotonicMillis() * 2654435761u) | 1;
  for (int tries = 0; tries < 64; ++tries) {
    const unsigned n = temp_seed_++;
    char name[16];
    std::snprintf(name, sizeof name, "qx%X.tmp", (n & 0xFFFF) ? (n & 0xFFFF) : 1);
    if (!JoinPath(dir, name, out)) return false;
    if (Exists(out)) continue;
    JournalRecord r;
    r.kind = JournalKind::kTemporary;
    r.path = out;
    Append(r);
    if (!Sync()) break;
    const platform::FileHandle made = platform::FileOpen(
        out, platform::kFileRead | platform::kFileWrite | platform::kFileNew);
    if (made != platform::kInvalidFile) {
      platform::FileClose(made);
      return true;
    }
    if (!Exists(out) || !NotCreated(out)) break;
  }
  out[0] = '\0';
  return false;
}

void UndoJournal::AppendCancel(const std::string& path) {
  JournalRecord r;
  r.kind = JournalKind::kCancelled;
  r.path = path;
  Append(r);
}

bool UndoJournal::NotCreated(const char* path) {
  AppendCancel(path);
  return Sync();
}

bool UndoJournal::WillRename(const char* from, const char* to) {
  JournalRecord r;
  r.kind = JournalKind::kRenamed;
  r.path = from;
  r.other = to;
  Append(r);
  return Sync();
}

std::vector<std::string> UndoJournal::ChangedDirectories() const {
  std::vector<std::string> dirs = {folder_};
  auto add = [&dirs](const std::string& dir) {
    for (const std::string& d : dirs)
      if (d == dir) return;
    dirs.push_back(dir);
  };
  for (const JournalRecord& r : records_) {
    if (r.kind == JournalKind::kCommit) continue;
    add(ParentOf(r.path));
    if (r.kind == JournalKind::kRenamed) add(ParentOf(r.other));
  }
  return dirs;
}

bool UndoJournal::FlushDirectories(const std::vector<std::string>& dirs) {
  bool ok = true;
  for (const std::string& dir : dirs) {
    // A directory the run made and removed again is no longer there.
    if (!IsDirectory(dir.c_str())) continue;
    if (!Twice([&dir] { return platform::FlushDirectory(dir.c_str()); })) ok = false;
  }
  return ok;
}

bool UndoJournal::FlushCreatedFiles() {
  std::vector<std::string> cancelled;
  for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
    if (it->kind == JournalKind::kCancelled) {
      cancelled.push_back(it->path);
      continue;
    }
    if (it->kind != JournalKind::kCreatedFile || TakeCancelled(&cancelled, it->path) ||
        platform::IsLink(it->path.c_str()) ||
        platform::GetPathKind(it->path.c_str()) != platform::PathKind::kFile)
      continue;
    const platform::FileHandle file = platform::FileOpen(
        it->path.c_str(), platform::kFileRead | platform::kFileWrite);
    const bool flushed = file != platform::kInvalidFile &&
                         Twice([file] { return platform::FileFlush(file); });
    if (file != platform::kInvalidFile) platform::FileClose(file);
    if (!flushed) return false;
  }
  return true;
}

bool UndoJournal::FlushWritten() {
  // Many files go with one flush of the whole volume, where the system
  // has one; a few are cheaper flushed one by one.
  constexpr int kOneByOne = 8;
  int created = 0;
  for (const JournalRecord& r : records_)
    if (r.kind == JournalKind::kCreatedFile) ++created;
  if (created > kOneByOne && platform::FlushFileSystem(folder_.c_str())) return true;
  return FlushCreatedFiles() && FlushDirectories(ChangedDirectories());
}

bool UndoJournal::WillCommit(const char* archive, const platform::FileIdentity& fresh) {
  // Everything the run made is on the disk (the new files' bytes, every
  // name it changed) before the record that makes it final: after that
  // record, a power cut leaves the update, never a part of it.
  if (!FlushWritten()) return false;
  JournalRecord r;
  r.kind = JournalKind::kCommit;
  r.path = archive;
  r.identity = fresh;
  Append(r);
  return Sync();
}

bool UndoJournal::CommittedOnDisk() const {
  for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
    if (it->kind != JournalKind::kCommit) continue;
    platform::FileIdentity now;
    bool known = false;
    return IdentityOf(it->path, &now, &known) && known && now == it->identity;
  }
  return false;
}

bool UndoJournal::IsOriginal(const std::string& path, const platform::FileIdentity& id,
                             std::size_t before) const {
  for (std::size_t i = 0; i < before && i < records_.size(); ++i) {
    const JournalRecord& r = records_[i];
    if (r.kind == JournalKind::kMoved && HasIdentity(r.identity) && r.path == path &&
        r.identity == id)
      return true;
  }
  return false;
}

bool UndoJournal::RemoveMade(const std::string& path, std::size_t at, bool* removed) {
  if (removed) *removed = false;
  // What the run made under a name that had an original may be that
  // original again, put back by an earlier undo that did not finish: it
  // stays.
  platform::FileIdentity now;
  bool known = false;
  if (!IdentityOf(path, &now, &known)) return false;
  if (!known || IsOriginal(path, now, at)) return true;
  if (!Retried([&path] { return platform::RemoveFile(path.c_str()); })) return false;
  if (removed) *removed = true;
  return true;
}

bool UndoJournal::PutBack(const JournalRecord& r, JournalReport* report) {
  const std::string slot = SlotPath(folder_, r.slot);
  platform::FileIdentity held, at_path;
  bool slot_known = false, path_known = false;
  if (!IdentityOf(slot, &held, &slot_known)) return false;
  if (!slot_known) return true;  // never moved, or put back already
  if (HasIdentity(r.identity) && held != r.identity) return false;  // not ours
  if (!IdentityOf(r.path, &at_path, &path_known)) return false;
  if (path_known && at_path == held) {
    // Both names reach the original (a move cut between its link and its
    // unlink): the slot's name goes.
    if (!Retried([&slot] { return platform::RemoveFile(slot.c_str()); })) return false;
    Note(report, JournalReport::Step::kPutBack, r.path);
    return true;
  }
  // Whatever took the name since was made by the run.
  if (path_known && (!IsFileOrLink(r.path.c_str()) ||
                     !Retried([&r] { return platform::RemoveFile(r.path.c_str()); })))
    return false;
  if (!RenameLooseFile(slot.c_str(), r.path.c_str())) return false;
  Note(report, JournalReport::Step::kPutBack, r.path);
  return true;
}

bool UndoJournal::Undo(JournalReport* report) {
  if (file_ == platform::kInvalidFile) return false;
  // Creations recorded ahead whose commands never ran made nothing: a file
  // another program put under such a name meanwhile is not the run's. (A
  // journal found after a kill cannot tell; it has no such list.)
  for (const auto& a : announced_)
    if (a.second.kind != ExpectedChange::Kind::kDelete) AppendCancel(a.first);
  announced_.clear();
  Sync();  // on failure they are dropped, as if the run had been killed
  // Every step looks at what is there before it acts, so that undo can be
  // cut off anywhere (a kill, a power cut, one step that fails) and run
  // again from the start: no pass deletes what an earlier one put back.
  bool ok = true;
  std::vector<std::string> cancelled;  // creations that made nothing
  for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
    const JournalRecord& r = *it;
    const std::size_t at = static_cast<std::size_t>(records_.rend() - it) - 1;
    const char* path = r.path.c_str();
    if ((r.kind == JournalKind::kCreatedFile ||
         r.kind == JournalKind::kCreatedDirectory ||
         r.kind == JournalKind::kTemporary) &&
        TakeCancelled(&cancelled, r.path))
      continue;
    switch (r.kind) {
      case JournalKind::kCancelled:
        cancelled.push_back(r.path);
        break;
      case JournalKind::kMoved:
        if (!PutBack(r, report)) ok = false;
        break;
      case JournalKind::kTemporary:
        if (!IsFileOrLink(path)) break;
        if (!RemoveMade(r.path, at, nullptr)) ok = false;
        break;
      case JournalKind::kCreatedFile: {
        if (!IsFileOrLink(path)) break;  // never made
        bool removed = false;
        if (RemoveMade(r.path, at, &removed)) {
          if (removed) Note(report, JournalReport::Step::kRemovedFile, r.path);
        } else {
          ok = false;
        }
        break;
      }
      case JournalKind::kCreatedDirectory:
        if (!IsDirectory(path)) break;  // never made
        if (Twice([&] { return platform::RemoveEmptyDirectory(path); })) {
          Note(report, JournalReport::Step::kRemovedDirectory, r.path);
        } else {
          ok = false;
        }
        break;
      case JournalKind::kRenamed: {
        const char* to = r.other.c_str();
        platform::FileIdentity from_id, to_id;
        bool from_known = false, to_known = false;
        if (!IdentityOf(r.path, &from_id, &from_known) ||
            !IdentityOf(r.other, &to_id, &to_known)) {
          ok = false;
        } else if (to_known && !from_known) {
          if (RenameLooseFile(to, path)) {
            Note(report, JournalReport::Step::kPutBack, r.path);
          } else {
            ok = false;
          }
        } else if (to_known && from_id == to_id) {
          // A rename cut between its link and its unlink: the new name goes.
          if (!Retried([to] { return platform::RemoveFile(to); })) ok = false;
        }
        break;
      }
      case JournalKind::kCommit:
        break;
    }
  }
  // What was put back is on the disk before the journal that knows how
  // goes.
  if (!ok || !FlushDirectories(ChangedDirectories())) {
    Close();
    return false;
  }
  return RemoveFolder(false);
}

bool UndoJournal::Discard(JournalReport* report) {
  if (file_ == platform::kInvalidFile) return false;
  // The commit's rename is on the disk before any old copy goes.
  const std::vector<std::string> dirs = ChangedDirectories();
  if (!FlushDirectories(dirs)) {
    Close();
    return false;
  }
  bool ok = true;
  // The run's temporary files (a name it found taken is not one of them).
  std::vector<std::string> cancelled;
  for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
    if (it->kind == JournalKind::kCancelled) {
      cancelled.push_back(it->path);
    } else if (it->kind == JournalKind::kTemporary) {
      if (!TakeCancelled(&cancelled, it->path) && IsFileOrLink(it->path.c_str()) &&
          !DeleteLooseFile(it->path.c_str()))
        ok = false;
    }
  }
  // The swap's backup of the old archive.
  for (const JournalRecord& r : records_) {
    if (r.kind != JournalKind::kRenamed || !IsFileOrLink(r.other.c_str())) continue;
    if (DeleteLooseFile(r.other.c_str())) {
      Note(report, JournalReport::Step::kRemovedFile, r.other);
    } else {
      ok = false;
    }
  }
  if (!ok) {
    Close();
    return false;
  }
  return RemoveFolder(true);
}

bool UndoJournal::RemoveFolder(bool drop_slots) {
  // The old files the journal holds (after a commit), then the record
  // file, which goes last: a journal cut off while it is removed is still
  // one the next run recognises. Nothing else in the folder is deleted:
  // a file there that no record names is not the journal's to lose.
  bool ok = true;
  for (const JournalRecord& r : records_) {
    if (r.kind != JournalKind::kMoved) continue;
    const std::string slot = SlotPath(folder_, r.slot);
    if (!IsFileOrLink(slot.c_str())) continue;
    if (!drop_slots || !DeleteLooseFile(slot.c_str())) ok = false;
  }
  // The slots are gone on the disk before the records that name them.
  if (ok) ok = Twice([this] { return platform::FlushDirectory(folder_.c_str()); });
  if (ok) ok = Twice([this] { return OnlyRecordFileLeft(); });
  platform::FileHandle file = file_;
  file_ = platform::kInvalidFile;
  platform::FileClose(file);
  if (!ok) return false;
  return Twice([this] {
           return !Exists(record_path_.c_str()) ||
                  platform::RemoveFile(record_path_.c_str());
         }) &&
         Twice([this] { return platform::RemoveEmptyDirectory(folder_.c_str()); });
}

bool UndoJournal::OnlyRecordFileLeft() const {
  platform::FindData found;
  platform::FindHandle search = platform::FindFirst((folder_ + "/*").c_str(), &found);
  if (!search) return false;  // "." at least is always there
  bool alone = true;
  do {
    if (std::strcmp(found.name, ".") && std::strcmp(found.name, "..") &&
        std::strcmp(found.name, kJournalFileName))
      alone = false;
  } while (alone && platform::FindNext(search, &found));
  platform::FindClose(search);
  return alone;
}

void UndoJournal::Close() {
  if (file_ != platform::kInvalidFile) platform::FileClose(file_);
  file_ = platform::kInvalidFile;
}

bool IsFileOrLink(const char* path) {
  return Twice([path] {
    return platform::IsLink(path) ||
           platform::GetPathKind(path) == platform::PathKind::kFile;
  });
}

bool JournalExists(const char* game_dir) {
  return IsDirectory(FolderPath(game_dir).c_str());
}

}  // namespace updater
