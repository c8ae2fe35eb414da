// Files another program holds (the game still running), found before the
// first change so the player can close it and try again.
#ifndef ENGINE_FILES_IN_USE_H_
#define ENGINE_FILES_IN_USE_H_

#include <functional>
#include <string>
#include <vector>

#include "engine/update_ui.h"

namespace updater {

struct FilesInUse {
  std::vector<std::string> files;     // cp932 paths, in the order probed
  std::vector<std::string> programs;  // what holds them, when the system names it
  bool Empty() const { return files.empty(); }
};

// Probes each of `paths` (platform::ProbeInUse) and asks the system which
// programs hold those found held.
FilesInUse FindFilesInUse(const std::vector<std::string>& paths);

// kMsgFilesInUse in `ui`'s language, naming what holds the files: the
// programs separated by ", ", or the first file when no program is named.
std::string InUseMessage(const UpdateUi& ui, const FilesInUse& found);

// Until none of `paths` is held: asks the user (ui.AskRetry with
// kMsgFilesInUse) to close the program and retry. `told`, when given, hears
// each finding before the question. True once nothing is held; false when
// the user cancels (or the front end cannot ask).
bool WaitUntilFilesAreFree(UpdateUi& ui, const std::vector<std::string>& paths,
                           const std::function<void(const FilesInUse&)>& told = {});

}  // namespace updater

#endif  // ENGINE_FILES_IN_USE_H_
