// The "TOOL SUBCOMMAND [ARGS...]" front door shared by the tools.
#ifndef TOOLS_COMMON_SUBCOMMAND_H_
#define TOOLS_COMMON_SUBCOMMAND_H_

#include <cstddef>

namespace tools {

struct Subcommand {
  const char* name;
  int (*run)(int argc, char** argv);  // gets the arguments after the name
  const char* summary;                // one line for the usage text
};

// Runs the subcommand named by argv[1] with the arguments after it. No
// name or an unknown one prints the usage to stderr and returns 2;
// "--help", "-h" or "help" prints it to stdout and returns 0.
int DispatchSubcommand(const char* tool, const Subcommand* subcommands,
                       std::size_t count, int argc, char** argv);

}  // namespace tools

#endif  // TOOLS_COMMON_SUBCOMMAND_H_
