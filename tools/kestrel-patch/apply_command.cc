// kestrel-patch apply PATCH [--dir GAME] [--dry-run] [--allow-outside] [-v]
//   [--skip-version-check] [--all]:
// runs an updater's patch against a game directory, exactly as the updater
// would run it on itself; or only shows what it would do.
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "console_text.h"
#include "display_name.h"
#include "engine/little_endian.h"
#include "engine/patch_format.h"
#include "engine/planned_files.h"
#include "engine/resource_archive.h"
#include "engine/run_log.h"
#include "engine/run_status.h"
#include "engine/update_run.h"
#include "foundation/kpath.h"
#include "foundation/ktext.h"
#include "failure_reason.h"
#include "platform/filesystem.h"
#include "platform/last_failure.h"
#include "platform/process.h"
#include "recovery_report.h"
#include "subcommands.h"
#include "terminal_ui.h"

namespace kpatch {

namespace {

const char kDescription[] =
    "Runs the update carried by PATCH, an updater executable with its patch\n"
    "payload appended, against the game directory GAME (default: the\n"
    "directory that holds PATCH, where the updater itself would run).\n"
    "\n"
    "As the updater does, it inflates the payload into a temporary file\n"
    "qx*.tmp in GAME, loads GAME/mareld.dat, runs every patch command\n"
    "(writing and deleting files, creating directories, emptying trees,\n"
    "adding and removing archive entries), writes the new archive and swaps\n"
    "it in for mareld.dat, then removes its temporary files.\n"
    "\n"
    "Before the first change it reads the whole command stream: a payload\n"
    "that is cut short or broken, a file or entry to delete that is not\n"
    "there, a path too long for the updater, or a command that would touch\n"
    "mareld.dat, the payload or the updater itself fails with the updater's\n"
    "message and changes nothing. Names that resolve outside GAME (rooted,\n"
    "with a drive letter, or going up with \"..\") are refused then too,\n"
    "unless --allow-outside is given: the updater follows them on a\n"
    "player's machine, but a patch from someone else should not write\n"
    "there unnoticed.\n"
    "\n"
    "On a terminal one line shows the run as it goes: a bar, the share of\n"
    "the payload processed, the commands done and the name at hand; with\n"
    "--verbose every name is printed on a line of its own (off a terminal\n"
    "only then). The updater's own messages follow: errors on stderr, the\n"
    "completion message on stdout, then a summary line (commands by kind,\n"
    "bytes written, the archive's entries and size, the time taken). Under an\n"
    "error message a second line says in English what went wrong and where.\n"
    "Before the first change it also makes sure no other program holds a\n"
    "file the run will replace, delete or rename (the game still running:\n"
    "the files and the programs are listed, status 5), that GAME's disk\n"
    "has room for the run (both figures are shown) and that GAME is\n"
    "writable; apply never asks for administrator rights.\n"
    "Ctrl-C stops the run and cleans up. A run that fails or is stopped\n"
    "leaves GAME exactly as it was: every change is kept in an undo journal\n"
    "(the folder qxundo in GAME) until the update completes. A journal left\n"
    "by a run that was killed is found and undone first (see kestrel-patch\n"
    "recover).\n"
    "\n"
    "A patch made with a version manifest (the default of build) first\n"
    "compares the game with it, before anything is inflated or changed:\n"
    "every file and entry the patch touches as the patch expects to find it\n"
    "applies; every one as the patch leaves it means the game is already up\n"
    "to date (exit status 0, nothing changed); anything else is another\n"
    "version: nothing changes, and every item that fits neither is listed\n"
    "(20 unless --all) with what it should hold before and after and what\n"
    "it holds (exit status 4). --skip-version-check applies anyway, for a\n"
    "maker who knows what the folder holds. What the run writes for those\n"
    "items is hashed as it is written: a result other than the manifest's\n"
    "undoes the run.\n"
    "\n"
    "With --dry-run it only checks, then prints every command with what it\n"
    "would do (create or overwrite a file, delete one, make a directory,\n"
    "empty a tree and how many files that deletes, put an entry new or\n"
    "replacing one, remove an entry; with the sizes) and a summary. Nothing\n"
    "in GAME changes.";

struct ApplyArguments {
  std::string patch, dir;
  bool dir_given = false;
  bool dry_run = false;
  bool allow_outside = false;
  bool verbose = false;
  bool skip_version_check = false;
  bool all = false;
};

const char* KindText(const updater::ManifestRecord& r) {
  return r.kind == updater::ManifestRecord::Kind::kLooseFile ? "file " : "entry";
}

// Every item that fits neither state (20 unless `all`), with what it
// should hold before and after the update and what it holds.
std::string Misfits(const updater::VersionReport& report, bool all) {
  std::string text;
  std::size_t shown = 0;
  for (const updater::FoundItem& item : report.misfits) {
    if (!all && shown == 20) {
      text += "  ... and " + std::to_string(report.misfits.size() - shown) +
              " more (--all lists every one)\n";
      break;
    }
    ++shown;
    const updater::ManifestRecord& r = *item.record;
    text += std::string("  ") + KindText(r) + " " + tools::ShowName(r.name) + "\n" +
            "      before: " + r.before.Describe() + "\n" +
            "      after:  " + r.after.Describe() + "\n" +
            "      found:  " + item.Describe() + "\n";
  }
  return text;
}

// "1.02 -> 1.03" from the manifest's labels, "" without them.
std::string Labels(const updater::Manifest& m) {
  if (m.from_label.empty() && m.to_label.empty()) return "";
  return tools::ShowText(m.from_label.empty() ? "?" : m.from_label) + " -> " +
         tools::ShowText(m.to_label.empty() ? "?" : m.to_label);
}

// The entry count and size of the archive at `path`, read from its
// header; false when it cannot be read.
bool ArchiveFigures(const std::string& path, std::uint32_t* entries,
                    std::uint64_t* bytes) {
  zorl::KFile file;
  unsigned char head[8];
  if (!file.Open(zorl::KFILE_READ, path.c_str()) || file.Read(8, head) != 8)
    return false;
  *entries = updater::LoadLe32(head + 4);
  const std::int32_t size = file.GetSize();
  *bytes = size > 0 ? static_cast<std::uint64_t>(size) : 0;
  return true;
}

const char* ActionText(updater::PlannedAction action) {
  using updater::PlannedAction;
  switch (action) {
    case PlannedAction::kCreateFile: return "write   create";
    case PlannedAction::kOverwriteFile: return "write   overwrite";
    case PlannedAction::kDeleteFile: return "delete";
    case PlannedAction::kMakeDirectory: return "mkdir   new";
    case PlannedAction::kDirectoryExists: return "mkdir   exists";
    case PlannedAction::kEmptyTree: return "clear";
    case PlannedAction::kPutNewEntry: return "put     new";
    case PlannedAction::kReplaceEntry: return "put     replace";
    case PlannedAction::kRemoveEntry: return "remove";
    case PlannedAction::kPatchFile: return "patch   file";
    case PlannedAction::kPatchEntry: return "patch   entry";
  }
  return "?";
}

// What a dry run adds up.
struct Summary {
  std::uint64_t commands = 0, created = 0, overwritten = 0, file_bytes = 0,
                deleted = 0, made = 0, trees = 0, tree_files = 0,
                entries_new = 0, entries_replaced = 0, entry_bytes = 0,
                removed = 0, patched_files = 0, patched_entries = 0, delta_bytes = 0,
                patched_bytes = 0;
  void Add(const updater::PlannedCommand& p) {
    using updater::PlannedAction;
    ++commands;
    const std::uint64_t size = p.size > 0 ? static_cast<std::uint64_t>(p.size) : 0;
    switch (p.action) {
      case PlannedAction::kCreateFile: ++created; file_bytes += size; break;
      case PlannedAction::kOverwriteFile: ++overwritten; file_bytes += size; break;
      case PlannedAction::kDeleteFile: ++deleted; break;
      case PlannedAction::kMakeDirectory: ++made; break;
      case PlannedAction::kDirectoryExists: break;
      case PlannedAction::kEmptyTree: ++trees; tree_files += p.files; break;
      case PlannedAction::kPutNewEntry: ++entries_new; entry_bytes += size; break;
      case PlannedAction::kReplaceEntry: ++entries_replaced; entry_bytes += size; break;
      case PlannedAction::kRemoveEntry: ++removed; break;
      case PlannedAction::kPatchFile:
        ++patched_files;
        patched_bytes += size;
        delta_bytes += p.delta;
        break;
      case PlannedAction::kPatchEntry:
        ++patched_entries;
        patched_bytes += size;
        delta_bytes += p.delta;
        break;
    }
  }
  // A line per kind of thing changed, so it reads on an 80-column terminal:
  //   9 commands:
  //     files:        1 created, 1 overwritten (11 bytes), 1 deleted
  //     directories:  1 made, 1 tree emptied (2 files)
  //     entries:      1 added, 1 replaced (7 bytes), 1 removed
  void Print() const {
    std::printf("%" PRIu64 " commands:\n", commands);
    std::printf("  files:        %" PRIu64 " created, %" PRIu64 " overwritten (%" PRIu64
                " bytes), %" PRIu64 " deleted\n",
                created, overwritten, file_bytes, deleted);
    std::printf("  directories:  %" PRIu64 " made, %" PRIu64 " %s emptied (%" PRIu64 " %s)\n",
                made, trees, trees == 1 ? "tree" : "trees", tree_files,
                tree_files == 1 ? "file" : "files");
    std::printf("  entries:      %" PRIu64 " added, %" PRIu64 " replaced (%" PRIu64
                " bytes), %" PRIu64 " removed\n",
                entries_new, entries_replaced, entry_bytes, removed);
    if (patched_files + patched_entries > 0)
      std::printf("  deltas:       %" PRIu64 " %s, %" PRIu64 " %s (%" PRIu64
                  " bytes rebuilt from %" PRIu64 ")\n",
                  patched_files, patched_files == 1 ? "file" : "files", patched_entries,
                  patched_entries == 1 ? "entry" : "entries", patched_bytes, delta_bytes);
  }
};

void PrintPlanned(const updater::PlannedCommand& p, bool outside) {
  char size[32] = "";
  if (p.action == updater::PlannedAction::kEmptyTree) {
    std::snprintf(size, sizeof size, "%" PRIu64 " files", p.files);
  } else if (p.opcode == 0 || p.opcode == 4 || p.opcode == updater::kOpPatchFile ||
             p.opcode == updater::kOpPatchEntry) {
    std::snprintf(size, sizeof size, "%" PRId64, p.size > 0 ? p.size : 0);
  }
  std::printf("%-17s %12s  %s%s\n", ActionText(p.action), size,
              tools::ShowName(p.name).c_str(),
              outside ? "   <-- outside the game directory" : "");
}

int Apply(const ApplyArguments& a) {
  const std::string& patch = a.patch;
  std::string dir = a.dir;
  if (!a.dir_given) {
    char patch_dir[zorl::kNameBufferSize];
    zorl::SplitPath(patch.c_str(), patch_dir, nullptr, nullptr);
    dir = patch_dir;
    if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  }
  std::string game_dir;
  if (!tools::AbsoluteDirectory(dir, &game_dir)) {
    std::fprintf(stderr, "kestrel-patch apply: the working directory is unknown\n");
    return kExitFailure;
  }
  if (game_dir.size() >= zorl::kNameBufferSize) {
    std::fprintf(stderr, "kestrel-patch apply: the game directory's path is too long\n");
    return kExitFailure;
  }

  if (a.dry_run && updater::JournalExists(game_dir.c_str())) {
    std::fprintf(stderr,
                 "kestrel-patch apply: %s holds the undo journal of an interrupted update "
                 "(qxundo); a dry run changes nothing, so it does not recover it: run "
                 "kestrel-patch recover --dir GAME (or apply without --dry-run)\n",
                 tools::ShowName(game_dir).c_str());
    return kExitFailure;
  }
  // Names the updater would follow out of the game directory.
  const bool fold = platform::NamesIgnoreCase();
  std::vector<std::string> outside;
  Summary summary;
  updater::RunOptions options;
  options.dry_run = a.dry_run;
  options.recovered = [&game_dir](const updater::Recovery& r) {
    PrintRecovery("kestrel-patch apply", game_dir.c_str(), r);
  };
  TerminalUi ui(platform::IsTerminal() && !a.dry_run, a.verbose,
                platform::TerminalColumns());
  options.planned = [&](const updater::PlannedCommand& p) {
    ui.Planned(p);
    const bool out = (p.opcode <= 3 || p.opcode == updater::kOpPatchFile) &&
                     !updater::PathIsInside(p.path, game_dir.c_str(), fold);
    if (out) outside.push_back(p.name);
    if (a.dry_run) {
      PrintPlanned(p, out);
      summary.Add(p);
    }
  };
  options.checked = [&] {
    if (outside.empty() || a.allow_outside) return;
    std::fprintf(stderr,
                 "kestrel-patch apply: %zu name%s of the patch resolve%s outside the game "
                 "directory %s:\n",
                 outside.size(), outside.size() == 1 ? "" : "s",
                 outside.size() == 1 ? "s" : "", tools::ShowName(game_dir).c_str());
    for (const std::string& name : outside)
      std::fprintf(stderr, "  %s\n", tools::ShowName(name).c_str());
    std::fprintf(stderr,
                 "nothing was changed; --allow-outside applies the patch anyway\n");
    throw updater::kFailureSignal;
  };

  // A file another program holds: every one of them, and who holds them.
  updater::FilesInUse in_use;
  options.in_use = [&in_use](const updater::FilesInUse& found) { in_use = found; };
  // apply never asks for administrator rights: it says so and stops.
  options.folder_refused = [&game_dir](updater::UpdateUi&) {
    std::fprintf(stderr,
                 "kestrel-patch apply: %s is not writable: its undo journal (qxundo) cannot be "
                 "created there (access denied); nothing was changed. Run it as a user who may "
                 "write the folder (an administrator for a folder under Program Files)\n",
                 tools::ShowName(game_dir).c_str());
    return true;
  };
  updater::RunStatus status = updater::RunStatus::kFailed;
  options.status = &status;
  options.skip_version_check = a.skip_version_check;
  updater::ManifestLookup lookup = updater::ManifestLookup::kNone;
  std::string labels;
  options.manifest_read = [&](updater::ManifestLookup l, const updater::Manifest& m) {
    lookup = l;
    if (l == updater::ManifestLookup::kFound) labels = Labels(m);
  };
  bool checked_version = false;
  updater::VersionState version = updater::VersionState::kBefore;
  std::string misfits;
  std::size_t misfit_count = 0;
  std::uint64_t version_items = 0;
  options.version_checked = [&](const updater::VersionReport& report) {
    checked_version = true;
    version = report.state;
    version_items = report.items;
    misfit_count = report.misfits.size();
    misfits = Misfits(report, a.all);
  };
  std::string proof_failed;
  options.proof_failed = [&](const std::string& item) { proof_failed = item; };

  platform::ForgetLastFailure();
  const bool completed =
      updater::RunUpdate(ui, patch.c_str(), game_dir.c_str(), options);
  if (!completed && status == updater::RunStatus::kFolderRefused) return kExitFailure;
  if (!completed && status == updater::RunStatus::kFilesInUse) {
    std::fprintf(stderr, "kestrel-patch apply: files in use by another program; nothing was "
                         "changed. Close %s, then run apply again.\n",
                 in_use.programs.empty() ? "the program (probably the game)" : "it");
    for (const std::string& program : in_use.programs)
      std::fprintf(stderr, "  program: %s\n", tools::ToConsole(program).c_str());
    for (const std::string& file : in_use.files)
      std::fprintf(stderr, "  file:    %s\n", tools::ShowName(file).c_str());
    return updater::kExitFilesInUse;
  }
  if (!completed && status == updater::RunStatus::kNoSpace) {
    std::fprintf(stderr, "kestrel-patch apply: not enough free disk space in %s (%s); nothing "
                         "was changed\n",
                 tools::ShowName(game_dir).c_str(),
                 updater::EnglishMessage(ui.error_message()).c_str());
    return kExitFailure;
  }
  const std::string for_labels = labels.empty() ? "" : " (" + labels + ")";
  if (checked_version && version == updater::VersionState::kNeither && !completed) {
    std::fprintf(stderr,
                 "kestrel-patch apply: %s is not the version this patch%s applies to: "
                 "%zu of %" PRIu64 " items fit neither what the patch expects before nor "
                 "what it leaves; nothing was changed\n%s",
                 tools::ShowName(game_dir).c_str(), for_labels.c_str(), misfit_count,
                 version_items, misfits.c_str());
    return tools::kExitWrongVersion;
  }
  if (checked_version && version == updater::VersionState::kAfter && completed) {
    std::printf("%s is already up to date%s: every one of the %" PRIu64
                " items is as the patch leaves it; nothing was changed\n",
                tools::ShowName(game_dir).c_str(), for_labels.c_str(), version_items);
    return kExitSuccess;
  }
  if (!proof_failed.empty() && !completed) {
    std::fprintf(stderr,
                 "kestrel-patch apply: what the run wrote for %s is not what the patch's "
                 "manifest records for it; the run was undone and %s is as it was\n",
                 tools::ShowName(proof_failed).c_str(), tools::ShowName(game_dir).c_str());
    return kExitFailure;
  }
  if (!completed && ui.Interrupted()) {
    std::fprintf(stderr, "kestrel-patch apply: interrupted\n");
  } else if (!completed && !ui.error_message().empty()) {
    // Under the updater's own words, what went wrong and where.
    const FailureReason reason = ExplainFailure(patch, game_dir, ui.error_message());
    std::fprintf(stderr, "kestrel-patch apply: %s\n", reason.text.c_str());
    return reason.status;
  }
  if (completed && a.dry_run) {
    if (lookup != updater::ManifestLookup::kFound)
      std::printf("version: the patch carries no version manifest; nothing to compare\n");
    else if (!checked_version)
      std::printf("version: not compared (--skip-version-check)\n");
    else
      std::printf("version: %s is the version this patch%s applies to (%" PRIu64
                  " items as it expects)\n",
                  tools::ShowName(game_dir).c_str(), for_labels.c_str(), version_items);
    summary.Print();
    std::printf("dry run: nothing was changed\n");
  } else if (completed) {
    std::uint32_t entries = 0;
    std::uint64_t bytes = 0;
    ArchiveFigures(game_dir + "/" + updater::kArchiveFileName, &entries, &bytes);
    std::printf("%s\n", ui.Summary(entries, bytes).c_str());
  }
  return completed ? kExitSuccess : kExitFailure;
}

}  // namespace

void AddApplyCommand(tools::CommandLine& cli) {
  auto a = std::make_shared<ApplyArguments>();
  cli.Add("apply", "run an updater's patch against a game directory",
          kDescription, [a] { return Apply(*a); })
      .Path("PATCH", &a->patch, "the updater executable")
      .PathOption("--dir", "GAME", &a->dir,
                  "the game directory (holds mareld.dat)", false, &a->dir_given)
      .Flag("--dry-run", &a->dry_run,
            "check and show what the patch would do; change nothing")
      .Flag("--allow-outside", &a->allow_outside,
            "apply names that resolve outside GAME")
      .Flag("--skip-version-check", &a->skip_version_check,
            "apply without comparing GAME with the patch's version manifest")
      .Flag("--all", &a->all,
            "list every item that fits neither version, not only the first 20")
      .Flag("-v,--verbose", &a->verbose,
            "print each file or entry name and status line as the run reaches it")
      .Footer("exit status: 0 the update completed, or GAME was already up to "
              "date (with --dry-run: the check passed); 1 it failed, was refused or "
              "was stopped; 2 wrong command "
              "line; 3 PATCH is not an updater (no file, not a Windows executable, "
              "no payload after its image) or GAME is not a game folder (no "
              "directory, no mareld.dat, or one that is not an archive); 4 GAME is "
              "another version than the patch was made for (nothing changed); 5 another "
              "program (the game) holds a file the update must change. Not enough free "
              "disk space and a GAME that is not writable give 1.");
}

}  // namespace kpatch
