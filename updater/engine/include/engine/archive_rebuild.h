// Writing the patched archive and swapping it in for "mareld.dat".
#ifndef ENGINE_ARCHIVE_REBUILD_H_
#define ENGINE_ARCHIVE_REBUILD_H_

#include "engine/patch_commands.h"

namespace updater {

// Saves the archive into a new temporary file ("qx*.tmp") in the game
// directory, flushes it, closes the archive, and swaps the new file in:
// "mareld.dat" becomes "mareld.bak", the new file becomes "mareld.dat",
// the backup is deleted. Failures go through ui.Error:
//   temporary file cannot be opened, saved or flushed  "could not write file"
//   an entry saved is not what context.proof says,
//   or one it names is missing or left over           "could not write file"
//   a stale backup cannot be deleted, a rename fails   "cannot create data file"
// On every failure the temporary file is deleted and "mareld.dat" is the
// old archive (moved back from the backup if the second rename failed);
// only when that move back fails as well do the two stay as they are: the
// old archive as "mareld.bak", the new one under its temporary name.
// The flush and the backup deletions run through ui.WaitPumping, so the
// interface keeps answering. A quit (from ui.Pump) met before the renames
// begin abandons the rebuild as a failure does, without a message; once the
// renames have begun the swap finishes first, then the quit is thrown.
// With a journal (context.journal) the new file is recorded in it, a
// stale backup is moved into it, the renames are recorded before they are
// made, and the journal is marked committed once "mareld.dat" is the new
// archive.
void RebuildArchive(UpdateContext& context);

// Deletes a temporary file, trying once more if the first attempt fails
// while the file is still there. True when it is gone.
bool RemoveTemporaryFile(const char* path);

}  // namespace updater

#endif  // ENGINE_ARCHIVE_REBUILD_H_
