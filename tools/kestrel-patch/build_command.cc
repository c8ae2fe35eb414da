// kestrel-patch build OLD NEW -o PAYLOAD [--clear DIR]... [--verify]
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "patch_builder.h"
#include "patch_verify.h"
#include "patchlib/atomic_output.h"
#include "patchlib/console.h"
#include "producer_commands.h"
#include "subcommands.h"

namespace kpatch {

const char kBuildSummary[] = "build a payload from two game directories";

namespace {

const char kHelp[] =
    "usage: kestrel-patch build OLD NEW -o PAYLOAD [--clear DIR]... [--verify]\n\n"
    "Compares two game directories, each holding mareld.dat and loose files,\n"
    "and writes the patch payload (the command stream, zlib level 9) that\n"
    "turns OLD into NEW:\n"
    "  loose files new or changed: write (0); only in OLD: delete (1);\n"
    "  directories only in NEW, empty ones too: create (2);\n"
    "  --clear DIR: empty that tree first (3), then write all of NEW's files\n"
    "  in it; archive entries new or changed: put (4), only in OLD: remove (5).\n"
    "Entries keep NEW's order: from the first departure from OLD's order or\n"
    "content on, every entry is put again, so a canonical NEW archive is\n"
    "rebuilt byte for byte. Names longer than 262 bytes, or that would land\n"
    "outside the game directory, are refused.\n"
    "  --verify  apply the payload to a scratch copy of OLD with the update\n"
    "            engine and compare the result with NEW; PAYLOAD is written\n"
    "            only when they agree.\n"
    "PAYLOAD appears complete or not at all (temporary file, then replace).\n";

void PrintSummary(const BuildSummary& s) {
  static const char* const kKinds[] = {
      "write file", "delete file", "make directory",
      "empty tree", "put entry",   "remove entry"};
  std::printf("commands:\n");
  for (int op = 0; op < 6; ++op)
    std::printf("  %d %-15s %" PRIu64 "\n", op, kKinds[op], s.commands[op]);
  if (s.entries_reput > 0)
    std::printf("  (%u of the entries put are OLD's, put again to keep NEW's "
                "order)\n",
                s.entries_reput);
  std::printf("compared %s; command stream %s, compressed %s",
              patchlib::HumanBytes(s.compared_bytes).c_str(),
              patchlib::HumanBytes(s.raw_bytes).c_str(),
              patchlib::HumanBytes(s.compressed_bytes).c_str());
  if (s.raw_bytes > 0)
    std::printf(" (%.1f%%)", 100.0 * s.compressed_bytes / s.raw_bytes);
  std::printf("\n");
}

}  // namespace

int BuildCommand(int argc, char** argv) {
  BuildOptions options;
  const char* out_arg = nullptr;
  bool verify = false;
  std::vector<const char*> positional;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kHelp, stdout);
      return kExitSuccess;
    }
  }
  std::vector<const char*> clear_args;
  for (int i = 0; i < argc; ++i) {
    if ((std::strcmp(argv[i], "-o") == 0 || std::strcmp(argv[i], "--output") == 0) &&
        i + 1 < argc) {
      out_arg = argv[++i];
    } else if (std::strcmp(argv[i], "--clear") == 0 && i + 1 < argc) {
      clear_args.push_back(argv[++i]);
    } else if (std::strcmp(argv[i], "--verify") == 0) {
      verify = true;
    } else if (argv[i][0] == '-') {
      std::fputs(kHelp, stderr);
      return kExitUsage;
    } else {
      positional.push_back(argv[i]);
    }
  }
  if (positional.size() != 2 || !out_arg) {
    std::fputs(kHelp, stderr);
    return kExitUsage;
  }
  std::string out_path;
  const char* args[] = {positional[0], positional[1], out_arg};
  std::string* paths[] = {&options.old_dir, &options.new_dir, &out_path};
  for (int i = 0; i < 3; ++i)
    if (!patchlib::ArgToCp932(args[i], paths[i])) {
      patchlib::PrintError("kestrel-patch build", std::string(args[i]) +
                                                      ": name has characters cp932 cannot hold");
      return kExitUsage;
    }
  for (const char* arg : clear_args) {
    std::string dir;
    if (!patchlib::ArgToCp932(arg, &dir)) {
      patchlib::PrintError("kestrel-patch build", std::string(arg) +
                                                      ": name has characters cp932 cannot hold");
      return kExitUsage;
    }
    while (!dir.empty() && dir.back() == '/') dir.pop_back();
    options.clear.push_back(dir);
  }

  patchlib::AtomicOutput output;
  if (!output.Open(out_path)) {
    patchlib::PrintError("kestrel-patch build", patchlib::Show(out_path) +
                                                    ": cannot create a file in its directory");
    return kExitFailure;
  }
  BuildSummary summary;
  std::string error;
  if (!BuildPatch(options, output.file(), &summary, &error)) {
    patchlib::PrintError("kestrel-patch build", error);
    return kExitFailure;  // the temporary file goes with `output`
  }
  PrintSummary(summary);
  if (verify) {
    VerifyResult result;
    if (!output.file().Flush() ||
        !VerifyPatch(options.old_dir, options.new_dir, output.file(), out_path,
                     &result, &error)) {
      patchlib::PrintError("kestrel-patch build", "verify: " + error);
      return kExitFailure;
    }
    for (const std::string& note : result.notes)
      std::printf("verify: note: %s\n", note.c_str());
    if (!result.applied) {
      patchlib::PrintError("kestrel-patch build",
                           "verify: the update engine stopped: " + result.engine_message);
      return kExitFailure;
    }
    for (const std::string& difference : result.differences)
      std::printf("verify: differs: %s\n", difference.c_str());
    if (!result.differences.empty()) {
      patchlib::PrintError("kestrel-patch build",
                           "verify: the patched copy of OLD differs from NEW (" +
                               std::to_string(result.differences.size()) +
                               " differences); payload not written");
      return kExitFailure;
    }
    std::printf("verify: OK, the patched copy of OLD equals NEW byte for byte\n");
  }
  if (!output.Commit()) {
    patchlib::PrintError("kestrel-patch build",
                         patchlib::Show(out_path) + ": cannot write the payload");
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace kpatch
