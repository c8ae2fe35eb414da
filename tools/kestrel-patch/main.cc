// kestrel-patch SUBCOMMAND [ARGS...]: dispatches to one file per subcommand.
#include <cstdio>
#include <cstring>

#include "producer_commands.h"
#include "subcommands.h"

namespace {

struct Subcommand {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* summary;
};

const Subcommand kSubcommands[] = {
    {"build", kpatch::BuildCommand, kpatch::kBuildSummary},
    {"pack", kpatch::PackCommand, kpatch::kPackSummary},
    {"list", kpatch::ListCommand, kpatch::kListSummary},
    {"apply", kpatch::ApplyCommand, kpatch::kApplySummary},
};

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: kestrel-patch SUBCOMMAND [ARGS...]\n"
               "       kestrel-patch SUBCOMMAND --help\n\n"
               "subcommands:\n");
  for (const Subcommand& s : kSubcommands)
    std::fprintf(out, "  %-8s %s\n", s.name, s.summary);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return kpatch::kExitUsage;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
      std::strcmp(argv[1], "help") == 0) {
    PrintUsage(stdout);
    return kpatch::kExitSuccess;
  }
  for (const Subcommand& s : kSubcommands)
    if (std::strcmp(argv[1], s.name) == 0) return s.run(argc - 2, argv + 2);
  std::fprintf(stderr, "kestrel-patch: unknown subcommand '%s'\n\n", argv[1]);
  PrintUsage(stderr);
  return kpatch::kExitUsage;
}
