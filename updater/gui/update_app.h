// The updater's application: one run of the update on the progress dialog.
#ifndef UPDATER_GUI_UPDATE_APP_H_
#define UPDATER_GUI_UPDATE_APP_H_

#include "update_dialog.h"

namespace updater {

// The update run on `dialog`: theme library, the dialog (when it cannot be created:
// "メモリが足りません" in a box of type 0 and nothing else happens), then the engine's run
// with the executable's own image as the payload and its directory as the game directory,
// then the dialog is closed. The run's failure signal never escapes. Returns whether the
// update completed.
bool RunUpdateDialog(UpdateDialog& dialog);

}  // namespace updater

#endif  // UPDATER_GUI_UPDATE_APP_H_
