#include "patchlib/archive_diff.h"

#include "patchlib/console.h"
#include "patchlib/stream_compare.h"

namespace patchlib {

bool DiffArchives(updater::ResourceArchive& a, updater::ResourceArchive& b,
                  ArchiveDiff* diff, std::string* error,
                  const std::function<void(std::uint64_t)>& progress) {
  *diff = ArchiveDiff();
  const auto as = a.Entries(), bs = b.Entries();
  diff->same_order = as.size() == bs.size();
  for (std::size_t i = 0; diff->same_order && i < as.size(); ++i)
    diff->same_order = std::string(as[i]->name) == bs[i]->name;
  for (const auto& entry : as)
    if (!b.Find(entry->name))
      diff->only_in_a.push_back({entry->name, entry->content.GetSize()});
  for (const auto& entry : bs) {
    const zorl::KRef<updater::ArchiveEntry> other = a.Find(entry->name);
    const std::int64_t size = entry->content.GetSize();
    if (!other) {
      diff->only_in_b.push_back({entry->name, size});
      continue;
    }
    const std::int64_t other_size = other->content.GetSize();
    bool same = other_size == size;
    if (same) {
      switch (CompareStreams(other->content, entry->content,
                             static_cast<std::uint64_t>(size), [&](std::uint64_t n) {
                               diff->compared_bytes += n;
                               if (progress) progress(n);
                             })) {
        case Comparison::kEqual: break;
        case Comparison::kDifferent: same = false; break;
        case Comparison::kReadError:
          *error = "cannot read entry " + Show(entry->name);
          return false;
      }
    }
    if (same)
      ++diff->unchanged;
    else
      diff->changed.push_back({entry->name, other_size, size});
  }
  return true;
}

}  // namespace patchlib
