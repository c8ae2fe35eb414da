// kestrel-archive diff A B [--json]
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "archive_commands.h"
#include "archive_io.h"
#include "display_name.h"
#include "json_output.h"
#include "patchlib/archive_diff.h"
#include "patchlib/console.h"

namespace karchive {
namespace {

const char kDescription[] =
    "Compares two archives entry by entry, the way the game finds entries:\n"
    "by name (ASCII letter case ignored). Lists the entries only in A (\"-\"),\n"
    "only in B (\"+\") and in both with different contents (\"~\", sizes A ->\n"
    "B), then the counts and whether both list their entries in the same\n"
    "order. With A the released archive and B the new one, the \"+\" and \"~\"\n"
    "entries are what kestrel-patch build carries, the \"-\" ones it removes.";

struct DiffOptions {
  std::string a, b;
  bool json = false;
};

int Diff(const DiffOptions& o) {
  updater::ResourceArchive a, b;
  if (!LoadArchive(o.a, a) || !LoadArchive(o.b, b)) return kExitFailure;
  patchlib::ArchiveDiff diff;
  std::string error;
  std::uint64_t total = 0, done = 0;
  for (const auto& entry : b.Entries())
    total += static_cast<std::uint64_t>(entry->content.GetSize());
  patchlib::ProgressBar bar("comparing");
  if (!patchlib::DiffArchives(a, b, &diff, &error, [&](std::uint64_t n) {
        done += n;
        bar.Update(done, total);
      })) {
    Error(error);
    return kExitFailure;
  }
  bar.Finish();
  if (o.json) {
    tools::JsonObjectWriter json(stdout);
    json.BeginList("only_in_a");
    for (const auto& e : diff.only_in_a)
      json.Add({{"name", tools::Utf8Name(e.name)}, {"size", e.size}});
    json.EndList();
    json.BeginList("only_in_b");
    for (const auto& e : diff.only_in_b)
      json.Add({{"name", tools::Utf8Name(e.name)}, {"size", e.size}});
    json.EndList();
    json.BeginList("changed");
    for (const auto& e : diff.changed)
      json.Add({{"name", tools::Utf8Name(e.name)}, {"size_a", e.size_a}, {"size_b", e.size_b}});
    json.EndList();
    json.Member("unchanged", diff.unchanged);
    json.Member("same_order", diff.same_order);
    json.Finish();
    return kExitSuccess;
  }
  for (const auto& e : diff.only_in_a)
    std::printf("- %10" PRId64 "               %s\n", e.size, tools::ShowName(e.name).c_str());
  for (const auto& e : diff.only_in_b)
    std::printf("+               %10" PRId64 "  %s\n", e.size, tools::ShowName(e.name).c_str());
  for (const auto& e : diff.changed)
    std::printf("~ %10" PRId64 " -> %10" PRId64 "  %s\n", e.size_a, e.size_b,
                tools::ShowName(e.name).c_str());
  std::uint64_t carried = 0;
  for (const auto& e : diff.only_in_b) carried += static_cast<std::uint64_t>(e.size);
  for (const auto& e : diff.changed) carried += static_cast<std::uint64_t>(e.size_b);
  std::printf("%zu only in A, %zu only in B, %zu changed (%s of B's content), %u "
              "unchanged; %s\n",
              diff.only_in_a.size(), diff.only_in_b.size(), diff.changed.size(),
              patchlib::HumanBytes(carried).c_str(), diff.unchanged,
              diff.same_order ? "same order" : "the order differs");
  return kExitSuccess;
}

}  // namespace

void AddDiffCommand(tools::CommandLine& cli) {
  auto o = std::make_shared<DiffOptions>();
  cli.Add("diff", "compare two archives entry by entry", kDescription,
          [o] { return Diff(*o); })
      .Path("A", &o->a, "the first archive (the released one)")
      .Path("B", &o->b, "the second archive (the new one)")
      .Flag("--json", &o->json,
            "print one JSON object for scripts: {\"only_in_a\": [{\"name\", "
            "\"size\"}...], \"only_in_b\": [...], \"changed\": [{\"name\", "
            "\"size_a\", \"size_b\"}...], \"unchanged\", \"same_order\"}, in UTF-8")
      .Footer("exit status: 0 compared (whatever the differences), 1 an archive "
              "could not be read, 2 wrong command line.");
}

}  // namespace karchive
