// What differs between two resource archives, entry by entry: the names
// only one of them holds, and the names both hold with different
// contents. The game reads entries by name, so this is what a patch must
// carry; the order is reported apart.
#ifndef PATCHLIB_ARCHIVE_DIFF_H_
#define PATCHLIB_ARCHIVE_DIFF_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/resource_archive.h"

namespace patchlib {

struct ArchiveDiff {
  struct Entry {
    std::string name;  // cp932, lowered as the archive holds it
    std::int64_t size = 0;
  };
  struct Changed {
    std::string name;
    std::int64_t size_a = 0, size_b = 0;
  };
  std::vector<Entry> only_in_a;  // in A's order
  std::vector<Entry> only_in_b;  // in B's order
  std::vector<Changed> changed;  // in B's order
  std::uint32_t unchanged = 0;
  std::uint64_t compared_bytes = 0;  // contents compared (equal sizes only)
  // Whether both list the same names in the same order.
  bool same_order = false;

  bool SameEntries() const {
    return only_in_a.empty() && only_in_b.empty() && changed.empty();
  }
};

// Compares the entries of two open archives by name and content (sizes
// first, bytes only when the sizes agree). `progress` gets the bytes of
// each chunk compared. False with `error` (UTF-8, naming the entry) when
// a content cannot be read.
bool DiffArchives(updater::ResourceArchive& a, updater::ResourceArchive& b,
                  ArchiveDiff* diff, std::string* error,
                  const std::function<void(std::uint64_t)>& progress = {});

}  // namespace patchlib

#endif  // PATCHLIB_ARCHIVE_DIFF_H_
