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

namespace {

// What fills kMsgFilesInUse's "%s": the programs' names separated by ", ",
// or the first file when no program is named.
std::string InUseDetail(const FilesInUse& found) {
  if (found.programs.empty()) return found.files.empty() ? std::string() : found.files.front();
  std::string names;
  for (const std::string& name : found.programs) names += (names.empty() ? "" : ", ") + name;
  return names;
}

}  // namespace

std::string InUseMessage(const UpdateUi& ui, const FilesInUse& found) {
  char text[2048];
  std::snprintf(text, sizeof text, ui.Text(kMsgFilesInUse), InUseDetail(found).c_str());
  return text;
}

bool WaitUntilFilesAreFree(UpdateUi& ui, const std::vector<std::string>& paths,
                           const std::function<void(const FilesInUse&)>& told) {
  for (;;) {
    const FilesInUse found = FindFilesInUse(paths);
    if (found.Empty()) return true;
    if (told) told(found);
    if (!ui.AskRetry(InUseMessage(ui, found).c_str())) return false;
  }
}

}  // namespace updater
