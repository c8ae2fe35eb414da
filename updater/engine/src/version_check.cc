#include "engine/version_check.h"

#include "engine/path_resolve.h"
#include "foundation/ktext.h"
#include "platform/filesystem.h"

namespace updater {
namespace {

bool Hashable(const ItemState& state, std::uint64_t size) {
  return state.kind == ItemState::Kind::kFile && state.size == size;
}

// Fills `item` from a content stream of `size` bytes.
void FromContent(zorl::KFile& content, FoundItem* item, std::uint64_t* hashed_bytes,
                 const std::function<void()>& tick) {
  const std::int32_t size = content.GetSize();
  if (size < 0) {
    item->other = true;
    return;
  }
  item->found.kind = ItemState::Kind::kFile;
  item->found.size = static_cast<std::uint32_t>(size);
  const ManifestRecord& r = *item->record;
  if (!Hashable(r.before, item->found.size) && !Hashable(r.after, item->found.size)) return;
  std::uint64_t read = 0;
  if (!HashStream(content, &item->found.hash, &read, tick)) {
    item->other = true;  // unreadable: fits nothing
    return;
  }
  item->hashed = true;
  *hashed_bytes += read;
}

FoundItem LooseFile(const ManifestRecord& r, const char* game_dir,
                    std::uint64_t* hashed_bytes, const std::function<void()>& tick) {
  FoundItem item{&r, {}};
  char path[zorl::kNameBufferSize];
  if (!ResolvePath(game_dir, r.name.c_str(), path)) {
    item.other = true;
    return item;
  }
  switch (platform::GetPathKind(path)) {
    case platform::PathKind::kNone:
      // A dangling link is something there, not nothing.
      if (platform::IsLink(path)) item.other = true;
      return item;
    case platform::PathKind::kDirectory:
      item.found.kind = ItemState::Kind::kDirectory;
      return item;
    case platform::PathKind::kOther:
      item.other = true;
      return item;
    case platform::PathKind::kFile:
      break;
  }
  zorl::KFile content;
  if (!content.Open(zorl::KFILE_READ, path)) {
    item.other = true;
    return item;
  }
  FromContent(content, &item, hashed_bytes, tick);
  return item;
}

FoundItem Entry(const ManifestRecord& r, ResourceArchive& archive,
                std::uint64_t* hashed_bytes, const std::function<void()>& tick) {
  FoundItem item{&r, {}};
  const zorl::KRef<ArchiveEntry> entry = archive.Find(r.name.c_str());
  if (!entry) return item;
  zorl::KFile content(entry->content);  // its own position
  FromContent(content, &item, hashed_bytes, tick);
  return item;
}

}  // namespace

bool FoundItem::Is(const ItemState& state) const {
  if (other) return false;
  if (found.kind != state.kind) return false;
  if (state.kind != ItemState::Kind::kFile) return true;
  return hashed && found == state;
}

std::string FoundItem::Describe() const {
  if (other) return "something that is neither a file nor a directory, or unreadable";
  if (found.kind == ItemState::Kind::kFile && !hashed)
    return std::to_string(found.size) + " bytes";
  return found.Describe();
}

VersionReport CheckVersion(const Manifest& manifest, const char* game_dir,
                           ResourceArchive& archive, const std::function<void()>& tick) {
  VersionReport report;
  std::vector<FoundItem>& found = report.found;
  found.reserve(manifest.records.size());
  bool all_before = true, all_after = true;
  for (const ManifestRecord& r : manifest.records) {
    if (tick) tick();
    FoundItem item = r.kind == ManifestRecord::Kind::kLooseFile
                         ? LooseFile(r, game_dir, &report.hashed_bytes, tick)
                         : Entry(r, archive, &report.hashed_bytes, tick);
    all_before = all_before && item.Is(r.before);
    all_after = all_after && item.Is(r.after);
    found.push_back(item);
  }
  report.items = found.size();
  if (all_before) {
    report.state = VersionState::kBefore;
  } else if (all_after) {
    report.state = VersionState::kAfter;
  } else {
    report.state = VersionState::kNeither;
    for (const FoundItem& item : found)
      if (!item.Is(item.record->before) && !item.Is(item.record->after))
        report.misfits.push_back(item);
    if (report.misfits.empty())
      for (const FoundItem& item : found)
        if (!item.Is(item.record->before)) report.misfits.push_back(item);
  }
  return report;
}

}  // namespace updater
