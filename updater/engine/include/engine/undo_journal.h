// UndoJournal: every change a run makes to the game folder, kept so that
// it can be undone until the run completes.
//
// The journal is the folder "qxundo" in the game directory, holding one
// append-only record file "journal" (journal_record.h) and the old files
// the run moved aside (named by their slot numbers); the run's temporary
// files "qx*.tmp" beside it are recorded too. Before a command changes a
// loose file it records the change: a file about to be overwritten or
// deleted is renamed into the folder (the same volume: nothing is copied),
// a file or directory about to be created is noted. Undoing takes the
// records newest first: created files and directories go, moved files come
// back under their names (their contents and times untouched). The record
// file stays locked while the run lives, so a second run can tell a live
// journal from a dead one.
//
// Write-ahead: the records of a change reach the disk (one flush for the
// records of one step) before the change begins, so after a power cut the
// journal knows of every change that may be on the disk. A change whose
// records were cut off never began: undo tells "never happened" from
// "done" from "undone already" by what it finds (a moved file is known by
// its identity), so it can be cut off anywhere and run again. The same
// makes records written ahead harmless: told the run's coming file
// changes (Expect), the journal records a batch of them in the flush of
// the first, and a change whose command never runs is one that never
// began. Before the commit record, every file the run wrote and every
// directory whose names it changed is flushed (many files by one flush of
// the volume where the system has it); the old copies go only after the
// commit is on the disk.
//
// Every operation on the file system is tried again before it counts as
// failed (file_steps.h), so one passing fault does not leave a folder
// half put back.
#ifndef ENGINE_UNDO_JOURNAL_H_
#define ENGINE_UNDO_JOURNAL_H_

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/journal_record.h"
#include "platform/file.h"

namespace updater {

// The journal folder's name in the game directory, and the record file's
// name in it.
inline constexpr char kJournalFolderName[] = "qxundo";
inline constexpr char kJournalFileName[] = "journal";

// A change of a loose file that a command will make, as the check before
// the first change planned it.
struct ExpectedChange {
  enum class Kind { kCreate, kOverwrite, kDelete };
  Kind kind;
  std::string path;  // as the command will name it
  // Consecutive commands that change nothing but loose files share a
  // batch: no other command runs between them.
  std::uint32_t batch;
};

// What undoing or removing a journal did, for a report.
struct JournalReport {
  enum class Step {
    kPutBack,           // a moved file is back under `path`
    kRemovedFile,       // a file the run created is gone
    kRemovedDirectory,  // a directory the run created is gone
  };
  struct Entry {
    Step step;
    std::string path;
  };
  std::vector<Entry> entries;
};

class UndoJournal {
 public:
  UndoJournal() = default;
  ~UndoJournal();
  UndoJournal(const UndoJournal&) = delete;
  UndoJournal& operator=(const UndoJournal&) = delete;

  // Creates the journal folder in `game_dir` and its record file, and
  // locks it. False (nothing left behind) when the folder exists already
  // or cannot be made.
  bool Create(const char* game_dir);
  // Opens the journal a run left in `game_dir` and reads its records.
  enum class OpenResult { kOpened, kNone, kInUse, kDamaged };
  OpenResult OpenExisting(const char* game_dir);

  bool IsOpen() const { return file_ != platform::kInvalidFile; }
  // The folder (for the run's temporary files) and the record file.
  const char* Folder() const { return folder_.c_str(); }
  const std::string& RecordPath() const { return record_path_; }
  // The folder's identity: walks of the game folder never enter it.
  const platform::FileIdentity& FolderIdentity() const { return folder_id_; }

  // The run's coming changes of loose files, in command order (opcodes 0
  // and 1). When the request for the first change of a batch comes, the
  // journal records with it the next ones of the batch (up to 256) whose
  // paths differ and whose directories exist; a request that finds the
  // disk as recorded ahead then needs no flush of its own. Anything else
  // (a change not expected, a file that changed meanwhile) is recorded
  // on its own, as without this call.
  void Expect(std::vector<ExpectedChange> changes);

  // Each records the change (on the disk when it returns), then (for
  // MoveAside) makes it. False when the record cannot be written, or the
  // move fails: then nothing changed. MoveAside moves a file or a link
  // (never a directory); ReplaceWithNew moves it and records, in the same
  // flush, that a new file is about to be created under its name.
  bool MoveAside(const char* path);
  bool ReplaceWithNew(const char* path);
  bool WillCreateFile(const char* path);
  bool WillCreateDirectory(const char* path);
  // What WillCreateFile or WillCreateDirectory announced was there
  // already: undo must leave it.
  bool NotCreated(const char* path);
  // Creates an empty temporary file "qx<hex>.tmp" in `dir` and writes its
  // name into `out` (264 bytes). It goes with the journal, on undo and on
  // removal alike. False (`out` empty) on failure or when no name fits.
  bool CreateTemporary(const char* dir, char* out);
  bool WillRename(const char* from, const char* to);
  // Flushes every file the run created and every directory whose names
  // it changed, then records the commit. False when any of it fails.
  bool WillCommit(const char* archive, const platform::FileIdentity& fresh);
  // The run's point of no return: the archive now is the new one.
  void Committed() { committed_ = true; }
  bool IsCommitted() const { return committed_; }
  // Whether the records say the run completed: a commit record whose
  // archive is now the committed file. For a journal found on disk.
  bool CommittedOnDisk() const;

