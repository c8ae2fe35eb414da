#include "engine/journal_recovery.h"

namespace updater {

Recovery RecoverJournal(const char* game_dir) {
  Recovery recovery;
  UndoJournal journal;
  switch (journal.OpenExisting(game_dir)) {
    case UndoJournal::OpenResult::kNone:
      return recovery;
    case UndoJournal::OpenResult::kInUse:
      recovery.result = Recovery::Result::kInUse;
      recovery.record_path = journal.RecordPath();
      return recovery;
    case UndoJournal::OpenResult::kDamaged:
      recovery.result = Recovery::Result::kDamaged;
      recovery.record_path = journal.RecordPath();
      return recovery;
    case UndoJournal::OpenResult::kOpened:
      break;
  }
  recovery.record_path = journal.RecordPath();
  if (journal.IsCommitted()) {
    recovery.result = journal.Discard(&recovery.report) ? Recovery::Result::kCompleted
                                                        : Recovery::Result::kFailed;
  } else {
    recovery.result = journal.Undo(&recovery.report) ? Recovery::Result::kUndone
                                                     : Recovery::Result::kFailed;
  }
  return recovery;
}

}  // namespace updater
