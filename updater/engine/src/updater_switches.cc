#include "engine/updater_switches.h"

namespace updater {
namespace {

// `word` equals `name` (ASCII, lower case) regardless of case.
bool Is(const std::string& word, const char* name) {
  std::size_t i = 0;
  for (; name[i]; ++i) {
    if (i >= word.size()) return false;
    char c = word[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != name[i]) return false;
  }
  return i == word.size();
}

}  // namespace

UpdaterSwitches ParseSwitches(const std::vector<std::string>& words) {
  UpdaterSwitches s;
  for (const std::string& word : words) {
    if (Is(word, "/s") || Is(word, "/silent")) {
      s.silent = true;
    } else if (Is(word, kElevatedSwitch)) {
      s.elevated = true;
    } else if (word.size() > 5 && Is(word.substr(0, 5), "/log=")) {
      s.log_path = word.substr(5);
    } else if (s.unknown.empty()) {
      s.unknown = word.empty() ? "\"\"" : word;
    }
  }
  return s;
}

std::string RelaunchArguments(const UpdaterSwitches& s) {
  std::string line;
  if (s.silent) line += "/S ";
  if (!s.log_path.empty()) line += "\"/log=" + s.log_path + "\" ";
  return line + kElevatedSwitch;
}

}  // namespace updater
