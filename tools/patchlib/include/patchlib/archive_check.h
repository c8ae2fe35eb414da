// Validating an archive file's directory record by record, independently
// of the engine's loader, so that every problem can be named.
#ifndef PATCHLIB_ARCHIVE_CHECK_H_
#define PATCHLIB_ARCHIVE_CHECK_H_

#include <cstdint>
#include <string>
#include <vector>

namespace patchlib {

struct ArchiveCheck {
  // Why the file is no archive at all ("" when it is one): nothing is
  // there, it is a directory or no regular file, it cannot be opened, it is
  // shorter than the 8-byte header, or it has another magic.
  std::string not_an_archive;
  bool cannot_open = false;  // one of the first four: nothing could be read
  // Problems of the directory (UTF-8, "record 3: ..."), in file order: a
  // record cut short, a name length above 263, two names equal after
  // lowering, two names that are one file name on Windows, an entry that
  // passes the end of the file.
  std::vector<std::string> problems;
  std::uint32_t count = 0;   // entries the header announces
  bool lowered = true;       // every name stored lowered
  bool packed = true;        // contents packed in order after the directory

  bool Valid() const { return not_an_archive.empty() && problems.empty(); }
};

// Checks the archive file at `path` (cp932).
ArchiveCheck CheckArchiveFile(const std::string& path);

}  // namespace patchlib

#endif  // PATCHLIB_ARCHIVE_CHECK_H_
