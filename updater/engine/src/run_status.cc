#include "engine/run_status.h"

namespace updater {

int ExitStatusOf(RunStatus status) {
  switch (status) {
    case RunStatus::kCompleted: return kExitCompleted;
    case RunStatus::kWrongVersion: return kExitWrongVersion;
    case RunStatus::kFilesInUse: return kExitFilesInUse;
    case RunStatus::kNoSpace: return kExitNoSpace;
    case RunStatus::kFailed:
    case RunStatus::kFolderRefused: break;
  }
  return kExitFailed;
}

const char* RunStatusName(RunStatus status) {
  switch (status) {
    case RunStatus::kCompleted: return "completed";
    case RunStatus::kFailed: return "failed";
    case RunStatus::kWrongVersion: return "wrong version";
    case RunStatus::kFilesInUse: return "files in use";
    case RunStatus::kNoSpace: return "not enough space";
    case RunStatus::kFolderRefused: return "folder not writable";
  }
  return "failed";
}

}  // namespace updater
