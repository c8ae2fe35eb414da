// The updater's application: one run of the update, on the progress dialog or, in silent
// mode, without any window; its exit status tells launchers how it went (run_status.h).
#ifndef UPDATER_GUI_UPDATE_APP_H_
#define UPDATER_GUI_UPDATE_APP_H_

#include "engine/update_run.h"
#include "engine/updater_switches.h"
#include "update_dialog.h"

namespace updater {

// The update run on `dialog`: theme library, the dialog (when it cannot be created:
// "メモリが足りません" in a box of type 0 and nothing else happens), then the engine's run
// with the executable's own image as the payload and its directory as the game directory,
// then the dialog is closed. The run's failure signal never escapes. Returns whether the
// update completed; `options` as for RunUpdate.
bool RunUpdateDialog(UpdateDialog& dialog, const RunOptions& options = {});

// The whole updater for its command line: an unknown switch shows the usage in a box
// (silently: nothing) and gives kExitUsage; otherwise the run, on the dialog or silent, with
// its log when /log= asks for one. When the game folder refuses the journal for lack of
// rights and the updater is not elevated (nor started by a relaunch, /elevated), it starts
// itself again with administrator rights and the same switches, waits, and gives that
// process's exit status; a declined prompt ends with kMsgNeedsAdministrator and
// kExitElevationDeclined. Returns the exit status.
int RunUpdater(const UpdaterSwitches& switches);

}  // namespace updater

#endif  // UPDATER_GUI_UPDATE_APP_H_
