// Finishing what a killed run left: its undo journal, found in the game
// directory by the next run (of the updater or of `kestrel-patch apply`)
// before it does anything else, or by `kestrel-patch recover`.
#ifndef ENGINE_JOURNAL_RECOVERY_H_
#define ENGINE_JOURNAL_RECOVERY_H_

#include <string>

#include "engine/undo_journal.h"

namespace updater {

struct Recovery {
  enum class Result {
    kNothing,    // no journal in the directory
    kUndone,     // the killed run had not completed: its changes are undone
    kCompleted,  // it had completed (the new archive is in place): its
                 // leftovers (old files, the backup) are removed
    kInUse,      // another run is working with it now: left alone
    kDamaged,    // it cannot be read whole: left in place, nothing applied
    kFailed,     // something could not be put back: the journal stays
  };
  Result result = Result::kNothing;
  std::string record_path;  // the journal's record file
  JournalReport report;     // what was put back or removed
};

// Finds the journal of `game_dir` and undoes or finishes it. Only kNothing,
// kUndone and kCompleted leave a directory a run may work on.
Recovery RecoverJournal(const char* game_dir);

}  // namespace updater

#endif  // ENGINE_JOURNAL_RECOVERY_H_
