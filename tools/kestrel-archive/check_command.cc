// kestrel-archive check ARCHIVE: validates the directory record by record,
// independently of the loader, so that every problem is named.
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "archive_commands.h"
#include "archive_io.h"
#include "foundation/ktext.h"
#include "patchlib/console.h"
#include "patchlib/windows_name.h"
#include "platform/filesystem.h"

namespace karchive {
namespace {

const char kDescription[] =
    "Validates the archive's directory: the magic, every record complete,\n"
    "name lengths 0 to 263, no two names equal after lowering, every entry's\n"
    "offset and size inside the file. Prints each problem and whether the\n"
    "archive is canonical (names lowered, contents packed in directory order\n"
    "right after the directory). Two names that are one file name on Windows\n"
    "(letter case beyond ASCII, two cp932 codes of one character) are\n"
    "problems too: extract cannot write both.";

std::uint32_t Le32(const unsigned char* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
         std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

int Check(const std::string& path) {
  const std::string shown = patchlib::Show(path);
  zorl::KFile file;
  if (platform::GetPathKind(path.c_str()) != platform::PathKind::kFile ||
      !file.Open(zorl::KFILE_READ, path.c_str())) {
    Error(shown + ": cannot open the file");
    return kExitFailure;
  }
  const std::int64_t file_size = file.GetSize();
  std::vector<std::string> problems;
  unsigned char head[8];
  if (file.Read(8, head) != 8) {
    Error(shown + ": shorter than the 8-byte header");
    return kExitFailure;
  }
  if (Le32(head) != updater::kArchiveMagic) {
    Error(shown + ": bad magic (not \"KMF \")");
    return kExitFailure;
  }
  const std::uint32_t count = Le32(head + 4);
  std::set<std::string> keys;
  std::map<std::string, std::uint32_t> file_names;  // FileNameKey -> record
  bool lowered = true, packed = true;
  std::uint64_t directory_end = 8, next_offset = 0;
  struct Record { std::uint32_t offset, size; };
  std::vector<Record> records;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::string where = "record " + std::to_string(i) + ": ";
    unsigned char field[4];
    if (file.Read(4, field) != 4) {
      problems.push_back(where + "directory ends early (truncated file)");
      break;
    }
    const std::uint32_t length = Le32(field);
    if (length > updater::kMaxEntryNameLength) {
      problems.push_back(where + "name length " + std::to_string(length) +
                         " above 263");
      break;  // the rest of the directory cannot be found
    }
    std::string name(length, '\0');
    unsigned char tail[8];
    if ((length > 0 && file.Read(length, &name[0]) !=
                           static_cast<std::int32_t>(length)) ||
        file.Read(8, tail) != 8) {
      problems.push_back(where + "directory ends early (truncated file)");
      break;
    }
    char key[zorl::kNameBufferSize];
    zorl::MakeNameKey(key, name.c_str());
    if (key != name) lowered = false;
    const std::string label = where + "\"" + patchlib::Show(name) + "\": ";
    if (!keys.insert(key).second) {
      problems.push_back(label + "duplicate name (equal after lowering)");
    } else {
      auto [other, fresh] = file_names.emplace(patchlib::FileNameKey(name), i);
      if (!fresh)
        problems.push_back(label + "one file name with record " +
                           std::to_string(other->second) +
                           " on Windows (letter case, or two cp932 codes of one "
                           "character): extract cannot write both");
    }
    const Record r{Le32(tail), Le32(tail + 4)};
    if (std::uint64_t{r.offset} + r.size > static_cast<std::uint64_t>(file_size))
      problems.push_back(label + "offset " + std::to_string(r.offset) +
                         " + size " + std::to_string(r.size) +
                         " passes the end of the file (" +
                         std::to_string(file_size) + " bytes)");
    records.push_back(r);
    directory_end += 12 + length;
  }
  next_offset = directory_end;
  for (const Record& r : records) {
    if (r.offset != next_offset) packed = false;
    next_offset = std::uint64_t{r.offset} + r.size;
  }
  if (next_offset != static_cast<std::uint64_t>(file_size)) packed = false;
  for (const std::string& p : problems)
    std::printf("%s: %s\n", shown.c_str(), p.c_str());
  if (!problems.empty()) {
    std::printf("%s: INVALID (%zu problem%s)\n", shown.c_str(), problems.size(),
                problems.size() == 1 ? "" : "s");
    return kExitFailure;
  }
  std::printf("%s: valid, %u entries, %s\n", shown.c_str(), count,
              lowered && packed ? "canonical"
              : !lowered       ? "not canonical (names not lowered)"
                               : "not canonical (contents not packed in order)");
  return kExitSuccess;
}

}  // namespace

void AddCheckCommand(tools::CommandLine& cli) {
  auto path = std::make_shared<std::string>();
  cli.Add("check", "validate an archive's directory", kDescription,
          [path] { return Check(*path); })
      .Path("ARCHIVE", path.get(), "the archive to check")
      .Footer("exit status: 0 valid, 1 invalid or unreadable, 2 wrong command line.");
}

}  // namespace karchive
