#include "engine/files_in_use.h"

#include <cstdio>

#include "engine/messages.h"
#include "platform/files_in_use.h"

namespace updater {

FilesInUse FindFilesInUse(const std::vector<std::string>& paths) {
  FilesInUse found;
  for (const std::string& path : paths)
    if (platform::ProbeInUse(path.c_str()) == platform::InUse::kHeld) found.files.push_back(path);
  if (!found.files.empty()) found.programs = platform::ProgramsUsing(found.files);
  return found;
}

std::string InUseDetail(const FilesInUse& found) {
  if (found.programs.empty()) return found.files.empty() ? std::string() : found.files.front();
  std::string names;
  for (const std::string& name : found.programs) names += (names.empty() ? "" : ", ") + name;
  return names;
}

bool WaitUntilFilesAreFree(UpdateUi& ui, const std::vector<std::string>& paths,
                           const std::function<void(const FilesInUse&)>& told) {
  for (;;) {
    const FilesInUse found = FindFilesInUse(paths);
    if (found.Empty()) return true;
    if (told) told(found);
    char text[2048];
    std::snprintf(text, sizeof text, ui.Text(kMsgFilesInUse), InUseDetail(found).c_str());
    if (!ui.AskRetry(text)) return false;
  }
}

}  // namespace updater
