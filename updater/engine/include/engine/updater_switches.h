// The updater's command line. Without switches it runs as it always has,
// with its dialog and boxes; launchers and scripts add:
//   /S or /silent   no dialog and no boxes; the exit status tells the result
//   /log=FILE       a UTF-8 log of the run in FILE
// and a relaunch with administrator rights adds /elevated, which keeps the
// new process from relaunching again. Switches are matched regardless of
// case; anything else is an unknown switch.
#ifndef ENGINE_UPDATER_SWITCHES_H_
#define ENGINE_UPDATER_SWITCHES_H_

#include <string>
#include <vector>

namespace updater {

inline constexpr char kElevatedSwitch[] = "/elevated";

struct UpdaterSwitches {
  bool silent = false;
  std::string log_path;   // cp932, as given; "" for no log
  bool elevated = false;  // started by a relaunch: never relaunch again
  std::string unknown;    // the first word not understood; "" when none
};

// Reads the words of the command line (program name excluded), cp932.
UpdaterSwitches ParseSwitches(const std::vector<std::string>& words);

// The command line of a relaunch: the same switches (the log's path as
// given: make it absolute first, a relaunched process may start in another
// folder) and kElevatedSwitch, each word quoted.
std::string RelaunchArguments(const UpdaterSwitches& switches);

}  // namespace updater

#endif  // ENGINE_UPDATER_SWITCHES_H_
