// What a recovered journal did, for the terminal (`recover`, and `apply`
// when it found one).
#ifndef TOOLS_KESTREL_PATCH_RECOVERY_REPORT_H_
#define TOOLS_KESTREL_PATCH_RECOVERY_REPORT_H_

#include "engine/journal_recovery.h"

namespace kpatch {

// Prints what became of the journal in `game_dir`: a summary line, and
// for a journal undone or finished one line per file or directory put
// back or removed (stdout); a journal left alone is explained on stderr
// with `tool` in front. Returns whether the folder may be worked on.
bool PrintRecovery(const char* tool, const char* game_dir, const updater::Recovery& r);

}  // namespace kpatch

#endif  // TOOLS_KESTREL_PATCH_RECOVERY_REPORT_H_
