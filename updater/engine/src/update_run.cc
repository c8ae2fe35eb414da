#include "engine/update_run.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/archive_rebuild.h"
#include "engine/command_check.h"
#include "engine/directory_tree.h"
#include "engine/files_in_use.h"
#include "engine/journal_recovery.h"
#include "engine/loose_files.h"
#include "engine/manifest.h"
#include "engine/messages.h"
#include "engine/patch_commands.h"
#include "engine/patch_format.h"
#include "engine/path_resolve.h"
#include "engine/payload.h"
#include "engine/progress.h"
#include "engine/protected_files.h"
#include "engine/space_check.h"
#include "engine/undo_journal.h"
#include "engine/resource_archive.h"
#include "engine/version_check.h"
#include "engine/write_proof.h"
#include "foundation/kfile.h"
#include "foundation/ktext.h"
#include "platform/filesystem.h"
#include "platform/files_in_use.h"
#include "platform/last_failure.h"

namespace updater {
namespace {

// The journal's view of a planned command that writes or deletes a loose
// file; nothing for any other.
std::optional<ExpectedChange::Kind> ExpectedKind(PlannedAction action) {
  switch (action) {
    case PlannedAction::kCreateFile: return ExpectedChange::Kind::kCreate;
    case PlannedAction::kOverwriteFile: return ExpectedChange::Kind::kOverwrite;
    case PlannedAction::kDeleteFile: return ExpectedChange::Kind::kDelete;
    default: return std::nullopt;
  }
}

// The manifest at the end of `exe` (whose overlay starts at `payload_at`).
ManifestLookup ReadManifest(const char* exe, std::uint32_t payload_at,
                            Manifest* manifest, std::uint32_t* body_at) {
  zorl::KFile file;
  if (!file.Open(zorl::KFILE_READ, exe)) return ManifestLookup::kNone;
  return ReadUpdaterManifest(file, payload_at, manifest, body_at);
}

// The maker's choices: the language of the run's texts and the caption.
void UseManifestTexts(UpdateUi& ui, const Manifest& m) {
  Language language = Language::kJapanese;
  if (m.language == MessageLanguage::kEnglish ||
      (m.language == MessageLanguage::kAuto && !UserInterfaceIsJapanese()))
    language = Language::kEnglish;
  ui.SetLanguage(language);
  if (!m.caption.empty())
    ui.SetCaption(m.caption);
  else if (language != Language::kJapanese)
    ui.SetCaption(ui.Text(kWindowTitle));  // ASCII: the same in UTF-8
  // The window starts with the Japanese status line of its template.
  if (language != Language::kJapanese) ui.SetStatus(ui.Text(kStatusUpdating));
}

// What the run owns; clean-up is the same on every path.
struct RunState {
  zorl::KFile payload;
  char payload_name[zorl::kNameBufferSize] = {};
  ResourceArchive archive;
  ProtectedFiles protect;
  UndoJournal journal;
  RunStatus status = RunStatus::kFailed;
  Manifest manifest;
  std::unique_ptr<WriteProof> proof;

