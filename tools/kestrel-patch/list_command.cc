// kestrel-patch list UPDATER|PAYLOAD
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/patch_format.h"
#include "engine/payload.h"
#include "patchlib/command_decoder.h"
#include "patchlib/console.h"
#include "patchlib/entry_name.h"
#include "producer_commands.h"
#include "subcommands.h"

namespace kpatch {

namespace {

const char kTool[] = "kestrel-patch list";
const char kDescription[] =
    "Decodes the payload (a raw zlib payload, or the overlay of an updater\n"
    "executable) and prints every command: opcode, kind, size, name (UTF-8).\n"
    "A delta (patch, 6 and 7) shows the size it rebuilds, then the bytes it\n"
    "carries and the size of the old content it needs.\n"
    "Names of file commands that the updater would resolve outside its game\n"
    "directory are flagged, with a warning on stderr. Exit status 1 when the\n"
    "payload is corrupt or truncated (after the commands decoded so far).";

const char* Kind(std::uint32_t opcode) {
  static const char* const kKinds[] = {"write", "delete", "mkdir", "clear",
                                       "put",   "remove", "patch", "patch"};
  return opcode < updater::kOpcodeCount ? kKinds[opcode] : "?";
}

int List(const std::string& path) {
  const std::string shown = patchlib::Show(path);
  const std::string not_a_file = patchlib::NotAFile(path);
  zorl::KFile file;
  if (!not_a_file.empty() || !file.Open(zorl::KFILE_READ, path.c_str())) {
    patchlib::PrintError(kTool, shown + ": " +
                                    (not_a_file.empty() ? "cannot open the file" : not_a_file));
    return kExitFailure;
  }
  unsigned char magic[2] = {};
  zorl::KFile source;
  if (file.Read(2, magic) == 2 && magic[0] == 'M' && magic[1] == 'Z') {
    std::uint32_t end = 0;
    if (!updater::FindImageEnd(file, &end)) {
      patchlib::PrintError(kTool, shown + ": starts like an executable but is not a valid PE file");
      return kExitFailure;
    }
    if (static_cast<std::int64_t>(end) >= file.GetSize()) {
      patchlib::PrintError(kTool, shown + ": an executable without a payload");
      return kExitFailure;
    }
    source.OpenView(file, static_cast<std::int32_t>(end), -1);
    std::printf("%s: updater, payload at offset %u\n", shown.c_str(), end);
  } else {
    source.OpenView(file, 0, -1);
  }

  patchlib::InflateReader reader(source);
  std::uint64_t count = 0, warnings = 0, content = 0;
  std::string error;
  const bool ok = patchlib::DecodeCommands(
      reader,
      [&](const patchlib::DecodedCommand& c) {
        ++count;
        const bool loose =
            c.opcode <= updater::kOpEmptyDirectoryTree || c.opcode == updater::kOpPatchFile;
        const bool outside = loose && !patchlib::ResolvesInsideGame(c.name);
        char size[24] = "-";
        if (c.has_size) {
          std::snprintf(size, sizeof size, "%" PRId64, c.size);
          if (c.size > 0) content += static_cast<std::uint64_t>(c.size);
        }
        std::string delta;
        if (c.is_delta)
          delta = "   (delta of " + std::to_string(c.delta_bytes) + " bytes against " +
                  std::to_string(c.reference_size) + " old bytes)";
        std::printf("%u %-6s %10s  %s%s%s\n", c.opcode, Kind(c.opcode), size,
                    patchlib::Show(c.name).c_str(), delta.c_str(),
                    outside ? "   <-- OUTSIDE the game directory" : "");
        if (outside) {
          ++warnings;
          patchlib::PrintError(kTool, "warning: " + patchlib::Show(c.name) +
                                          " resolves outside the game directory");
        }
      },
      &error);
  std::printf("%" PRIu64 " commands, %" PRIu64 " bytes of content, %" PRIu64
              " bytes inflated\n",
              count, content, reader.position());
  if (!ok) {
    patchlib::PrintError(kTool, shown + ": " + error);
    return kExitFailure;
  }
  if (warnings)
    std::printf("%" PRIu64 " names resolve outside the game directory\n", warnings);
  return kExitSuccess;
}

}  // namespace

void AddListCommand(tools::CommandLine& cli) {
  auto path = std::make_shared<std::string>();
  cli.Add("list", "print every command of a payload or updater", kDescription,
          [path] { return List(*path); })
      .Path("UPDATER|PAYLOAD", path.get(), "an updater or a raw payload");
}

}  // namespace kpatch
