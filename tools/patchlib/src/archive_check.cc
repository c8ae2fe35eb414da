#include "patchlib/archive_check.h"

#include <map>
#include <set>

#include "engine/little_endian.h"
#include "engine/resource_archive.h"
#include "foundation/kfile.h"
#include "foundation/ktext.h"
#include "patchlib/console.h"
#include "patchlib/windows_name.h"

namespace patchlib {
using updater::LoadLe32;

ArchiveCheck CheckArchiveFile(const std::string& path) {
  ArchiveCheck result;
  result.not_an_archive = NotAFile(path);
  zorl::KFile file;
  if (result.not_an_archive.empty() && !file.Open(zorl::KFILE_READ, path.c_str()))
    result.not_an_archive = "cannot open the file";
  if (!result.not_an_archive.empty()) {
    result.cannot_open = true;
    return result;
  }
  const std::int64_t file_size = file.GetSize();
  unsigned char head[8];
  if (file.Read(8, head) != 8) {
    result.not_an_archive = "shorter than the 8-byte header";
    return result;
  }
  if (LoadLe32(head) != updater::kArchiveMagic) {
    result.not_an_archive = "bad magic (not \"KMF \")";
    return result;
  }
  result.count = LoadLe32(head + 4);
  std::set<std::string> keys;
  std::map<std::string, std::uint32_t> file_names;  // FileNameKey -> record
  std::uint64_t directory_end = 8;
  struct Record { std::uint32_t offset, size; };
  std::vector<Record> records;
  std::vector<std::string>& problems = result.problems;
  for (std::uint32_t i = 0; i < result.count; ++i) {
    const std::string where = "record " + std::to_string(i) + ": ";
    unsigned char field[4];
    if (file.Read(4, field) != 4) {
      problems.push_back(where + "directory ends early (truncated file)");
      break;
    }
    const std::uint32_t length = LoadLe32(field);
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
    if (key != name) result.lowered = false;
    const std::string label = where + "\"" + Show(name) + "\": ";
    if (!keys.insert(key).second) {
      problems.push_back(label + "duplicate name (equal after lowering)");
    } else {
      auto [other, fresh] = file_names.emplace(FileNameKey(name), i);
      if (!fresh)
        problems.push_back(label + "one file name with record " +
                           std::to_string(other->second) +
                           " on Windows (letter case, or two cp932 codes of one "
                           "character): extract cannot write both");
    }
    const Record r{LoadLe32(tail), LoadLe32(tail + 4)};
    if (std::uint64_t{r.offset} + r.size > static_cast<std::uint64_t>(file_size))
      problems.push_back(label + "offset " + std::to_string(r.offset) +
                         " + size " + std::to_string(r.size) +
                         " passes the end of the file (" +
                         std::to_string(file_size) + " bytes)");
    records.push_back(r);
    directory_end += 12 + length;
  }
  std::uint64_t next_offset = directory_end;
  for (const Record& r : records) {
    if (r.offset != next_offset) result.packed = false;
    next_offset = std::uint64_t{r.offset} + r.size;
  }
  if (next_offset != static_cast<std::uint64_t>(file_size)) result.packed = false;
  return result;
}

}  // namespace patchlib
