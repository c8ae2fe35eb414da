// Why `kestrel-patch apply` failed, in English, for the line under the
// updater's own message. The updater names what failed in the player's
// words; a person at a terminal wants to know what to do, so this looks
// at the inputs again (read only) and at the file operation the platform
// seam saw fail last:
//
//   not a Windows executable / no payload after its image / the payload
//   is damaged (zlib's reason and the offset) / cut short / the command
//   stream breaks off (which record, at which offset) / GAME is no game
//   folder (no mareld.dat, or it is no archive: which check failed) /
//   an I/O failure (the operation, the file and the system's text).
//
// PATCH that is no updater and GAME that is no game folder are wrong
// inputs (status 3); everything else is a failed run (status 1).
#ifndef TOOLS_KESTREL_PATCH_FAILURE_REASON_H_
#define TOOLS_KESTREL_PATCH_FAILURE_REASON_H_

#include <string>

namespace kpatch {

struct FailureReason {
  std::string text;  // UTF-8 on Linux (console text), no newline
  int status;        // tools::kExitFailure or tools::kExitWrongInput
};

// `patch` and `game_dir` as the run got them (cp932); `message` the
// updater's error message as shown (cp932), "" when none was.
FailureReason ExplainFailure(const std::string& patch, const std::string& game_dir,
                             const std::string& message);

}  // namespace kpatch

#endif  // TOOLS_KESTREL_PATCH_FAILURE_REASON_H_
