#include "subcommand.h"

#include <cstdio>
#include <cstring>

namespace tools {
namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitUsage = 2;

void PrintUsage(std::FILE* out, const char* tool, const Subcommand* subcommands,
                std::size_t count) {
  std::fprintf(out,
               "usage: %s SUBCOMMAND [ARGS...]\n"
               "       %s SUBCOMMAND --help\n\n"
               "subcommands:\n",
               tool, tool);
  for (std::size_t i = 0; i < count; ++i)
    std::fprintf(out, "  %-8s %s\n", subcommands[i].name, subcommands[i].summary);
}

}  // namespace

int DispatchSubcommand(const char* tool, const Subcommand* subcommands,
                       std::size_t count, int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr, tool, subcommands, count);
    return kExitUsage;
  }
  const char* name = argv[1];
  if (std::strcmp(name, "--help") == 0 || std::strcmp(name, "-h") == 0 ||
      std::strcmp(name, "help") == 0) {
    PrintUsage(stdout, tool, subcommands, count);
    return kExitSuccess;
  }
  for (std::size_t i = 0; i < count; ++i)
    if (std::strcmp(name, subcommands[i].name) == 0)
      return subcommands[i].run(argc - 2, argv + 2);
  std::fprintf(stderr, "%s: unknown subcommand '%s'\n\n", tool, name);
  PrintUsage(stderr, tool, subcommands, count);
  return kExitUsage;
}

}  // namespace tools
