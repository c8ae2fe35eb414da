#include "engine/archive_rebuild.h"

#include "engine/file_steps.h"
#include "engine/messages.h"
#include "engine/path_resolve.h"
#include "engine/temporary_file.h"
#include "engine/undo_journal.h"
#include "foundation/ktext.h"
#include "platform/filesystem.h"

namespace updater {
namespace {

bool IsFile(const char* path) {
  return platform::GetPathKind(path) == platform::PathKind::kFile;
}

}  // namespace

bool RemoveTemporaryFile(const char* path) {
  if (platform::RemoveFile(path)) return true;
  if (platform::GetPathKind(path) == platform::PathKind::kNone) return true;
  return platform::RemoveFile(path);
}

void RebuildArchive(UpdateContext& c) {
  c.ui.SetStatus(c.ui.Text(kStatusRebuilding));
  c.ui.ShowName("");

  // The new archive's file goes on every way out of the rebuild unless it
  // becomes "mareld.dat"; a journal records it, so it goes whatever ends
  // the run.
  TemporaryFile fresh;
  if (!fresh.Create(c.game_dir, c.journal)) c.ui.Error(kMsgCannotWriteArchive);
  ProgressPacer& pacer = c.pacer;
  WriteProof* proof = c.proof;
  ResourceArchive::ContentSeen seen;
  if (proof)
    seen = [proof](const ArchiveEntry& entry, const unsigned char* data, std::uint32_t n) {
      if (data)
        proof->Content(data, n);
      else
        proof->Entry(entry.name);
    };
  const bool saved = c.archive.Save(
      fresh.stream,
      [&pacer](std::int64_t done, std::int64_t total) {
        pacer.Report(done, total);
      },
      seen);
  // Entries that are not what the manifest says: the new archive is not
  // the one the maker built, so it never takes the old one's place.
  if (saved && proof && !proof->EntriesDone()) c.ui.Error(kMsgCannotWriteArchive);
  // The new archive must be on the disk before the old one is moved aside.
  // The flush of a large archive blocks for a while: it runs while the user
  // interface keeps pumping, and a quit met meanwhile abandons the run once
  // the flush has ended (the old archive is untouched, the new file goes).
  zorl::KFile& stream = fresh.stream;
  if (!saved || !c.ui.WaitPumping([&stream] { return stream.Flush(); }))
    c.ui.Error(kMsgCannotWriteArchive);
  fresh.stream.Close();
  c.archive.Close();

  char archive[zorl::kNameBufferSize];
  char backup[zorl::kNameBufferSize];
  // Never a cut name: it would rename some other file.
  if (!JoinPath(c.game_dir, kArchiveFileName, archive) ||
      !JoinPath(c.game_dir, kBackupFileName, backup))
    c.ui.Error(kMsgCannotSwapArchive);
  UndoJournal* journal = c.journal;
  // A stale backup may be large; deleting it is waited for the same way.
  // With a journal it is moved into it instead (a rename), so that undoing
  // the run brings it back.
  if (IsFile(backup) &&
      !(journal ? journal->MoveAside(backup)
                : c.ui.WaitPumping([&backup] { return DeleteLooseFile(backup); })))
    c.ui.Error(kMsgCannotSwapArchive);
  // From the first rename on, the swap finishes before a quit is honoured.
  if ((journal && !journal->WillRename(archive, backup)) ||
      !RenameLooseFile(archive, backup))
    c.ui.Error(kMsgCannotSwapArchive);
  if (IsFile(archive)) {
    if (journal)
      journal->MoveAside(archive);
    else
      platform::RemoveFile(archive);
  }
  // The journal notes which file the new archive is before it takes the
  // name: once "mareld.dat" is that file, the run has completed.
  bool committing = true;
  if (journal) {
    platform::FileIdentity fresh_id;
    committing = platform::GetPathIdentity(fresh.name, false, &fresh_id) ==
                     platform::IdentityLookup::kFound &&
                 journal->WillCommit(archive, fresh_id);
  }
  if (!committing || !RenameLooseFile(fresh.name, archive)) {
    // Never leave the game without its archive: put the old one back. If
    // that fails too, the new archive stays under its temporary name, so
    // the work is not lost while the backup holds the old one.
    if (!RenameLooseFile(backup, archive)) fresh.Keep();
    c.ui.Error(kMsgCannotSwapArchive);
  }
  fresh.Keep();
  if (journal) {
    // The journal deletes the backup once the commit is on the disk.
    journal->Committed();
    return;
  }
  // Deleting the old archive (as large as the game's data) blocks too. A
  // quit met meanwhile ends the run once the backup is gone: the update is
  // in place, but no completion message follows a request to quit.
  bool quit = false;
  if (IsFile(backup))
    c.ui.WaitPumping([&backup] { return DeleteLooseFile(backup); }, &quit);
  if (quit) throw kFailureSignal;
}

}  // namespace updater
