// The update run: from locating the payload to clean-up.
#ifndef ENGINE_UPDATE_RUN_H_
#define ENGINE_UPDATE_RUN_H_

#include "engine/update_ui.h"

namespace updater {

// Runs one update: locates the payload in `payload_exe`'s overlay,
// inflates it into a temporary file "qx*.tmp" in `game_dir`, loads
// "mareld.dat" from `game_dir`, runs every command, rebuilds the archive,
// and shows the completion message. Any failure shows one message (through
// ui.Error) and ends the run; a quit from ui.Pump ends it silently. Clean-up
// is the same on every path (archive closed, temporary file deleted), also
// when another exception passes through. Returns true only on completion.
// `game_dir` should be absolute: names resolve against it.
bool RunUpdate(UpdateUi& ui, const char* payload_exe, const char* game_dir);

}  // namespace updater

#endif  // ENGINE_UPDATE_RUN_H_
