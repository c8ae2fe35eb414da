// kestrel-patch SUBCOMMAND [ARGS...]: dispatches to one file per subcommand.
#include "producer_commands.h"
#include "subcommand.h"
#include "subcommands.h"

namespace {

const tools::Subcommand kSubcommands[] = {
    {"build", kpatch::BuildCommand, kpatch::kBuildSummary},
    {"pack", kpatch::PackCommand, kpatch::kPackSummary},
    {"list", kpatch::ListCommand, kpatch::kListSummary},
    {"apply", kpatch::ApplyCommand, kpatch::kApplySummary},
};

}  // namespace

int main(int argc, char** argv) {
  return tools::DispatchSubcommand("kestrel-patch", kSubcommands,
                                   sizeof kSubcommands / sizeof *kSubcommands,
                                   argc, argv);
}
