// kestrel-archive check ARCHIVE [--all]: validates the directory record by
// record, independently of the loader, so that every problem is named.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "archive_commands.h"
#include "archive_io.h"
#include "patchlib/archive_check.h"
#include "patchlib/console.h"

namespace karchive {
namespace {

const char kDescription[] =
    "Validates the archive's directory: the magic, every record complete,\n"
    "name lengths 0 to 263, no two names equal after lowering, every entry's\n"
    "offset and size inside the file. Prints each problem and whether the\n"
    "archive is canonical (names lowered, contents packed in directory order\n"
    "right after the directory); at most 20 problems are listed, then how\n"
    "many more there are. Two names that are one file name on Windows\n"
    "(letter case beyond ASCII, two cp932 codes of one character) are\n"
    "problems too: extract cannot write both.";

struct CheckOptions {
  std::string archive;
  bool all = false;
};

constexpr std::size_t kShownProblems = 20;

int Check(const CheckOptions& o) {
  const std::string shown = patchlib::Show(o.archive);
  const patchlib::ArchiveCheck check = patchlib::CheckArchiveFile(o.archive);
  if (!check.not_an_archive.empty()) {
    Error(shown + ": " + check.not_an_archive);
    return kExitFailure;
  }
  const std::vector<std::string>& problems = check.problems;
  const std::size_t listed =
      o.all ? problems.size() : std::min(problems.size(), kShownProblems);
  for (std::size_t i = 0; i < listed; ++i)
    std::printf("%s: %s\n", shown.c_str(), problems[i].c_str());
  if (listed < problems.size())
    std::printf("%s: ... and %zu more (--all lists every one)\n", shown.c_str(),
                problems.size() - listed);
  if (!problems.empty()) {
    std::printf("%s: INVALID (%zu problem%s)\n", shown.c_str(), problems.size(),
                problems.size() == 1 ? "" : "s");
    return kExitFailure;
  }
  std::printf("%s: valid, %u entries, %s\n", shown.c_str(), check.count,
              check.lowered && check.packed ? "canonical"
              : !check.lowered ? "not canonical (names not lowered)"
                               : "not canonical (contents not packed in order)");
  return kExitSuccess;
}

}  // namespace

void AddCheckCommand(tools::CommandLine& cli) {
  auto o = std::make_shared<CheckOptions>();
  cli.Add("check", "validate an archive's directory", kDescription,
          [o] { return Check(*o); })
      .Path("ARCHIVE", &o->archive, "the archive to check")
      .Flag("--all", &o->all, "list every problem (default: the first 20, then a count)")
      .Footer("exit status: 0 valid, 1 invalid or unreadable, 2 wrong command line.");
}

}  // namespace karchive
