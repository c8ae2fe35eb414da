// The producer's subcommands of kestrel-patch: build a payload from two
// game directories, pack it onto an updater stub, list a payload's
// commands. Exit status as for every subcommand (subcommands.h).
#ifndef TOOLS_KESTREL_PATCH_PRODUCER_COMMANDS_H_
#define TOOLS_KESTREL_PATCH_PRODUCER_COMMANDS_H_

namespace kpatch {

// kestrel-patch build OLD NEW -o PAYLOAD [--clear DIR]... [--verify]
int BuildCommand(int argc, char** argv);
extern const char kBuildSummary[];

// kestrel-patch pack STUB PAYLOAD -o UPDATER [--replace]
int PackCommand(int argc, char** argv);
extern const char kPackSummary[];

// kestrel-patch list UPDATER|PAYLOAD
int ListCommand(int argc, char** argv);
extern const char kListSummary[];

}  // namespace kpatch

#endif  // TOOLS_KESTREL_PATCH_PRODUCER_COMMANDS_H_
