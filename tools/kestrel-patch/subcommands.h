// The subcommands of kestrel-patch, each declared on the tools' shared
// front door. Exit status: 0 success, 1 the work failed, 2 the command
// line was wrong; apply also 3, for an input that is no updater or no game
// folder (exit_status.h).
#ifndef TOOLS_KESTREL_PATCH_SUBCOMMANDS_H_
#define TOOLS_KESTREL_PATCH_SUBCOMMANDS_H_

#include "command_line.h"

namespace kpatch {

using tools::kExitFailure;
using tools::kExitSuccess;
using tools::kExitUsage;

// kestrel-patch apply PATCH [--dir GAME] [--dry-run] [--allow-outside] [-v]
void AddApplyCommand(tools::CommandLine& cli);
// kestrel-patch recover --dir GAME
void AddRecoverCommand(tools::CommandLine& cli);

}  // namespace kpatch

#endif  // TOOLS_KESTREL_PATCH_SUBCOMMANDS_H_