  // With `ui`, undoing keeps the interface answering and a failure to
  // finish is told: the journal stays, and the message names it.
  void CleanUp(UpdateUi* ui) {
    archive.Close();
    if (payload_name[0]) {
      payload.Close();
      RemoveTemporaryFile(payload_name);
      payload_name[0] = '\0';
    }
    // A run that ends before its commit puts the game folder back as it
    // was; after the commit only the journal's leftovers go. What cannot be
    // undone now stays journalled for the next run.
    if (!journal.IsOpen()) return;
    UndoJournal& j = journal;
    const std::string record_path = j.RecordPath();
    const auto finish = [&j] { return j.IsCommitted() ? j.Discard() : j.Undo(); };
    bool finished = false;
    if (!ui) {
      finished = finish();
    } else {
      try {
        bool quit = false;  // the undo finishes first; the run ends anyway
        finished = ui->WaitPumping(finish, &quit);
      } catch (...) {
        // Another exception from the interface: the undo has ended, and
        // the exception that ends the run is already on its way.
        return;
      }
    }
    if (finished || !ui) return;
    char text[2048];
    std::snprintf(text, sizeof text, kMsgCannotOpenArchive, record_path.c_str());
    ui->ShowMessage(text, MessageKind::kError);
  }
};

// Whether what just failed was refused for lack of rights.
bool RefusedForRights() {
  for (const platform::FailedOperation& failed : platform::RecentFailures())
    if (failed.kind == platform::FailureKind::kAccessDenied) return true;
  return false;
}

void WaitForFiles(UpdateUi& ui, RunState& s, const std::vector<std::string>& paths,
                  const RunOptions& options) {
  if (WaitUntilFilesAreFree(ui, paths, options.in_use)) return;
  s.status = RunStatus::kFilesInUse;
  throw kFailureSignal;
}

void CheckSpace(UpdateUi& ui, RunState& s, const char* game_dir, std::uint64_t need) {
  std::uint64_t free_bytes = 0;
  if (EnoughSpace(game_dir, need, &free_bytes)) return;
  s.status = RunStatus::kNoSpace;
  ui.Error(kMsgNoSpace, SpaceDetail(need, free_bytes, ui.language()).c_str());
}

// Between the run and the front end's interface: a failure that met a
// file another program holds (the game started mid-run) is told as that,
// with the same text the check before the first change shows.
class RunUi : public UpdateUi {
 public:
  RunUi(UpdateUi& ui, RunState& s) : ui_(ui), s_(s) {}
  void ShowName(const char* name) override { ui_.ShowName(name); }
  void SetStatus(const char* text) override { ui_.SetStatus(text); }
  void SetProgress(int position) override { ui_.SetProgress(position); }
  void Pump() override { ui_.Pump(); }
  bool AskRetry(const char* text) override { return ui_.AskRetry(text); }
  void SetCaption(const std::string& utf8) override { ui_.SetCaption(utf8); }
  void ShowMessageUtf8(const std::string& utf8, MessageKind kind) override {
    ui_.ShowMessageUtf8(utf8, kind);
  }
  void ShowMessage(const char* text, MessageKind kind) override {
    if (kind == MessageKind::kError && s_.status == RunStatus::kFailed) {
      for (const platform::FailedOperation& failed : platform::RecentFailures()) {
        if (failed.kind != platform::FailureKind::kInUse || failed.path.empty()) continue;
        FilesInUse found;
        found.files.push_back(failed.path);
        found.programs = platform::ProgramsUsing(found.files);
        s_.status = RunStatus::kFilesInUse;
        return ui_.ShowMessage(InUseMessage(*this, found).c_str(), MessageKind::kWarning);
      }
    }
    ui_.ShowMessage(text, kind);
  }

