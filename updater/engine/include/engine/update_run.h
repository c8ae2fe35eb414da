// The update run: from locating the payload to clean-up.
#ifndef ENGINE_UPDATE_RUN_H_
#define ENGINE_UPDATE_RUN_H_

#include <functional>

#include "engine/command_check.h"
#include "engine/files_in_use.h"
#include "engine/journal_recovery.h"
#include "engine/run_status.h"
#include "engine/manifest.h"
#include "engine/update_ui.h"
#include "engine/version_check.h"

namespace updater {

// What a front end may add to a run. The GUI updater uses none of it.
struct RunOptions {
  // Called for every command as the check before the first change passes
  // it (before anything on disk or in the archive has changed).
  std::function<void(const PlannedCommand&)> planned;
  // Called once the whole stream has passed the check, before the first
  // change. May end the run (ui.Error, or throwing kFailureSignal).
  std::function<void()> checked;
  // Stop after the check: nothing is changed. The run still inflates the
  // payload into its temporary file and removes it again.
  bool dry_run = false;
  // Told what became of a journal an earlier run left (before the run
  // does anything else), when there was one.
  std::function<void(const Recovery&)> recovered;
  // Keep the undo journal. Off only to measure what it costs: changes to
  // loose files are then final, as they were before the journal.
  bool journal = true;
  // Receives how the run ended (run_status.h), whatever it returns.
  RunStatus* status = nullptr;
  // Told which files other programs hold whenever the probe before the
  // first change finds some, before the user is asked to close them.
  std::function<void(const FilesInUse&)> in_use;
  // Called when the journal folder, the run's first write, is refused for
  // lack of rights (nothing has changed). True: the front end deals with it
  // (it starts the updater with administrator rights, or says the folder is
  // not writable) and the run ends without a message, status
  // kFolderRefused. False or not given: the run fails as for any folder it
  // cannot write ("ファイルが開けません"). Gets the run's interface (its
  // language is the run's) for what it shows.
  std::function<bool(UpdateUi& ui)> folder_refused;
  // Told what the payload's manifest is (none, read, damaged) as soon as
  // it has been looked for; `manifest` is filled only when it was read.
  std::function<void(ManifestLookup, const Manifest& manifest)> manifest_read;
  // Told the version check's result before the run acts on it.
  std::function<void(const VersionReport&)> version_checked;
  // Apply without comparing the game with the manifest (a maker who knows
  // what the folder holds). What is written is still checked.
  bool skip_version_check = false;
  // Told which item was written wrong when the proof of what was written
  // fails (cp932, as the manifest names it).
  std::function<void(const std::string& item)> proof_failed;
};

// Runs one update: first finishes what a killed run left (its journal:
// journal_recovery.h), then opens its own undo journal "qxundo" in
// `game_dir` (undo_journal.h), locates the payload in `payload_exe`'s
// overlay and reads its manifest (manifest.h) when it has one: a damaged
// one stops the run with "cannot open file"; else its language and
// caption are the run's, the archive is loaded and the game is checked
// against it (version_check.h): a game already updated shows "already
// applied" and the run ends there, true, changing nothing; another
// version shows "wrong version (%s)" naming the first item that fits
// neither state. Then it inflates the payload into a temporary file
// "qx*.tmp" in `game_dir` (a stream that does not end where the manifest
// begins, or inflates to another size, is damaged too),
// loads "mareld.dat" from `game_dir`, checks the whole command stream
// (see command_check.h), runs every command (hashing what it writes for
// the manifest's items: write_proof.h), rebuilds the archive, removes
// the journal and shows the completion message (the manifest's, when it
// has one). Any failure shows one
// message (through ui.Error) and ends the run; a quit from ui.Pump ends it
// silently. Clean-up is the same on every path (archive closed, temporary
// file deleted, and every change undone: the game folder is as it was),
// also when another exception passes through. The undo runs while the
// interface keeps answering (ui.WaitPumping); one that cannot finish (a
// file held, a stray file in a folder the run made) leaves the journal for
// the next run and is told with a second message, "file (%s) cannot be
// opened" naming its record file. Returns true only on
// completion (for a dry run: when the check passed). A journal that cannot
// be read whole or is in use by another run is left alone, and one that
// cannot be undone or finished entirely stays: the run then stops with the
// message "file (%s) cannot be opened" naming its record file.
// Before the first change the run also makes sure that no other program
// holds a file it will replace, delete or rename (mareld.dat first, before
// anything else, then every file the commands reach): while one does, the
// user is asked to close it (ui.AskRetry, kMsgFilesInUse); Cancel ends the
// run, status kFilesInUse. A sharing violation later in the run is undone
// like any failure, with the same text (a warning). And that the game
// folder's volume has room for the run's peak (space_check.h): short, it
// ends with kMsgNoSpace, status kNoSpace.
// `game_dir` should be absolute: names resolve against it.
// No command writes or deletes the loaded archive, the payload's
// temporary file or `payload_exe`, under any name.
bool RunUpdate(UpdateUi& ui, const char* payload_exe, const char* game_dir,
               const RunOptions& options = {});

}  // namespace updater

#endif  // ENGINE_UPDATE_RUN_H_
