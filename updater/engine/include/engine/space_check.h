// Free space: what a run needs on the game folder's volume at its peak,
// against what the volume has, told before the first change.
#ifndef ENGINE_SPACE_CHECK_H_
#define ENGINE_SPACE_CHECK_H_

#include <cstdint>
#include <map>
#include <string>

#include "engine/command_check.h"
#include "engine/messages.h"
#include "engine/resource_archive.h"

namespace updater {

// Adds up, from the commands as the check passes them, the peak the run
// needs beyond what is on disk now: the rebuilt archive, written beside
// the old one until the swap, and every loose file written (the journal
// moves the old file aside by a rename, so a rewritten file needs its
// whole new size; a file written twice counts once, at its larger size).
// Deleted files and removed entries free nothing before the commit.
class SpaceNeed {
 public:
  // Starts from the loaded archive's entries.
  explicit SpaceNeed(ResourceArchive& archive);
  void Add(const PlannedCommand& command);
  // The rebuilt archive's size: header, directory and contents.
  std::uint64_t ArchiveBytes() const;
  std::uint64_t LooseBytes() const { return loose_; }
  std::uint64_t Bytes() const { return ArchiveBytes() + loose_; }

 private:
  struct Entry {
    std::uint64_t name_length, size;
  };
  std::map<std::string, Entry> entries_;  // by name key
  std::map<std::string, std::uint64_t> written_;  // resolved path -> largest size
  std::uint64_t loose_ = 0;
};

// Whole megabytes for a message (rounded up, so a need never reads 0).
std::uint64_t Megabytes(std::uint64_t bytes);

// Compares `need` with the free space of `dir`'s volume. Enough (or a
// volume that cannot tell): true. Short: false, with the free figure in
// `*free_bytes`.
bool EnoughSpace(const char* dir, std::uint64_t need, std::uint64_t* free_bytes);

// What fills kMsgNoSpace's "%s" (kSpaceFigures: needed and free in MB), in
// `language`.
std::string SpaceDetail(std::uint64_t need, std::uint64_t free_bytes,
                        Language language = Language::kJapanese);

}  // namespace updater

#endif  // ENGINE_SPACE_CHECK_H_
