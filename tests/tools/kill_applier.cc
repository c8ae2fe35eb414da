// kill_applier K PATCH GAME: runs PATCH's update against GAME as
// `kestrel-patch apply` does, and with K > 0 kills itself (SIGKILL) just
// before its K-th file operation, as a player's kill would. Prints the
// number of file operations of a run that was not killed. For the kill
// sweep; exit status 0 when the update completed, 1 when it failed.
#include <cstdio>
#include <cstdlib>

#include "engine/update_run.h"
#include "platform/fault.h"

namespace {

class QuietUi : public updater::UpdateUi {
 public:
  void ShowName(const char*) override {}
  void SetStatus(const char*) override {}
  void SetProgress(int) override {}
  void Pump() override {}
  void ShowMessage(const char*, updater::MessageKind) override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: kill_applier K PATCH GAME\n");
    return 2;
  }
  const long k = std::atol(argv[1]);
  QuietUi ui;
  platform::ResetOperationCount();
  if (k > 0) platform::ArmKill(k);
  const bool completed = updater::RunUpdate(ui, argv[2], argv[3]);
  std::printf("%ld\n", platform::CountedOperations());
  return completed ? 0 : 1;
}
