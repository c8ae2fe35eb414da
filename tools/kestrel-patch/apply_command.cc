// kestrel-patch apply PATCH [--dir GAME]: runs an updater's patch against a
// game directory, exactly as the updater would run it on itself.
#include <cstdio>
#include <cstring>
#include <string>

#include "console_text.h"
#include "engine/update_run.h"
#include "foundation/kpath.h"
#include "foundation/ktext.h"
#include "subcommands.h"
#include "terminal_ui.h"

namespace kpatch {

const char kApplySummary[] = "run an updater's patch against a game directory";

namespace {

const char kApplyHelp[] =
    "usage: kestrel-patch apply PATCH [--dir GAME]\n"
    "\n"
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
    "cleans up; commands already run stay done, mareld.dat is left whole.\n"
    "\n"
    "options:\n"
    "  --dir GAME   the game directory (holds mareld.dat)\n"
    "  --help       show this help\n"
    "\n"
    "exit status: 0 when the update completed, 1 when it failed or was\n"
    "stopped, 2 for a wrong command line.\n";

int Usage(const char* problem) {
  std::fprintf(stderr, "kestrel-patch apply: %s\n\n%s", problem, kApplyHelp);
  return kExitUsage;
}

}  // namespace

int ApplyCommand(int argc, char** argv) {
  const char* patch_arg = nullptr;
  const char* dir_arg = nullptr;
  for (int i = 0; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
      std::fputs(kApplyHelp, stdout);
      return kExitSuccess;
    }
    if (std::strcmp(a, "--dir") == 0) {
      if (i + 1 >= argc) return Usage("--dir needs a directory");
      dir_arg = argv[++i];
    } else if (std::strncmp(a, "--dir=", 6) == 0) {
      dir_arg = a + 6;
    } else if (a[0] == '-' && a[1]) {
      return Usage((std::string("unknown option ") + a).c_str());
    } else if (!patch_arg) {
      patch_arg = a;
    } else {
      return Usage("only one PATCH may be given");
    }
  }
  if (!patch_arg) return Usage("PATCH is missing");

  std::string patch, dir;
  if (!tools::ArgumentToCp932(patch_arg, &patch) ||
      (dir_arg && !tools::ArgumentToCp932(dir_arg, &dir))) {
    std::fprintf(stderr,
                 "kestrel-patch apply: a path has characters that the game's "
                 "code page (cp932) cannot hold\n");
    return kExitFailure;
  }
  if (!dir_arg) {
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

}  // namespace kpatch
