// The producer's subcommands of kestrel-patch: build a payload from two
// game directories, pack it onto an updater stub, list a payload's
// commands. Exit status as for every subcommand (subcommands.h).
#ifndef TOOLS_KESTREL_PATCH_PRODUCER_COMMANDS_H_
#define TOOLS_KESTREL_PATCH_PRODUCER_COMMANDS_H_

#include "command_line.h"

namespace kpatch {

// kestrel-patch build OLD NEW -o PAYLOAD [--clear DIR]... [--verify] [--exact-order]
void AddBuildCommand(tools::CommandLine& cli);

// kestrel-patch pack STUB PAYLOAD -o UPDATER [--replace]
void AddPackCommand(tools::CommandLine& cli);

// kestrel-patch list UPDATER|PAYLOAD
void AddListCommand(tools::CommandLine& cli);

}  // namespace kpatch

#endif  // TOOLS_KESTREL_PATCH_PRODUCER_COMMANDS_H_
