// kestrel-archive list ARCHIVE [--json]
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "archive_commands.h"
#include "archive_io.h"
#include "patchlib/console.h"

namespace karchive {
namespace {

const char kHelp[] =
    "usage: kestrel-archive list ARCHIVE [--json]\n\n"
    "Lists every entry in directory order: name, content offset and size,\n"
    "then the totals. --json prints one JSON object for scripts:\n"
    "{\"entries\": [{\"name\", \"offset\", \"size\"}...], \"count\", "
    "\"total_size\"}.\nNames are shown in UTF-8.\n";

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace

int ListCommand(int argc, char** argv) {
  if (WantsHelp(argc, argv)) {
    std::fputs(kHelp, stdout);
    return kExitSuccess;
  }
  bool json = false;
  const char* archive_arg = nullptr;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--json") == 0) {
      json = true;
    } else if (!archive_arg && argv[i][0] != '-') {
      archive_arg = argv[i];
    } else {
      std::fputs(kHelp, stderr);
      return kExitUsage;
    }
  }
  if (!archive_arg) {
    std::fputs(kHelp, stderr);
    return kExitUsage;
  }
  std::string path;
  if (!PathArg(archive_arg, &path)) return kExitUsage;
  updater::ResourceArchive archive;
  if (!LoadArchive(path, archive)) return kExitFailure;

  const std::uint32_t count = archive.Count();
  std::uint64_t total = 0;
  if (json) std::printf("{\"entries\": [");
  for (std::uint32_t i = 0; i < count; ++i) {
    zorl::KRef<updater::ArchiveEntry> entry = archive.EntryAt(i);
    const std::uint32_t offset = entry->content.Base();
    const std::int32_t size = entry->content.GetSize();
    total += size > 0 ? static_cast<std::uint64_t>(size) : 0;
    const std::string name = patchlib::Show(entry->name);
    if (json)
      std::printf("%s\n  {\"name\": %s, \"offset\": %" PRIu32
                  ", \"size\": %" PRId32 "}",
                  i ? "," : "", JsonString(name).c_str(), offset, size);
    else
      std::printf("%10" PRIu32 " %10" PRId32 "  %s\n", offset, size,
                  name.c_str());
  }
  if (json)
    std::printf("%s], \"count\": %" PRIu32 ", \"total_size\": %" PRIu64 "}\n",
                count ? "\n" : "", count, total);
  else
    std::printf("%" PRIu32 " entries, %" PRIu64 " bytes of content (%s)\n",
                count, total, patchlib::HumanBytes(total).c_str());
  return kExitSuccess;
}

}  // namespace karchive
