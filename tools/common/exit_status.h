// The exit statuses every tool uses, so scripts can tell a wrong command
// line from an input that is not what the command works on and from a run
// that failed.
#ifndef TOOLS_COMMON_EXIT_STATUS_H_
#define TOOLS_COMMON_EXIT_STATUS_H_

namespace tools {

constexpr int kExitSuccess = 0;
// The work failed (a file could not be read or written, a check found
// problems, the run was interrupted).
constexpr int kExitFailure = 1;
// The command line was wrong: unknown subcommand or option, a missing or
// extra argument, a path that cp932 cannot hold.
constexpr int kExitUsage = 2;
// An input is not what the command works on (not an updater, not a game
// directory); commands that tell this apart from kExitFailure say so in
// their help.
constexpr int kExitWrongInput = 3;
// The game is another version than the one a patch was made for
// (kestrel-patch apply): nothing was changed.
constexpr int kExitWrongVersion = 4;

}  // namespace tools

#endif  // TOOLS_COMMON_EXIT_STATUS_H_
