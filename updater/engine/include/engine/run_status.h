// How an update run ended, and the exit statuses the updater and
// `kestrel-patch apply` report for it, so launchers and scripts can tell a
// player's situations apart.
#ifndef ENGINE_RUN_STATUS_H_
#define ENGINE_RUN_STATUS_H_

namespace updater {

enum class RunStatus {
  kCompleted,      // the update completed (a dry run: its check passed)
  kFailed,         // any failure, a quit, or a refusal below none of the others
  kWrongVersion,   // the game in the folder is not the version the patch is for
  kFilesInUse,     // another program held a file the run had to change
  kNoSpace,        // the game folder's volume has too little free space
  kFolderRefused,  // the journal folder was refused for lack of rights and the
                   // front end took that over (RunOptions::folder_refused)
};

// The updater's exit statuses (also apply's, where it has the same case).
constexpr int kExitCompleted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;  // an unknown switch
constexpr int kExitWrongVersion = 4;
constexpr int kExitFilesInUse = 5;
constexpr int kExitNoSpace = 6;
constexpr int kExitElevationDeclined = 7;  // the player declined the prompt

// The exit status of a run that ended so; kFolderRefused is the front
// end's to decide and reads as a failure here.
int ExitStatusOf(RunStatus status);

// A short English name of the status, for logs ("completed", "files in use").
const char* RunStatusName(RunStatus status);

}  // namespace updater

#endif  // ENGINE_RUN_STATUS_H_
