#include "engine/command_check.h"

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "engine/delta_frames.h"
#include "engine/little_endian.h"
#include "engine/messages.h"
#include "engine/patch_format.h"
#include "engine/path_resolve.h"
#include "engine/planned_files.h"
#include "foundation/ktext.h"

namespace updater {
namespace {

// Reads the command stream forward through one buffer, so a record costs
// no system call of its own; content is skipped by moving on.
class Cursor {
 public:
  Cursor(zorl::KFile& file, std::int64_t at, std::int64_t end)
      : file_(file), at_(at), end_(end), buffer_(new unsigned char[kBlock]) {}

  bool AtEnd() const { return at_ >= end_; }
  std::int64_t Left() const { return end_ - at_; }
  // False when fewer than `n` bytes are left or they cannot be read.
  bool Read(void* out, std::uint32_t n) {
    if (static_cast<std::int64_t>(n) > Left()) return false;
    if (at_ < start_ || at_ + n > start_ + length_) {
      if (!Fill(n)) return false;
    }
    std::memcpy(out, buffer_.get() + (at_ - start_), n);
    at_ += n;
    return true;
  }
  bool ReadU32(std::uint32_t* value) {
    unsigned char b[4];
    if (!Read(b, 4)) return false;
    *value = LoadLe32(b);
    return true;
  }
  // Moves on by `n` bytes; the caller has checked that they are there.
  void Skip(std::uint32_t n) { at_ += n; }

 private:
  static constexpr std::uint32_t kBlock = 64 * 1024;
  // Enough for a record's head (opcode, name, size: at most 274 bytes).
  static constexpr std::uint32_t kHead = 4 * 1024;
  // After a skip past the buffer's end only the next record's head is
  // wanted: a large read there would copy mostly content that is skipped
  // again (a 1 GiB stream of 128 KiB files read 512 MiB to check). Reading
  // on through the buffer's end (small records) takes a whole block.
  bool Fill(std::uint32_t need) {
    const bool skipped = at_ > start_ + length_;
    std::int64_t want = skipped ? kHead : kBlock;
    if (want < need) want = need;
    if (want > Left()) want = Left();
    start_ = at_;
    length_ = 0;
    if (!file_.Seek(zorl::KSEEK_BEGIN, static_cast<std::int32_t>(at_)))
      return false;
    const std::int32_t got =
        file_.Read(static_cast<std::uint32_t>(want), buffer_.get());
    if (got < 0) return false;
    length_ = got;
    return static_cast<std::uint32_t>(got) >= need;
  }

  zorl::KFile& file_;
  std::int64_t at_, end_;
  std::int64_t start_ = 0, length_ = 0;  // what the buffer holds
  std::unique_ptr<unsigned char[]> buffer_;
};

class Checker {
 public:
  Checker(UpdateContext& c, LooseFiles& disk,
          const std::function<void(const PlannedCommand&)>& each)
      : c_(c), disk_(disk), files_(disk), each_(each) {}

  void Run() {
    const std::int32_t start = c_.payload.Tell();
    if (start < 0) c_.ui.Error(kMsgCannotRead);
    const std::int32_t size = c_.payload.GetSize();
    if (size < 0) c_.ui.Error(kMsgCannotRead);
    Cursor cursor(c_.payload, start, size);
    cursor_ = &cursor;
    while (!cursor.AtEnd()) {
      c_.pacer.Tick();
      std::uint32_t opcode;
      named_ = false;
      if (!cursor.ReadU32(&opcode)) c_.ui.Error(kMsgCannotRead);
      Record(opcode);
    }
    if (!c_.payload.Seek(zorl::KSEEK_BEGIN, start)) c_.ui.Error(kMsgCannotRead);
  }

