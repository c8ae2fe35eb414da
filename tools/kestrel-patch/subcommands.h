// The subcommands of kestrel-patch. Each takes the arguments after its own
// name and returns the process's exit status: 0 success, 1 the work
// failed, 2 the command line was wrong.
#ifndef TOOLS_KESTREL_PATCH_SUBCOMMANDS_H_
#define TOOLS_KESTREL_PATCH_SUBCOMMANDS_H_

namespace kpatch {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// kestrel-patch apply PATCH [--dir GAME]
int ApplyCommand(int argc, char** argv);
extern const char kApplySummary[];

}  // namespace kpatch

#endif  // TOOLS_KESTREL_PATCH_SUBCOMMANDS_H_
