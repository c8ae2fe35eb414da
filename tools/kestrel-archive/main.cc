// kestrel-archive SUBCOMMAND [ARGS...]: the resource archive tool.
#include "archive_commands.h"

int main(int argc, char** argv) {
  tools::CommandLine cli(
      "kestrel-archive",
      "Lists, extracts, creates, edits, checks and compares resource\n"
      "archives (mareld.dat). Names are cp932 inside an archive and UTF-8 on\n"
      "a Linux terminal and file system.");
  karchive::AddListCommand(cli);
  karchive::AddExtractCommand(cli);
  karchive::AddCreateCommand(cli);
  karchive::AddEditCommands(cli);
  karchive::AddCheckCommand(cli);
  karchive::AddDiffCommand(cli);
  return cli.Run(argc, argv);
}
