// The subcommands of kestrel-image, each declared on the tools' shared front
// door. Exit status: 0 success, 1 the work failed (a file could not be
// opened, read or written), 2 the command line was wrong, 3 a file is no
// picture the image library reads.
#ifndef TOOLS_KESTREL_IMAGE_IMAGE_COMMANDS_H_
#define TOOLS_KESTREL_IMAGE_IMAGE_COMMANDS_H_

#include "command_line.h"

namespace kimage {

using tools::kExitFailure;
using tools::kExitSuccess;
using tools::kExitUsage;
using tools::kExitWrongInput;

// The footer of both subcommands' help.
extern const char kExitStatuses[];
// The help of both subcommands' --max-pixels.
extern const char kMaxPixelsHelp[];

void AddInfoCommand(tools::CommandLine& cli);
void AddConvertCommand(tools::CommandLine& cli);

}  // namespace kimage

#endif  // TOOLS_KESTREL_IMAGE_IMAGE_COMMANDS_H_
