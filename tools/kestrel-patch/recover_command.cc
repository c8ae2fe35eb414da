// kestrel-patch recover --dir GAME: finishes what an interrupted update
// left in GAME (its undo journal), and nothing else.
#include <cstdio>
#include <memory>
#include <string>

#include "console_text.h"
#include "display_name.h"
#include "engine/journal_recovery.h"
#include "platform/filesystem.h"
#include "recovery_report.h"
#include "subcommands.h"

namespace kpatch {

namespace {

const char kDescription[] =
    "An update (of the updater or of kestrel-patch apply) keeps an undo\n"
    "journal in the game directory, the folder qxundo, while it runs, and\n"
    "removes it when it ends. A journal found later belongs to an update\n"
    "that was killed. recover finishes it: if that update had not\n"
    "completed, every file it wrote, deleted or created and every directory\n"
    "it made is put back as it was; if it had (its new mareld.dat is in\n"
    "place), what it left behind is removed. It prints what it put back or\n"
    "removed. The updater and kestrel-patch apply do the same by\n"
    "themselves before they start.\n"
    "\n"
    "A journal that cannot be read whole, or that belongs to an update\n"
    "still running, is left alone and reported.";

struct RecoverArguments {
  std::string dir;
};

int Recover(const RecoverArguments& a) {
  std::string game_dir;
  if (!tools::AbsoluteDirectory(a.dir, &game_dir)) {
    std::fprintf(stderr, "kestrel-patch recover: the working directory is unknown\n");
    return kExitFailure;
  }
  // A mistyped GAME must not read as a folder with nothing to recover.
  if (platform::GetPathKind(game_dir.c_str()) != platform::PathKind::kDirectory) {
    std::fprintf(stderr, "kestrel-patch recover: %s is not a directory: not a game folder\n",
                 tools::ShowName(game_dir).c_str());
    return tools::kExitWrongInput;
  }
  const updater::Recovery r = updater::RecoverJournal(game_dir.c_str());
  return PrintRecovery("kestrel-patch recover", game_dir.c_str(), r) ? kExitSuccess
                                                                      : kExitFailure;
}

}  // namespace

void AddRecoverCommand(tools::CommandLine& cli) {
  auto a = std::make_shared<RecoverArguments>();
  cli.Add("recover", "undo (or finish) what an interrupted update left",
          kDescription, [a] { return Recover(*a); })
      .PathOption("--dir", "GAME", &a->dir, "the game directory", true)
      .Footer("exit status: 0 when there was nothing to recover or the journal was "
              "undone or finished, 1 when it was left alone or not everything could be "
              "put back, 2 for a wrong command line, 3 when GAME is not a directory.");
}

}  // namespace kpatch
