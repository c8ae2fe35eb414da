#include "engine/space_check.h"

#include <cstdio>

#include "engine/messages.h"
#include "engine/patch_format.h"
#include "foundation/ktext.h"
#include "platform/disk_space.h"

namespace updater {

namespace {
constexpr std::uint64_t kHeaderBytes = 8;         // magic, entry count
constexpr std::uint64_t kRecordFixedBytes = 12;   // name length, offset, size
}  // namespace

SpaceNeed::SpaceNeed(ResourceArchive& archive) {
  for (const zorl::KRef<ArchiveEntry>& entry : archive.Entries()) {
    const std::int32_t size = entry->content.GetSize();
    entries_[entry->name] = {entry->name_length,
                             size > 0 ? static_cast<std::uint64_t>(size) : 0};
  }
}

void SpaceNeed::Add(const PlannedCommand& c) {
  const std::uint64_t size = c.size > 0 ? static_cast<std::uint64_t>(c.size) : 0;
  if (c.opcode == kOpWriteFile) {
    std::uint64_t& largest = written_[c.path];
    if (size > largest) {
      loose_ += size - largest;
      largest = size;
    }
  } else if (c.opcode == kOpPutEntry || c.opcode == kOpRemoveEntry) {
    char key[zorl::kNameBufferSize];
    zorl::MakeNameKey(key, c.name);
    if (c.opcode == kOpPutEntry) {
      entries_[key] = {std::string(key).size(), size};
    } else {
      entries_.erase(key);
    }
  }
}

std::uint64_t SpaceNeed::ArchiveBytes() const {
  std::uint64_t bytes = kHeaderBytes;
  for (const auto& item : entries_)
    bytes += kRecordFixedBytes + item.second.name_length + item.second.size;
  return bytes;
}

std::uint64_t Megabytes(std::uint64_t bytes) {
  constexpr std::uint64_t kMb = 1024 * 1024;
  return bytes / kMb + (bytes % kMb ? 1 : 0);
}

bool EnoughSpace(const char* dir, std::uint64_t need, std::uint64_t* free_bytes) {
  std::uint64_t available = 0;
  if (!platform::FreeDiskSpace(dir, &available)) return true;  // the run finds out itself
  *free_bytes = available;
  return available >= need;
}

std::string SpaceDetail(std::uint64_t need, std::uint64_t free_bytes, Language language) {
  // Free space is rounded down: "needed 3 MB, free 3 MB" must not appear
  // for a volume 100 KB short.
  const std::string needed = std::to_string(Megabytes(need));
  const std::string available = std::to_string(free_bytes / (1024 * 1024));
  char text[256];
  std::snprintf(text, sizeof text, InLanguage(kSpaceFigures, language),
                needed.c_str(), available.c_str());
  return text;
}

}  // namespace updater
