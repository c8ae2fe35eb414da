// The undo journal's record file: what a run is about to change, one
// record per change, appended before the change is made.
//
// File: the 8 bytes "KUJRNL01", then records. A record is
//   u32 payload length, u32 its complement, u32 CRC-32 of the payload,
//   the payload:
//   u8 kind, u32 slot, u16 n + n bytes of path, u16 m + m bytes of the
//   second path, u64 volume, u64 index (integers little-endian, paths cp932).
// Because every record is on the disk before its change begins, what a
// kill or a power cut can spoil is only the end of the file, written but
// not yet flushed, and it stands for changes that never began: a record
// cut short, a tail of zeros, or a torn record (the file zeros from a
// sector boundary inside it to the end) and what follows it are dropped. Any other fault (a bad magic, a bad record followed by more, a
// record that makes no sense) means the file cannot be read whole.
#ifndef ENGINE_JOURNAL_RECORD_H_
#define ENGINE_JOURNAL_RECORD_H_

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"

namespace updater {

inline constexpr char kJournalMagic[] = "KUJRNL01";
constexpr std::size_t kJournalMagicSize = 8;

enum class JournalKind : std::uint8_t {
  // `path` is about to be renamed to slot `slot` of the journal folder
  // (its name there is the slot's number); `identity` is the file's.
  // Undo: rename it back.
  kMoved = 1,
  // `path` is about to be created as a file where nothing was. Undo:
  // delete it.
  kCreatedFile = 2,
  // `path` is about to be created as a directory. Undo: remove it (empty).
  kCreatedDirectory = 3,
  // `path` is about to be renamed to `other`. Undo: rename it back.
  kRenamed = 4,
  // `path` (the archive) is about to become the file whose identity is
  // `identity`: once it is that file, the run has completed and the
  // journal is only to be removed.
  kCommit = 5,
  // The last kCreatedFile or kCreatedDirectory of `path` did not create
  // it (it was there already): undo leaves it.
  kCancelled = 6,
  // `path` is about to be created as one of the run's temporary files:
  // it goes on undo and on removal alike.
  kTemporary = 7,
};

struct JournalRecord {
  JournalKind kind = JournalKind::kMoved;
  std::uint32_t slot = 0;
  std::string path;
  std::string other;
  platform::FileIdentity identity;
};

// One record as it is written into the file.
std::string EncodeJournalRecord(const JournalRecord& record);

enum class JournalReadResult {
  kWhole,    // every record read (a spoilt end dropped)
  kDamaged,  // the file cannot be read whole
};

// Reads a whole record file's bytes into `records`, in order. A file
// shorter than the magic is an empty journal (killed before it was
// written).
JournalReadResult DecodeJournal(const std::string& bytes,
                                std::vector<JournalRecord>* records);

}  // namespace updater

#endif  // ENGINE_JOURNAL_RECORD_H_
