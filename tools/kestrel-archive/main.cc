// kestrel-archive SUBCOMMAND [ARGS...]: the resource archive tool.
#include "archive_commands.h"
#include "subcommand.h"

namespace {

const tools::Subcommand kSubcommands[] = {
    {"list", karchive::ListCommand, "list entries: name, offset, size"},
    {"extract", karchive::ExtractCommand, "write entries out as files"},
    {"create", karchive::CreateCommand, "pack a directory into a new archive"},
    {"add", karchive::AddCommand, "add a file as a new entry"},
    {"remove", karchive::RemoveCommand, "remove entries"},
    {"replace", karchive::ReplaceCommand, "replace an entry's content"},
    {"check", karchive::CheckCommand, "validate an archive's directory"},
};

}  // namespace

int main(int argc, char** argv) {
  return tools::DispatchSubcommand("kestrel-archive", kSubcommands,
                                   sizeof kSubcommands / sizeof *kSubcommands,
                                   argc, argv);
}
