// The six patch commands (see patch_format.h for their records).
#ifndef ENGINE_PATCH_COMMANDS_H_
#define ENGINE_PATCH_COMMANDS_H_

#include <cstdint>

#include "engine/progress.h"
#include "engine/protected_files.h"
#include "engine/undo_journal.h"
#include "engine/resource_archive.h"
#include "engine/update_ui.h"
#include "engine/write_proof.h"
#include "foundation/kfile.h"

namespace updater {

// What one update run works on.
struct UpdateContext {
  UpdateUi& ui;
  ProgressPacer& pacer;
  zorl::KFile& payload;        // the inflated command stream, at a command
  ResourceArchive& archive;    // the loaded archive
  const char* game_dir;        // names resolve against it ("" when none)
  // Files no command may write or delete (the loaded archive, the payload
  // file, the running updater); none when null.
  const ProtectedFiles* protect = nullptr;
  // Where every change to a loose file is recorded before it is made, so
  // that it can be undone; none when null (changes are then final).
  UndoJournal* journal = nullptr;
  // What the written files and entries must hash to (the payload's
  // manifest); none when null.
  WriteProof* proof = nullptr;
};

// Runs the command `opcode`, whose record follows at the payload's
// position. Every failure goes through ui.Error (it does not return):
//   unknown opcode, bad or short name, short size or content,
//   a size past the payload's end (opcodes 0, 4)   "cannot read"
//   a loose file cannot be created, is protected,
//   or its path does not fit 263 bytes             "file (%s) cannot be created"
//   a chunk cannot be written                      "cannot write"
//   a written file is not what context.proof says  "could not write file"
//   a directory tree cannot be created, or its
//   path does not fit                              "cannot create directory"
//   a file cannot be deleted, is protected, or a
//   path (of the file, the tree or a file in it)
//   does not fit; an entry is missing              "file (%s) cannot be deleted"
//   an entry cannot be added                       "file (%s) cannot be written"
// "%s" is the path (whole, also when it does not fit) or the entry name.
// With a journal, a file about to be overwritten or deleted is moved into
// it instead, and created files and directories are recorded first; a
// change that cannot be recorded fails with the command's message. A link
// in a file's place is moved aside like a file: its target is never
// written.
void RunPatchCommand(std::uint32_t opcode, UpdateContext& context);

}  // namespace updater

#endif  // ENGINE_PATCH_COMMANDS_H_
