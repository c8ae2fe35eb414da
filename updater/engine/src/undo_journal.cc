#include "engine/undo_journal.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/path_resolve.h"
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
  if (file_ != platform::kInvalidFile && platform::FileTryLock(file_) &&
      platform::FileWriteAt(file_, 0, kJournalMagic, kJournalMagicSize) ==
          static_cast<std::int64_t>(kJournalMagicSize) &&
      platform::GetPathIdentity(folder_.c_str(), false, &folder_id_) ==
          platform::IdentityLookup::kFound) {
    end_ = kJournalMagicSize;
    next_slot_ = 1;
    records_.clear();
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

bool UndoJournal::Append(const JournalRecord& record) {
  if (file_ == platform::kInvalidFile) return false;
  const std::string bytes = EncodeJournalRecord(record);
  const bool written = Twice([&] {
    return platform::FileWriteAt(file_, end_, bytes.data(),
                                 static_cast<std::uint32_t>(bytes.size())) ==
           static_cast<std::int64_t>(bytes.size());
  });
  if (!written) {
    // A record cut short at the end stands for nothing; make sure no
    // part of it stays in front of the next one.
    Twice([this] { return platform::FileTruncate(file_, end_); });
    return false;
  }
  end_ += bytes.size();
  records_.push_back(record);
  return true;
}

bool UndoJournal::MoveAside(const char* path) {
  JournalRecord r;
  r.kind = JournalKind::kMoved;
  r.slot = next_slot_++;
  r.path = path;
  if (!Append(r)) return false;
  const std::string slot = SlotPath(folder_, r.slot);
  return Twice([&] { return platform::RenameFile(path, slot.c_str()); });
}

bool UndoJournal::WillCreateFile(const char* path) {
  JournalRecord r;
  r.kind = JournalKind::kCreatedFile;
  r.path = path;
  return Append(r);
}

bool UndoJournal::WillCreateDirectory(const char* path) {
  JournalRecord r;
  r.kind = JournalKind::kCreatedDirectory;
  r.path = path;
  return Append(r);
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
    if (!Append(r)) break;
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

bool UndoJournal::NotCreated(const char* path) {
  JournalRecord r;
  r.kind = JournalKind::kCancelled;
  r.path = path;
  return Append(r);
}

bool UndoJournal::WillRename(const char* from, const char* to) {
  JournalRecord r;
  r.kind = JournalKind::kRenamed;
  r.path = from;
  r.other = to;
  return Append(r);
}

bool UndoJournal::WillCommit(const char* archive, const platform::FileIdentity& fresh) {
  JournalRecord r;
  r.kind = JournalKind::kCommit;
  r.path = archive;
  r.identity = fresh;
  return Append(r);
}

bool UndoJournal::CommittedOnDisk() const {
  for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
    if (it->kind != JournalKind::kCommit) continue;
    platform::FileIdentity now;
    bool known = false;
    Twice([&] {
      const platform::IdentityLookup found =
          platform::GetPathIdentity(it->path.c_str(), false, &now);
      known = found == platform::IdentityLookup::kFound;
      return found != platform::IdentityLookup::kFailed;
    });
    return known && now == it->identity;
  }
  return false;
}

bool UndoJournal::Undo(JournalReport* report) {
  if (file_ == platform::kInvalidFile) return false;
  bool ok = true;
  std::vector<std::string> cancelled;  // creations that made nothing
  for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
    const JournalRecord& r = *it;
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
      case JournalKind::kMoved: {
        const std::string slot = SlotPath(folder_, r.slot);
        if (!Exists(slot.c_str())) break;  // the move never happened
        // Whatever took the name since was made by the run.
        const bool put_back =
            (!IsFileOrLink(path) || Twice([&] { return platform::RemoveFile(path); })) &&
            Twice([&] { return platform::RenameFile(slot.c_str(), path); });
        if (put_back) {
          Note(report, JournalReport::Step::kPutBack, r.path);
        } else {
          ok = false;
        }
        break;
      }
      case JournalKind::kTemporary:
        if (!IsFileOrLink(path)) break;
        if (!Twice([&] { return platform::RemoveFile(path); })) ok = false;
        break;
      case JournalKind::kCreatedFile:
        if (!IsFileOrLink(path)) break;  // never made
        if (Twice([&] { return platform::RemoveFile(path); })) {
          Note(report, JournalReport::Step::kRemovedFile, r.path);
        } else {
          ok = false;
        }
        break;
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
        if (Exists(to) && !Exists(path)) {
          if (Twice([&] { return platform::RenameFile(to, path); })) {
            Note(report, JournalReport::Step::kPutBack, r.path);
          } else {
            ok = false;
          }
        }
        break;
      }
      case JournalKind::kCommit:
        break;
    }
  }
  if (!ok) {
    Close();
    return false;
  }
  return RemoveFolder();
}

bool UndoJournal::Discard(JournalReport* report) {
  if (file_ == platform::kInvalidFile) return false;
  bool ok = true;
  // The run's temporary files (a name it found taken is not one of them).
  std::vector<std::string> cancelled;
  for (auto it = records_.rbegin(); it != records_.rend(); ++it) {
    if (it->kind == JournalKind::kCancelled) {
      cancelled.push_back(it->path);
    } else if (it->kind == JournalKind::kTemporary) {
      if (!TakeCancelled(&cancelled, it->path) && IsFileOrLink(it->path.c_str()) &&
          !Twice([&] { return platform::RemoveFile(it->path.c_str()); }))
        ok = false;
    }
  }
  // The swap's backup of the old archive, when the run that completed
  // did not get to delete it.
  for (const JournalRecord& r : records_) {
    if (r.kind != JournalKind::kRenamed || !IsFileOrLink(r.other.c_str())) continue;
    if (Twice([&] { return platform::RemoveFile(r.other.c_str()); })) {
      Note(report, JournalReport::Step::kRemovedFile, r.other);
    } else {
      ok = false;
    }
  }
  return RemoveFolder() && ok;
}

bool UndoJournal::RemoveFolder() {
  // Everything but the record file, which goes last: a journal killed
  // while it is removed is still a journal the next run recognises. A
  // listing that ends early (or a deletion that fails) leaves a name for
  // the next pass.
  // A listing that fails ends early and cannot tell: the folder counts as
  // emptied only after two passes in a row found nothing left.
  int quiet = 0;
  for (int pass = 0; pass < 8 && quiet < 2; ++pass) {
    platform::FindData found;
    platform::FindHandle search = platform::FindFirst((folder_ + "/*").c_str(), &found);
    if (!search) {
      quiet = 0;
      continue;
    }
    bool left = false;
    do {
      if (!std::strcmp(found.name, ".") || !std::strcmp(found.name, "..") ||
          !std::strcmp(found.name, kJournalFileName))
        continue;
      left = true;
      const std::string item = folder_ + "/" + found.name;
      if (found.is_directory)
        platform::RemoveEmptyDirectory(item.c_str());
      else
        platform::RemoveFile(item.c_str());
    } while (platform::FindNext(search, &found));
    platform::FindClose(search);
    quiet = left ? 0 : quiet + 1;
  }
  const bool emptied = quiet >= 2;
  platform::FileHandle file = file_;
  file_ = platform::kInvalidFile;
  platform::FileClose(file);
  if (!emptied) return false;
  return Twice([this] {
           return !Exists(record_path_.c_str()) ||
                  platform::RemoveFile(record_path_.c_str());
         }) &&
         Twice([this] { return platform::RemoveEmptyDirectory(folder_.c_str()); });
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
