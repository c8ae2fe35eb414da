// The update run: from locating the payload to clean-up.
#ifndef ENGINE_UPDATE_RUN_H_
#define ENGINE_UPDATE_RUN_H_

#include <functional>

#include "engine/command_check.h"
#include "engine/update_ui.h"

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
};

// Runs one update: locates the payload in `payload_exe`'s overlay,
// inflates it into a temporary file "qx*.tmp" in `game_dir`, loads
// "mareld.dat" from `game_dir`, checks the whole command stream (see
// command_check.h), runs every command, rebuilds the archive, and shows
// the completion message. Any failure shows one message (through
// ui.Error) and ends the run; a quit from ui.Pump ends it silently.
// Clean-up is the same on every path (archive closed, temporary file
// deleted), also when another exception passes through. Returns true only
// on completion (for a dry run: when the check passed).
// `game_dir` should be absolute: names resolve against it.
// No command writes or deletes the loaded archive, the payload's
// temporary file or `payload_exe`, under any name.
bool RunUpdate(UpdateUi& ui, const char* payload_exe, const char* game_dir,
               const RunOptions& options = {});

}  // namespace updater

#endif  // ENGINE_UPDATE_RUN_H_
