// The check of the whole command stream before the first change.
//
// Before any command touches the disk or the archive, the run reads the
// inflated command stream once from its position to its end: every record
// complete and well formed, every file that opcode 1 deletes and every
// entry that opcode 5 removes present given the commands before it (an
// earlier write creates, an earlier delete or emptied tree removes), every
// resolved path (and, for opcode 3, every file's path in the tree) fitting
// 263 bytes, and no loose-file command reaching a file the run must not
// touch. A delta (opcodes 6, 7) needs a manifest whose "before" state of
// the item is the delta's reference, an item that exists now and that no
// earlier command changed, and frames that fill exactly its byte count.
// Contents are skipped, never read.
#ifndef ENGINE_COMMAND_CHECK_H_
#define ENGINE_COMMAND_CHECK_H_

#include <cstdint>
#include <functional>

#include "engine/loose_files.h"
#include "engine/patch_commands.h"

namespace updater {

// What one command will do.
enum class PlannedAction {
  kCreateFile,       // opcode 0, the file does not exist yet
  kOverwriteFile,    // opcode 0, the file exists
  kDeleteFile,       // opcode 1
  kMakeDirectory,    // opcode 2, the directory does not exist yet
  kDirectoryExists,  // opcode 2, nothing to do
  kEmptyTree,        // opcode 3 (`files` files and links to delete)
  kPutNewEntry,      // opcode 4, no entry of that name
  kReplaceEntry,     // opcode 4, an entry of that name is replaced
  kRemoveEntry,      // opcode 5
  kPatchFile,        // opcode 6
  kPatchEntry,       // opcode 7
};

struct PlannedCommand {
  std::uint32_t opcode;
  PlannedAction action;
  const char* name;     // as read (cp932)
  const char* path;     // resolved (opcodes 0 to 3 and 6), else ""
  // Content bytes (opcodes 0 and 4; 0 or less: none); the new size for a
  // delta (6, 7), whose bytes carried are in `delta`.
  std::int64_t size;
  std::uint64_t files;  // opcode 3: files and links the emptying deletes
  std::uint64_t delta = 0;  // opcodes 6, 7: bytes of the delta's frames
};

// Checks the command stream from the payload's position to its end and
// puts the position back. A fault is reported through c.ui.Error with the
// message that record would have produced in the run (it does not
// return; nothing has changed). `disk` answers what is there now (the
// run's view: DiskLooseFiles over c.protect). `each`, when given, gets
// every command in order once its record has passed. The archive must be
// loaded (its entries are what opcodes 4 and 5 find). Pumps through
// c.pacer while it works.
void CheckCommands(UpdateContext& c, LooseFiles& disk,
                   const std::function<void(const PlannedCommand&)>& each = {});

}  // namespace updater

#endif  // ENGINE_COMMAND_CHECK_H_
