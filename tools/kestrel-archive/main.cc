// kestrel-archive SUBCOMMAND [ARGS...]: the resource archive tool.
#include <cstdio>
#include <cstring>

#include "archive_commands.h"

namespace {

struct Subcommand {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* summary;
};

const Subcommand kSubcommands[] = {
    {"list", karchive::ListCommand, "list entries: name, offset, size"},
    {"extract", karchive::ExtractCommand, "write entries out as files"},
    {"create", karchive::CreateCommand, "pack a directory into a new archive"},
    {"add", karchive::AddCommand, "add a file as a new entry"},
    {"remove", karchive::RemoveCommand, "remove entries"},
    {"replace", karchive::ReplaceCommand, "replace an entry's content"},
    {"check", karchive::CheckCommand, "validate an archive's directory"},
};

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: kestrel-archive SUBCOMMAND [ARGS...]\n"
               "       kestrel-archive SUBCOMMAND --help\n\n"
               "subcommands:\n");
  for (const Subcommand& s : kSubcommands)
    std::fprintf(out, "  %-8s %s\n", s.name, s.summary);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return karchive::kExitUsage;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
      std::strcmp(argv[1], "help") == 0) {
    PrintUsage(stdout);
    return karchive::kExitSuccess;
  }
  for (const Subcommand& s : kSubcommands)
    if (std::strcmp(argv[1], s.name) == 0) return s.run(argc - 2, argv + 2);
  std::fprintf(stderr, "kestrel-archive: unknown subcommand '%s'\n\n", argv[1]);
  PrintUsage(stderr);
  return karchive::kExitUsage;
}
