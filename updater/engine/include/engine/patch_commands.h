// The six patch commands (see patch_format.h for their records).
#ifndef ENGINE_PATCH_COMMANDS_H_
#define ENGINE_PATCH_COMMANDS_H_

#include <cstdint>

#include "engine/progress.h"
#include "engine/resource_archive.h"
#include "engine/update_ui.h"
#include "foundation/kfile.h"

namespace updater {

// What one update run works on.
struct UpdateContext {
  UpdateUi& ui;
  ProgressPacer& pacer;
  zorl::KFile& payload;        // the inflated command stream, at a command
  ResourceArchive& archive;    // the loaded archive
  const char* game_dir;        // names resolve against it ("" when none)
  // Files the run still reads: the loaded archive (its entries are views
  // of it until the rebuild) and the payload file. Loose-file commands may
  // not write or delete them, as Windows would refuse for open files.
  const char* archive_path = "";
  const char* payload_path = "";
};

// Runs the command `opcode`, whose record follows at the payload's
// position. Every failure goes through ui.Error (it does not return):
//   unknown opcode, bad or short name, short size or content,
//   a size past the payload's end (opcodes 0, 4)   "cannot read"
//   a loose file cannot be created, or is a file
//   the run still reads                            "file (%s) cannot be created"
//   a chunk cannot be written                      "cannot write"
//   a directory tree cannot be created             "cannot create directory"
//   a file cannot be deleted (or is a file the
//   run still reads), an entry is missing          "file (%s) cannot be deleted"
//   an entry cannot be added                       "file (%s) cannot be written"
void RunPatchCommand(std::uint32_t opcode, UpdateContext& context);

}  // namespace updater

#endif  // ENGINE_PATCH_COMMANDS_H_