 private:
  void ReadName() {
    std::uint32_t length;
    if (!cursor_->ReadU32(&length) || length > kMaxPatchNameLength ||
        (length > 0 && !cursor_->Read(name_, length)))
      c_.ui.Error(kMsgCannotRead);
    name_[length] = '\0';
    named_ = true;
  }
  // A record's fault once its name is read: the name line shows the
  // command, as it does for a failure while the command runs.
  template <class... Args>
  [[noreturn]] void Refuse(const char* message, Args... args) {
    if (named_) c_.ui.ShowName(name_);
    c_.ui.Error(message, args...);
  }
  // Resolves the name; a path that does not fit is the command's
  // failure `message` with the whole path, as in the run.
  void Resolve(const char* message) {
    if (!ResolvePath(c_.game_dir, name_, path_))
      Refuse(message, ResolvedPath(c_.game_dir, name_).c_str());
  }
  // A content size; the bytes must be in the payload.
  std::int64_t Content(bool is_signed) {
    std::uint32_t size;
    if (!cursor_->ReadU32(&size)) Refuse(kMsgCannotRead);
    const std::int64_t value =
        is_signed ? static_cast<std::int32_t>(size) : std::int64_t{size};
    if (value > 0) {
      if (value > cursor_->Left()) Refuse(kMsgCannotRead);
      cursor_->Skip(static_cast<std::uint32_t>(value));
    }
    return value;
  }
  void Plan(std::uint32_t opcode, PlannedAction action, std::int64_t size = 0,
            std::uint64_t files = 0, std::uint64_t delta = 0) {
    if (!each_) return;
    const bool loose = opcode <= kOpEmptyDirectoryTree || opcode == kOpPatchFile;
    each_(PlannedCommand{opcode, action, name_, loose ? path_ : "", size, files, delta});
  }
  // A delta's head and the framing of its frames (counts that fill its
  // byte count exactly), which are skipped. The frames' own bytes are for
  // the run to decode.
  DeltaHead Delta() {
    unsigned char bytes[kDeltaHeadSize];
    DeltaHead head;
    if (!cursor_->Read(bytes, kDeltaHeadSize) || !ParseDeltaHead(bytes, &head) ||
        head.delta_size > cursor_->Left())
      c_.ui.Error(kMsgCannotRead);
    std::uint32_t left = head.delta_size;
    for (std::uint32_t k = DeltaFrameCount(head.new_size); k > 0; --k) {
      std::uint32_t frame;
      if (left < 4 || !cursor_->ReadU32(&frame) || frame == 0 || frame > left - 4)
        c_.ui.Error(kMsgCannotRead);
      cursor_->Skip(frame);
      left -= 4 + frame;
    }
    if (left != 0) c_.ui.Error(kMsgCannotRead);
    return head;
  }
  // The manifest's record of the item must say it is, before the run,
  // exactly the delta's reference. No manifest: no delta is trusted.
  bool RecordedReference(const ManifestRecord* record, const DeltaHead& head) const {
    return record && record->before.kind == ItemState::Kind::kFile &&
           record->before.size == head.reference_size &&
           record->before.hash == head.reference_hash;
  }