  // Undoes every recorded change, newest first, then removes the journal.
  // False when something could not be put back: the journal then stays
  // (closed) for the next run to finish the job.
  bool Undo(JournalReport* report = nullptr);
  // Removes the journal and what it holds (the old files moved aside, the
  // temporary files; a read-only attribute does not keep them): the run
  // has completed. For a found journal whose
  // run had committed, also the backup of the old archive that the swap
  // left. False when something stayed (the record file then stays too).
  bool Discard(JournalReport* report = nullptr);
  // Closes the record file (unlocking it) and forgets the journal.
  void Close();

 private:
  // Adds a record to the pending group; Sync writes the group and flushes
  // it (false: none of it counts).
  void Append(const JournalRecord& record);
  // Appends a kCancelled record: the last creation recorded for `path`
  // made nothing.
  void AppendCancel(const std::string& path);
  bool Sync();
  bool Move(const char* path, bool then_create);
  // A change recorded ahead, waiting for its request.
  struct Announced {
    ExpectedChange::Kind kind;
    std::uint32_t slot;  // for a move
    platform::FileIdentity identity;
  };
  // Whether the request (`path`, `kind`) was recorded ahead and the disk
  // is as recorded then (`*slot`: the move's slot). Forgets it either way;
  // a creation recorded ahead that does not hold is cancelled in the
  // pending group, so that undo never removes what is there instead.
  bool TakeAnnounced(const char* path, ExpectedChange::Kind kind, std::uint32_t* slot);
  // When the request opens the next expected batch, appends the records
  // of the rest of it to the pending group and returns what they announce.
  std::vector<std::pair<std::string, Announced>> AnnounceAhead(const char* path,
                                                               ExpectedChange::Kind kind);
  // Appends the records of one change; false when a moved file's identity
  // cannot be read (nothing appended).
  bool AppendChange(const std::string& path, ExpectedChange::Kind kind, Announced* out);
  // Sync, then (on success) keeps what it announced ahead.
  bool SyncWith(std::vector<std::pair<std::string, Announced>> ahead);
  // The journal folder and the directory of every name a record names.
  std::vector<std::string> ChangedDirectories() const;
  bool FlushDirectories(const std::vector<std::string>& dirs);
  bool FlushCreatedFiles();
  // Every file the run created and every directory whose names changed.
  bool FlushWritten();
  // Whether `id` is the original a kMoved record took from `path`.
  // Only a move recorded before the record at `before` took an original:
  // a later one took what the run itself had made under the name (a file
  // written twice).
  bool IsOriginal(const std::string& path, const platform::FileIdentity& id,
                  std::size_t before) const;
  // Deletes what the run made at `path` (the record at `at` says so),
  // unless it is the original.
  bool RemoveMade(const std::string& path, std::size_t at, bool* removed);
  bool PutBack(const JournalRecord& moved, JournalReport* report);
  bool OnlyRecordFileLeft() const;
  // With `drop_slots` the old files go; without, one still there fails.
  bool RemoveFolder(bool drop_slots);

  std::string folder_;
  std::string record_path_;
  platform::FileIdentity folder_id_;
  platform::FileHandle file_ = platform::kInvalidFile;
  std::uint64_t end_ = 0;  // where the next record goes
  std::uint32_t next_slot_ = 1;
  unsigned temp_seed_ = 0;  // the next temporary name's number
  std::vector<JournalRecord> records_;
  std::vector<ExpectedChange> expected_;
  std::size_t next_expected_ = 0;               // the next batch's head
  std::map<std::string, Announced> announced_;  // by path, as requested
  std::string pending_;  // records not yet written
  std::size_t pending_records_ = 0;
  bool committed_ = false;
};

// Whether `game_dir` holds a journal folder.
bool JournalExists(const char* game_dir);

// Whether `path` names a file or a link of any kind (never followed): what
// MoveAside moves. A failing query answers "no", so a "no" is asked twice
// before it counts.
bool IsFileOrLink(const char* path);

}  // namespace updater

#endif  // ENGINE_UNDO_JOURNAL_H_
