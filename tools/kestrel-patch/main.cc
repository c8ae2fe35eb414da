// kestrel-patch SUBCOMMAND [ARGS...]: one file per subcommand.
#include "platform/fault.h"
#include "producer_commands.h"
#include "subcommands.h"

int main(int argc, char** argv) {
  // Tests of apply's refusals arm the seam through the environment.
  platform::ArmFaultsFromEnvironment();
  tools::CommandLine cli(
      "kestrel-patch",
      "Builds patch payloads from two game directories, packs them onto the\n"
      "updater, lists them, and applies an updater's patch to a game\n"
      "directory the way the updater itself would, or undoes what an\n"
      "interrupted update left.");
  kpatch::AddBuildCommand(cli);
  kpatch::AddPackCommand(cli);
  kpatch::AddListCommand(cli);
  kpatch::AddApplyCommand(cli);
  kpatch::AddRecoverCommand(cli);
  return cli.Run(argc, argv);
}