  void Record(std::uint32_t opcode) {
    switch (opcode) {
      case kOpWriteFile: {
        ReadName();
        Resolve(kMsgCannotCreateFile);
        const std::int64_t size = Content(true);
        const bool untouched = files_.Untouched(path_);
        if (untouched && disk_.WriteReaches(path_))
          Refuse(kMsgCannotCreateFile, path_);
        const bool exists = files_.Kind(path_) == platform::PathKind::kFile;
        files_.WroteFile(path_);
        return Plan(opcode,
                    exists ? PlannedAction::kOverwriteFile
                           : PlannedAction::kCreateFile,
                    size);
      }
      case kOpDeleteFile: {
        ReadName();
        Resolve(kMsgCannotDelete);
        if (files_.Kind(path_) != platform::PathKind::kFile ||
            (files_.Untouched(path_) && disk_.DeleteReaches(path_)))
          Refuse(kMsgCannotDelete, path_);
        files_.DeletedFile(path_);
        return Plan(opcode, PlannedAction::kDeleteFile);
      }
      case kOpMakeDirectory: {
        ReadName();
        Resolve(kMsgCannotCreateDirectory);
        const bool exists =
            files_.Kind(path_) == platform::PathKind::kDirectory;
        files_.MadeDirectory(path_);
        return Plan(opcode, exists ? PlannedAction::kDirectoryExists
                                   : PlannedAction::kMakeDirectory);
      }
      case kOpEmptyDirectoryTree: {
        ReadName();
        Resolve(kMsgCannotDelete);
        return Plan(opcode, PlannedAction::kEmptyTree, 0, EmptyTree());
      }
      case kOpPutEntry: {
        ReadName();
        const std::int64_t size = Content(false);
        const bool exists = EntryExists();
        entries_[Key()] = true;
        return Plan(opcode,
                    exists ? PlannedAction::kReplaceEntry
                           : PlannedAction::kPutNewEntry,
                    size);
      }
      case kOpRemoveEntry: {
        ReadName();
        if (!EntryExists()) Refuse(kMsgCannotDelete, name_);
        entries_[Key()] = false;
        return Plan(opcode, PlannedAction::kRemoveEntry);
      }
      case kOpPatchFile: {
        ReadName();
        Resolve(kMsgCannotCreateFile);
        const DeltaHead head = Delta();
        // The reference is the file as it is now: never what an earlier
        // command of the stream made or removed.
        if (!files_.Untouched(path_) || files_.Kind(path_) != platform::PathKind::kFile ||
            disk_.WriteReaches(path_) ||
            !RecordedReference(c_.proof ? c_.proof->FindFile(name_) : nullptr, head))
          c_.ui.Error(kMsgCannotCreateFile, path_);
        files_.WroteFile(path_);
        return Plan(opcode, PlannedAction::kPatchFile, head.new_size, 0, head.delta_size);
      }
      case kOpPatchEntry: {
        ReadName();
        const DeltaHead head = Delta();
        const bool untouched = entries_.find(Key()) == entries_.end();
        const zorl::KRef<ArchiveEntry> old = untouched ? c_.archive.Find(name_)
                                                       : zorl::KRef<ArchiveEntry>();
        if (!old || old->content.GetSize() != static_cast<std::int64_t>(head.reference_size) ||
            !RecordedReference(c_.proof ? c_.proof->FindEntry(name_) : nullptr, head))
          c_.ui.Error(kMsgCannotAddEntry, name_);
        entries_[Key()] = true;
        return Plan(opcode, PlannedAction::kPatchEntry, head.new_size, 0, head.delta_size);
      }
      default:
        Refuse(kMsgCannotRead);
    }
  }

  // Counts the files and links that emptying the tree at path_ deletes:
  // those on disk that no earlier command removed, and those earlier
  // commands wrote there. Fails as the run would on a protected file, a
  // path that does not fit, or a directory that cannot be listed.
  std::uint64_t EmptyTree() {
    std::uint64_t files = 0;
    std::set<std::string> written;
    files_.ForEachWrittenBelow(
        path_, [&written](const std::string& key) { written.insert(key); });
    std::string failed;
    ProgressPacer& pacer = c_.pacer;
    const bool ok = disk_.Walk(
        path_, [&pacer] { pacer.Tick(); },
        [&](const TreeFile& file) {
          const std::string key = files_.Key(file.path);
          if (written.erase(key)) {
            ++files;  // rewritten by an earlier command: a new file
            return true;
          }
          if (files_.Kind(file.path) != platform::PathKind::kFile)
            return true;  // deleted by an earlier command
          if (files_.Untouched(file.path) && disk_.DeleteReaches(file))
            return false;
          ++files;
          return true;
        },
        &failed);
    if (!ok) Refuse(kMsgCannotDelete, failed.c_str());
    files += written.size();  // written by earlier commands, not on disk
    files_.EmptiedTree(path_);
    return files;
  }

  std::string Key() {
    char key[zorl::kNameBufferSize];
    zorl::MakeNameKey(key, name_);
    return key;
  }
  bool EntryExists() {
    const auto it = entries_.find(Key());
    if (it != entries_.end()) return it->second;
    return static_cast<bool>(c_.archive.Find(name_));
  }

  UpdateContext& c_;
  LooseFiles& disk_;
  PlannedFiles files_;
  const std::function<void(const PlannedCommand&)>& each_;
  Cursor* cursor_ = nullptr;
  char name_[zorl::kNameBufferSize] = {};
  bool named_ = false;  // name_ holds the current record's name
  char path_[zorl::kNameBufferSize] = {};
  std::map<std::string, bool> entries_;  // entry key -> present now
};

}  // namespace

void CheckCommands(UpdateContext& c, LooseFiles& disk,
                   const std::function<void(const PlannedCommand&)>& each) {
  Checker(c, disk, each).Run();
}

}  // namespace updater
