// kestrel-archive list ARCHIVE [--json]
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "archive_commands.h"
#include "archive_io.h"
#include "display_name.h"
#include "json_output.h"
#include "patchlib/console.h"

namespace karchive {
namespace {

const char kDescription[] =
    "Lists every entry in directory order: content offset, size and name,\n"
    "then the totals. Names are shown in UTF-8; control characters and bytes\n"
    "that are no cp932 character are shown as \\xNN.";

struct ListOptions {
  std::string archive;
  bool json = false;
};

int List(const ListOptions& o) {
  updater::ResourceArchive archive;
  if (!LoadArchive(o.archive, archive)) return kExitFailure;

  const std::vector<zorl::KRef<updater::ArchiveEntry>> entries = archive.Entries();
  const std::uint32_t count = static_cast<std::uint32_t>(entries.size());
  std::uint64_t total = 0;
  std::unique_ptr<tools::JsonObjectWriter> json;
  if (o.json) {
    json = std::make_unique<tools::JsonObjectWriter>(stdout);
    json->BeginList("entries");
  }
  for (const zorl::KRef<updater::ArchiveEntry>& entry : entries) {
    const std::uint32_t offset = entry->content.Base();
    const std::int32_t size = entry->content.GetSize();
    total += size > 0 ? static_cast<std::uint64_t>(size) : 0;
    if (json)
      json->Add({{"name", tools::Utf8Name(entry->name)},
                 {"offset", offset},
                 {"size", size}});
    else
      std::printf("%10" PRIu32 " %10" PRId32 "  %s\n", offset, size,
                  tools::ShowName(entry->name).c_str());
  }
  if (json) {
    json->EndList();
    json->Member("count", count);
    json->Member("total_size", total);
    json->Finish();
  } else {
    std::printf("%" PRIu32 " entries, %" PRIu64 " bytes of content (%s)\n",
                count, total, patchlib::HumanBytes(total).c_str());
  }
  return kExitSuccess;
}

}  // namespace

void AddListCommand(tools::CommandLine& cli) {
  auto o = std::make_shared<ListOptions>();
  cli.Add("list", "list entries: offset, size, name", kDescription,
          [o] { return List(*o); })
      .Path("ARCHIVE", &o->archive, "the archive to list")
      .Flag("--json", &o->json,
            "print one JSON object for scripts: {\"entries\": [{\"name\", "
            "\"offset\", \"size\"}...], \"count\", \"total_size\"}, in UTF-8");
}

}  // namespace karchive
