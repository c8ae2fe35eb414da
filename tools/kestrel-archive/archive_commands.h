// The subcommands of kestrel-archive, each declared on the tools' shared
// front door. Exit status: 0 success, 1 the work failed (or, for check,
// the archive is invalid), 2 the command line was wrong.
#ifndef TOOLS_KESTREL_ARCHIVE_ARCHIVE_COMMANDS_H_
#define TOOLS_KESTREL_ARCHIVE_ARCHIVE_COMMANDS_H_

#include "command_line.h"

namespace karchive {

using tools::kExitFailure;
using tools::kExitSuccess;
using tools::kExitUsage;

void AddListCommand(tools::CommandLine& cli);
void AddExtractCommand(tools::CommandLine& cli);
void AddCreateCommand(tools::CommandLine& cli);
// add, remove and replace.
void AddEditCommands(tools::CommandLine& cli);
void AddCheckCommand(tools::CommandLine& cli);
void AddDiffCommand(tools::CommandLine& cli);

}  // namespace karchive

#endif  // TOOLS_KESTREL_ARCHIVE_ARCHIVE_COMMANDS_H_
