// The subcommands of kestrel-archive. Each takes the arguments after its
// own name and returns the exit status: 0 success, 1 the work failed (or,
// for check, the archive is invalid), 2 the command line was wrong.
#ifndef TOOLS_KESTREL_ARCHIVE_ARCHIVE_COMMANDS_H_
#define TOOLS_KESTREL_ARCHIVE_ARCHIVE_COMMANDS_H_

namespace karchive {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int ListCommand(int argc, char** argv);
int ExtractCommand(int argc, char** argv);
int CreateCommand(int argc, char** argv);
int AddCommand(int argc, char** argv);
int RemoveCommand(int argc, char** argv);
int ReplaceCommand(int argc, char** argv);
int CheckCommand(int argc, char** argv);

}  // namespace karchive

#endif  // TOOLS_KESTREL_ARCHIVE_ARCHIVE_COMMANDS_H_
