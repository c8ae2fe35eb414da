// TemporaryFile: a run's scratch file in the game directory that goes on
// every way out of the scope that made it, unless kept.
#ifndef ENGINE_TEMPORARY_FILE_H_
#define ENGINE_TEMPORARY_FILE_H_

#include "engine/undo_journal.h"
#include "foundation/kfile.h"
#include "foundation/ktext.h"

namespace updater {

class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Makes an empty "qx*.tmp" file in `dir` (recorded by `journal` when
  // given, so that it goes whatever ends the run) and opens it for
  // reading and writing. False when it cannot be made or opened.
  bool Create(const char* dir, UndoJournal* journal);
  // The file now has another name (it was renamed): nothing to remove.
  void Keep() { name[0] = '\0'; }

  char name[zorl::kNameBufferSize] = {};
  zorl::KFile stream;
};

}  // namespace updater

#endif  // ENGINE_TEMPORARY_FILE_H_
