// Shared steps of the archive subcommands: errors, loading an archive
// with a clear error, and writing one through a temporary file.
#ifndef TOOLS_KESTREL_ARCHIVE_ARCHIVE_IO_H_
#define TOOLS_KESTREL_ARCHIVE_ARCHIVE_IO_H_

#include <string>
#include <vector>

#include "engine/resource_archive.h"

namespace karchive {

constexpr char kTool[] = "kestrel-archive";

// Prints "kestrel-archive: <message>" on stderr.
void Error(const std::string& message);

// Loads `path` (cp932) into `archive`; prints an error naming the file
// (missing, unreadable, or not a valid archive) and returns false.
bool LoadArchive(const std::string& path, updater::ResourceArchive& archive);

// Opens `archive` as a new, empty archive (no file behind it).
bool StartEmptyArchive(updater::ResourceArchive& archive);

// Saves `archive` into a temporary file beside `path`, closes the archive
// (releasing the files its entries view) and moves the new file over
// `path`. Prints an error and returns false on failure: `path` is then
// untouched and no temporary file remains.
bool SaveArchive(updater::ResourceArchive& archive, const std::string& path);

}  // namespace karchive

#endif  // TOOLS_KESTREL_ARCHIVE_ARCHIVE_IO_H_
