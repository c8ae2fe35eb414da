// kestrel-patch apply PATCH [--dir GAME]: runs an updater's patch against a
// game directory, exactly as the updater would run it on itself.
#include <cstdio>
#include <memory>
#include <string>

#include "console_text.h"
#include "engine/update_run.h"
#include "foundation/kpath.h"
#include "foundation/ktext.h"
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
    "It prints the name of each file or entry it works on, a progress bar\n"
    "when the output is a terminal, and the updater's own messages: errors\n"
    "on stderr, the completion message on stdout. Ctrl-C stops the run and\n"
    "cleans up; commands already run stay done, mareld.dat is left whole.";

struct ApplyArguments {
  std::string patch, dir;
  bool dir_given = false;
};

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

  TerminalUi ui;
  const bool completed = updater::RunUpdate(ui, patch.c_str(), game_dir.c_str());
  if (!completed && ui.Interrupted())
    std::fprintf(stderr, "kestrel-patch apply: interrupted\n");
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
      .Footer("exit status: 0 when the update completed, 1 when it failed or "
              "was stopped, 2 for a wrong command line.");
}

}  // namespace kpatch
