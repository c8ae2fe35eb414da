// kill_applier [OPTIONS] K PATCH GAME: runs PATCH's update against GAME as
// `kestrel-patch apply` does, and with K > 0 kills itself (SIGKILL) just
// before its K-th file operation, as a player's kill would. Prints the
// number of file operations and of flushes of a run that was not cut off.
// For the kill and power-cut sweeps; exit status 0 when the update (or the
// recovery) completed, 1 when it failed.
//
//   --recover             recover GAME's journal instead (PATCH unused)
//   --power-cut DATA NAMES HELD
//                         with the power-cut model (platform/power_cut.h):
//                         K counts flushes instead, and the power goes
//                         just before the K-th one, or after the run when
//                         the run makes fewer; DATA is dropped, zeroed or
//                         torn, NAMES lost or kept; HELD is an empty folder
//                         beside GAME for the deleted files
//   --read-only-deletes   deleting a read-only file fails, as on Windows
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/journal_recovery.h"
#include "engine/update_run.h"
#include "platform/fault.h"
#include "platform/power_cut.h"

namespace {

class QuietUi : public updater::UpdateUi {
 public:
  void ShowName(const char*) override {}
  void SetStatus(const char*) override {}
  void SetProgress(int) override {}
  void Pump() override {}
  void ShowMessage(const char*, updater::MessageKind) override {}
};

int Usage() {
  std::fprintf(stderr,
               "usage: kill_applier [--recover] [--power-cut DATA NAMES HELD] "
               "[--read-only-deletes] K PATCH GAME\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool recover = false, power_cut = false;
  platform::LostData data = platform::LostData::kDropped;
  bool names_kept = false;
  std::string held;
  int i = 1;
  for (; i < argc && argv[i][0] == '-' && argv[i][1] == '-'; ++i) {
    const std::string option = argv[i];
    if (option == "--recover") {
      recover = true;
    } else if (option == "--read-only-deletes") {
      platform::SimulateReadOnlyDeletes(true);
    } else if (option == "--power-cut" && i + 3 < argc) {
      power_cut = true;
      const std::string d = argv[++i], n = argv[++i];
      if (d == "dropped") data = platform::LostData::kDropped;
      else if (d == "zeroed") data = platform::LostData::kZeroed;
      else if (d == "torn") data = platform::LostData::kTorn;
      else return Usage();
      if (n != "lost" && n != "kept") return Usage();
      names_kept = n == "kept";
      held = argv[++i];
    } else {
      return Usage();
    }
  }
  if (argc - i != 3) return Usage();
  const long k = std::atol(argv[i]);
  const char* patch = argv[i + 1];
  const char* game = argv[i + 2];
  QuietUi ui;
  platform::ResetOperationCount();
  if (power_cut) {
    platform::StartPowerCutModel(held.c_str(), data, names_kept);
    platform::ArmPowerCut(k);
  } else if (k > 0) {
    platform::ArmKill(k);
  }
  bool completed;
  if (recover) {
    const updater::Recovery::Result r = updater::RecoverJournal(game).result;
    completed = r == updater::Recovery::Result::kNothing ||
                r == updater::Recovery::Result::kUndone ||
                r == updater::Recovery::Result::kCompleted;
  } else {
    completed = updater::RunUpdate(ui, patch, game);
  }
  // The power goes after a run that made fewer flushes: what it left
  // unflushed is lost.
  if (power_cut && k > 0) platform::PowerCutNow();
  std::printf("%ld %ld\n", platform::CountedOperations(), platform::FlushesSeen());
  return completed ? 0 : 1;
}
