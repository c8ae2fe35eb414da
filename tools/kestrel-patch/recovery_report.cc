#include "recovery_report.h"

#include <cstdio>

#include "display_name.h"

namespace kpatch {

bool PrintRecovery(const char* tool, const char* game_dir, const updater::Recovery& r) {
  using Result = updater::Recovery::Result;
  const std::string game = tools::ShowName(game_dir);
  const std::string journal = tools::ShowName(r.record_path);
  switch (r.result) {
    case Result::kNothing:
      std::printf("no journal of an interrupted run in %s: nothing to recover\n", game.c_str());
      return true;
    case Result::kUndone:
      std::printf("an interrupted update had not completed; %s is put back as it was before it:\n",
                  game.c_str());
      break;
    case Result::kCompleted:
      std::printf("an interrupted update had completed; removed what it left behind in %s:\n",
                  game.c_str());
      break;
    case Result::kInUse:
      std::fprintf(stderr,
                   "%s: %s belongs to an update that is still running; left alone\n", tool,
                   journal.c_str());
      return false;
    case Result::kDamaged:
      std::fprintf(stderr,
                   "%s: %s cannot be read whole; it is left in place and nothing was put "
                   "back\n",
                   tool, journal.c_str());
      return false;
    case Result::kFailed:
      break;
  }
  for (const updater::JournalReport::Entry& e : r.report.entries) {
    const char* what = "";
    switch (e.step) {
      case updater::JournalReport::Step::kPutBack: what = "put back         "; break;
      case updater::JournalReport::Step::kRemovedFile: what = "removed          "; break;
      case updater::JournalReport::Step::kRemovedDirectory: what = "removed directory"; break;
    }
    std::printf("  %s %s\n", what, tools::ShowName(e.path).c_str());
  }
  if (r.result == Result::kFailed) {
    std::fprintf(stderr,
                 "%s: not everything could be put back; %s stays for another try\n", tool,
                 journal.c_str());
    return false;
  }
  return true;
}

}  // namespace kpatch