 private:
  UpdateUi& ui_;
  RunState& s_;
};

void Run(UpdateUi& ui, ProgressPacer& pacer, RunState& s,
         const char* payload_exe, const char* game_dir,
         const RunOptions& options) {
  // Before anything else: what an earlier run that was killed left.
  Recovery recovery;
  ui.WaitPumping([&recovery, game_dir] {
    recovery = RecoverJournal(game_dir);
    return true;
  });
  if (recovery.result != Recovery::Result::kNothing && options.recovered)
    options.recovered(recovery);
  switch (recovery.result) {
    case Recovery::Result::kNothing:
    case Recovery::Result::kUndone:
    case Recovery::Result::kCompleted:
      break;
    default:
      // Left as it is: a run must not work on a half-updated folder.
      ui.Error(kMsgCannotOpenArchive, recovery.record_path.c_str());
  }
  // The game still running holds mareld.dat: asked before anything is
  // written, so the folder stays exactly as it was while the player
  // closes it.
  char archive_path[zorl::kNameBufferSize];
  const bool archive_resolved = ResolvePath(game_dir, kArchiveFileName, archive_path);
  if (archive_resolved && !options.dry_run) WaitForFiles(ui, s, {archive_path}, options);
  const bool journalled = options.journal && !options.dry_run;
  if (journalled) {
    if (!s.journal.Create(game_dir)) {
      if (RefusedForRights() && options.folder_refused && options.folder_refused(ui)) {
        s.status = RunStatus::kFolderRefused;
        throw kFailureSignal;
      }
      ui.Error(kMsgCannotOpen);
    }
    s.protect.AddFolder(s.journal.Folder(), kJournalFolderName,
                        s.journal.FolderIdentity());
  }
  bool archive_loaded = false;
  auto load_archive = [&] {
    if (!ResolvePath(game_dir, kArchiveFileName, archive_path))
      ui.Error(kMsgCannotOpenArchive,
               ResolvedPath(game_dir, kArchiveFileName).c_str());
    if (!s.archive.Load(archive_path,
                        [&pacer](std::int64_t, std::int64_t) { pacer.Tick(); }))
      ui.Error(kMsgCannotOpenArchive, archive_path);
    zorl::KFile loaded(s.archive.File());  // a view of the whole file
    if (!s.protect.Add(loaded, static_cast<std::uint32_t>(loaded.GetSize())))
      ui.Error(kMsgCannotOpenArchive, archive_path);
    archive_loaded = true;
  };

  {
    zorl::KFile source;
    if (!LocatePayload(payload_exe, source)) ui.Error(kMsgCannotOpen);
    // The running updater: the view starts at the overlay and reaches to
    // the end of the file.
    if (!s.protect.Add(source, std::uint64_t{source.Base()} +
                                   static_cast<std::uint32_t>(source.GetSize())))
      ui.Error(kMsgCannotOpen);
    // The manifest comes before inflating: a game that is already updated
    // or another version costs no inflation and changes nothing.
    std::uint32_t body_at = 0;
    const ManifestLookup lookup =
        ReadManifest(payload_exe, source.Base(), &s.manifest, &body_at);
    if (options.manifest_read) options.manifest_read(lookup, s.manifest);
    if (lookup == ManifestLookup::kDamaged) ui.Error(kMsgCannotOpen);
    const bool has_manifest = lookup == ManifestLookup::kFound;
    if (has_manifest) {
      UseManifestTexts(ui, s.manifest);
      load_archive();
      if (!options.skip_version_check) {
        const VersionReport report = CheckVersion(
            s.manifest, game_dir, s.archive, [&pacer] { pacer.Tick(); });
        if (options.version_checked) options.version_checked(report);
        if (report.state == VersionState::kAfter) {
          ui.ShowMessage(ui.Text(kMsgAlreadyApplied), MessageKind::kInformation);
          return;
        }
        if (report.state == VersionState::kNeither) {
          s.status = RunStatus::kWrongVersion;
          ui.Error(kMsgWrongVersion, report.misfits.front().record->name.c_str());
        }
      }
      s.proof.reset(new WriteProof(s.manifest));
    }
    if (journalled)
      s.journal.CreateTemporary(game_dir, s.payload_name);
    else
      platform::MakeTempFile(game_dir, "qx", s.payload_name);
    // The inflated payload must fit before it is written; the check after
    // the command check adds what the commands write.
    if (has_manifest && !options.dry_run)
      CheckSpace(ui, s, game_dir, s.manifest.inflated_size);
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
    // The stream must end where the manifest begins and inflate to the
    // size it names; without a manifest, what follows a stream must not be
    // the start of one whose end was cut off.
    const std::int32_t stream_end = source.Tell();
    if (has_manifest
            ? (stream_end < 0 || std::uint64_t{source.Base()} + stream_end != body_at ||
               static_cast<std::uint64_t>(s.payload.GetSize()) != s.manifest.inflated_size)
            : (stream_end >= 0 &&
               LooksLikeManifestBody(source, static_cast<std::uint32_t>(stream_end))))
      ui.Error(kMsgCannotOpen);
    if (!s.payload.Seek(zorl::KSEEK_BEGIN, 0) ||
        !s.protect.Add(s.payload, static_cast<std::uint32_t>(s.payload.GetSize())))
      ui.Error(kMsgCannotOpen);
  }  // the executable is released here

  if (!archive_loaded) load_archive();

  UpdateContext context{ui, pacer, s.payload, s.archive, game_dir, &s.protect,
                        journalled ? &s.journal : nullptr, s.proof.get()};
  DiskLooseFiles disk(&s.protect);
  // What the commands will replace, delete or rename, and the room they
  // need, as the check passes them.
  // mareld.dat is not among them: the run holds it open itself now, and it
  // was found free before anything began.
  std::vector<std::string> changed;
  std::vector<std::string> trees;
  SpaceNeed need(s.archive);
  // The loose files the commands write and delete, for the journal to
  // record in batches; any other command on loose files ends a batch.
  std::vector<ExpectedChange> expected;
  std::uint32_t batch = 0;
  CheckCommands(context, disk, [&](const PlannedCommand& p) {
    if (p.action == PlannedAction::kOverwriteFile || p.action == PlannedAction::kDeleteFile)
      changed.push_back(p.path);
    if (p.action == PlannedAction::kEmptyTree) trees.push_back(p.path);
    if (const auto kind = ExpectedKind(p.action))
      expected.push_back({*kind, p.path, batch});
    else if (p.path[0])
      ++batch;
    need.Add(p);
    if (options.planned) options.planned(p);
  });
  if (journalled) s.journal.Expect(std::move(expected));
  if (options.checked) options.checked();
  if (options.dry_run) return;
  for (const std::string& tree : trees) {
    std::string ignored;
    WalkTree(tree.c_str(), [&pacer] { pacer.Tick(); },
             [&changed](const TreeFile& file) {
               if (!file.is_link) changed.push_back(file.path);
               return true;
             },
             &ignored);
  }
  WaitForFiles(ui, s, changed, options);
  CheckSpace(ui, s, game_dir, need.Bytes());
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
  // The old files the journal kept (as large as what the update replaced)
  // are deleted while the interface keeps answering; a quit meanwhile
  // ends the run once they are gone, without the completion message.
  if (journalled) {
    // The payload's temporary file is done with; closed, the journal's
    // removal can delete it (Windows refuses to delete an open file).
    s.payload.Close();
    if (s.payload_name[0] && RemoveTemporaryFile(s.payload_name)) s.payload_name[0] = '\0';
    bool quit = false;
    UndoJournal& journal = s.journal;
    ui.WaitPumping([&journal] { return journal.Discard(); }, &quit);
    if (quit) throw kFailureSignal;
  }
  if (!s.manifest.completion.empty())
    ui.ShowMessageUtf8(s.manifest.completion, MessageKind::kInformation);
  else
    ui.ShowMessage(ui.Text(kMsgCompleted), MessageKind::kInformation);
}

}  // namespace

bool RunUpdate(UpdateUi& ui, const char* payload_exe, const char* game_dir,
               const RunOptions& options) {
  RunState state;
  RunUi run_ui(ui, state);
  ProgressPacer pacer(run_ui);
  bool completed = false;
  // Failures are looked at from here on (a sharing violation mid-run).
  platform::ForgetLastFailure();
  auto report = [&state, &options] {
    if (options.status) *options.status = state.status;
  };
  try {
    Run(run_ui, pacer, state, payload_exe, game_dir, options);
    completed = true;
    state.status = RunStatus::kCompleted;
  } catch (int signal) {
    if (signal != kFailureSignal) {
      state.CleanUp(nullptr);
      report();
      throw;
    }
    if (state.proof && !state.proof->failed().empty() && options.proof_failed)
      options.proof_failed(state.proof->failed());
  } catch (...) {
    state.CleanUp(nullptr);
    report();
    throw;
  }
  state.CleanUp(&ui);
  report();
  return completed;
}

}  // namespace updater
