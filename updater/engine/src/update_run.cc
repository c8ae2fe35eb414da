#include "engine/update_run.h"

#include "engine/archive_rebuild.h"
#include "engine/command_check.h"
#include "engine/loose_files.h"
#include "engine/messages.h"
#include "engine/patch_commands.h"
#include "engine/patch_format.h"
#include "engine/path_resolve.h"
#include "engine/payload.h"
#include "engine/progress.h"
#include "engine/protected_files.h"
#include "engine/resource_archive.h"
#include "foundation/kfile.h"
#include "foundation/ktext.h"
#include "platform/filesystem.h"

namespace updater {
namespace {

// What the run owns; clean-up is the same on every path.
struct RunState {
  zorl::KFile payload;
  char payload_name[zorl::kNameBufferSize] = {};
  ResourceArchive archive;
  ProtectedFiles protect;

  void CleanUp() {
    archive.Close();
    if (payload_name[0]) {
      payload.Close();
      RemoveTemporaryFile(payload_name);
      payload_name[0] = '\0';
    }
  }
};

void Run(UpdateUi& ui, ProgressPacer& pacer, RunState& s,
         const char* payload_exe, const char* game_dir,
         const RunOptions& options) {
  {
    zorl::KFile source;
    if (!LocatePayload(payload_exe, source)) ui.Error(kMsgCannotOpen);
    // The running updater: the view starts at the overlay and reaches to
    // the end of the file.
    if (!s.protect.Add(source, std::uint64_t{source.Base()} +
                                   static_cast<std::uint32_t>(source.GetSize())))
      ui.Error(kMsgCannotOpen);
    platform::MakeTempFile(game_dir, "qx", s.payload_name);
    bool too_large = false;
    if (!s.payload.Open(zorl::KFILE_READ | zorl::KFILE_WRITE |
                            zorl::KFILE_CREATE | zorl::KFILE_NEW,
                        s.payload_name))
      ui.Error(kMsgCannotOpen);
    if (!InflatePayload(s.payload, source, [&pacer] { pacer.Tick(); },
                        &too_large)) {
      // More than 32-bit positions address: the stream cannot be read.
      ui.Error(too_large ? kMsgCannotRead : kMsgCannotOpen);
    }
    if (!s.payload.Seek(zorl::KSEEK_BEGIN, 0) ||
        !s.protect.Add(s.payload, static_cast<std::uint32_t>(s.payload.GetSize())))
      ui.Error(kMsgCannotOpen);
  }  // the executable is released here

  char archive_path[zorl::kNameBufferSize];
  if (!ResolvePath(game_dir, kArchiveFileName, archive_path))
    ui.Error(kMsgCannotOpenArchive,
             ResolvedPath(game_dir, kArchiveFileName).c_str());
  if (!s.archive.Load(archive_path,
                      [&pacer](std::int64_t, std::int64_t) { pacer.Tick(); }))
    ui.Error(kMsgCannotOpenArchive, archive_path);
  {
    zorl::KFile loaded(s.archive.File());  // a view of the whole file
    if (!s.protect.Add(loaded, static_cast<std::uint32_t>(loaded.GetSize())))
      ui.Error(kMsgCannotOpenArchive, archive_path);
  }

  UpdateContext context{ui, pacer, s.payload, s.archive, game_dir, &s.protect};
  DiskLooseFiles disk(&s.protect);
  CheckCommands(context, disk, options.planned);
  if (options.checked) options.checked();
  if (options.dry_run) return;
  for (;;) {
    ui.Pump();
    const std::int32_t position = s.payload.Tell();
    if (position < 0) ui.Error(kMsgCannotRead);
    const std::int32_t size = s.payload.GetSize();
    if (size < 0) ui.Error(kMsgCannotRead);
    if (position >= size) break;
    ui.Pump();
    std::uint32_t opcode;
    if (!ReadU32(s.payload, &opcode)) ui.Error(kMsgCannotRead);
    RunPatchCommand(opcode, context);
  }
  RebuildArchive(context);
  ui.ShowMessage(kMsgCompleted, MessageKind::kInformation);
}

}  // namespace

bool RunUpdate(UpdateUi& ui, const char* payload_exe, const char* game_dir,
               const RunOptions& options) {
  RunState state;
  ProgressPacer pacer(ui);
  bool completed = false;
  try {
    Run(ui, pacer, state, payload_exe, game_dir, options);
    completed = true;
  } catch (int signal) {
    if (signal != kFailureSignal) {
      state.CleanUp();
      throw;
    }
  } catch (...) {
    state.CleanUp();
    throw;
  }
  state.CleanUp();
  return completed;
}

}  // namespace updater
