#include "engine/resource_archive.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "engine/little_endian.h"
#include "foundation/kexcept.h"

namespace updater {
namespace {

constexpr std::uint32_t kCopyChunk = 1024 * 1024;
constexpr std::uint32_t kDirectoryChunk = 64 * 1024;
constexpr std::uint32_t kMaxStreamOffset = 0x7FFFFFFFu;
// Save asks the system to start writing back every this many bytes, so the
// caller's final flush finds little left to write.
constexpr std::uint32_t kWritebackStep = 32 * 1024 * 1024;

// Reads exactly `count` bytes or throws (the stream's throw switch is on,
// so a failed read throws by itself; a short one throws here).
void ReadExact(zorl::KFile& stream, std::uint32_t count, void* buffer) {
  if (stream.Read(count, buffer) != static_cast<std::int32_t>(count))
    throw zorl::KExceptFile();
}

void WriteExact(zorl::KFile& stream, const void* buffer, std::uint32_t count) {
  if (stream.Write(buffer, count) != static_cast<std::int32_t>(count))
    throw zorl::KExceptFile();
}

// Reads the directory through a block buffer: one system read per block
// instead of three per record. Reads exactly or throws, as ReadExact.
class DirectoryReader {
 public:
  explicit DirectoryReader(zorl::KFile& stream)
      : stream_(stream), block_(new unsigned char[kDirectoryChunk]) {}
  void Read(std::uint32_t count, void* out) {
    unsigned char* to = static_cast<unsigned char*>(out);
    while (count > 0) {
      if (at_ == filled_) {
        const std::int32_t got = stream_.Read(kDirectoryChunk, block_.get());
        if (got <= 0) throw zorl::KExceptFile();
        at_ = 0;
        filled_ = static_cast<std::uint32_t>(got);
      }
      const std::uint32_t n = count < filled_ - at_ ? count : filled_ - at_;
      std::memcpy(to, block_.get() + at_, n);
      at_ += n;
      to += n;
      count -= n;
    }
  }

 private:
  zorl::KFile& stream_;
  std::unique_ptr<unsigned char[]> block_;
  std::uint32_t at_ = 0, filled_ = 0;
};

// Restores a stream's throw switch on every way out.
class ThrowModeScope {
 public:
  explicit ThrowModeScope(zorl::KFile& stream)
      : stream_(stream), old_(stream.SetThrowMode(true)) {}
  ~ThrowModeScope() { stream_.SetThrowMode(old_); }
  bool old() const { return old_; }

 private:
  zorl::KFile& stream_;
  bool old_;
};

}  // namespace

std::uint32_t ArchiveNameHash(const char* lowered) {
  std::uint32_t sum = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(lowered);
       *p; ++p)
    sum = (sum + *p) & 0xFFu;
  return sum;
}

ResourceArchive::~ResourceArchive() { Close(); }

bool ResourceArchive::Load(const zorl::KRef<char>& path,
                           const Progress& progress) {
  zorl::KFile file;
  if (!file.Open(zorl::KFILE_READ, path)) {
    Close();
    return false;
  }
  return Load(file, progress);
}

bool ResourceArchive::Load(zorl::KFile& stream, const Progress& progress) {
  zorl::KLockGuard guard(lock_);
  if (open_) {
    CloseLocked();
    return false;
  }
  open_ = true;
  for (auto& head : buckets_) head = nullptr;
  for (auto& tail : tails_) tail = nullptr;
  ThrowModeScope mode(stream);
  bool loaded = false;
  try {
    loaded = LoadRecords(stream, mode.old(), progress);
  } catch (const zorl::KExceptFile&) {
    CloseLocked();
    if (mode.old()) throw;
    return false;
  } catch (...) {
    CloseLocked();
    throw;
  }
  if (!loaded) CloseLocked();
  return loaded;
}

bool ResourceArchive::LoadRecords(zorl::KFile& stream, bool entry_mode,
                                  const Progress& progress) {
  char archive_name[zorl::kNameBufferSize];
  zorl::CopyText(archive_name, stream.GetName(), sizeof archive_name);

  stream.Seek(zorl::KSEEK_BEGIN, 0);
  DirectoryReader reader(stream);
  unsigned char header[8];
  reader.Read(sizeof header, header);
  if (LoadLe32(header) != kArchiveMagic) return false;
  if (!stream_.OpenView(stream, 0, -1)) return false;
  stream_.SetThrowMode(entry_mode);
  const std::uint32_t count = LoadLe32(header + 4);
  // Size the name index once; a record takes at least 12 bytes, so a file
  // cannot hold more than its size / 12 of them, whatever its count says.
  const std::int64_t stream_size = stream.GetSize();
  if (stream_size > 0)
    index_.reserve(std::min<std::uint64_t>(count, static_cast<std::uint64_t>(stream_size) / 12));
  for (std::uint32_t i = 0; i < count; ++i) {
    unsigned char field[4];
    reader.Read(4, field);
    const std::uint32_t length = LoadLe32(field);
    if (length > kMaxEntryNameLength) throw zorl::KExceptFile();
    char name[zorl::kNameBufferSize];
    if (length > 0) reader.Read(length, name);
    name[length] = '\0';
    unsigned char place[8];
    reader.Read(sizeof place, place);
    const std::uint32_t offset = LoadLe32(place);
    const std::uint32_t size = LoadLe32(place + 4);
    // Views take signed offsets and lengths; larger values would turn
    // into "the current position" or "no limit".
    if (offset > kMaxStreamOffset || size > kMaxStreamOffset) return false;
    zorl::KFile view;
    if (!view.OpenView(stream, static_cast<std::int32_t>(offset),
                       static_cast<std::int32_t>(size)))
      return false;
    char view_name[zorl::kNameBufferSize];
    zorl::LowerName(name);
    // "<archive> | <entry>", cut to the name buffer.
    zorl::CopyText(view_name, archive_name, sizeof view_name);
    zorl::AppendText(view_name, " | ", sizeof view_name);
    zorl::AppendText(view_name, name, sizeof view_name);
    view.SetName(view_name);
    view.SetThrowMode(entry_mode);
    // The label ends with the entry's name unless it was cut: the entry's
    // name text is then that tail, in the label's buffer.
    zorl::KRef<char> tail;
    const std::size_t label_length = std::strlen(view_name);
    if (label_length >= length)
      tail = view.NameText().Sub(
          static_cast<std::ptrdiff_t>(label_length - length));
    if (!AddLocked(name, view, -1, tail)) return false;
    if (progress) progress(i + 1, count);
  }
  return true;
}

zorl::KRef<ArchiveEntry> ResourceArchive::FindLocked(const char* key) {
  const auto found = index_.find(key);
  return found == index_.end() ? zorl::KRef<ArchiveEntry>()
                               : entries_.At(found->second);
}

zorl::KRef<ArchiveEntry> ResourceArchive::Find(const zorl::KRef<char>& name) {
  zorl::KLockGuard guard(lock_);
  if (!open_) return {};
  char key[zorl::kNameBufferSize];
  zorl::MakeNameKey(key, name);
  return FindLocked(key);
}

bool ResourceArchive::AddLocked(const char* name, const zorl::KFile& content,
                                std::int32_t length,
                                const zorl::KRef<char>& shared_text) {
  char key[zorl::kNameBufferSize];
  zorl::MakeNameKey(key, name);
  if (index_.count(key)) return false;
  zorl::KRef<ArchiveEntry> entry;
  entry.Reset(1);
  const std::size_t key_length = std::strlen(key);
  if (shared_text && std::strcmp(shared_text.Get(), key) == 0) {
    entry->name_text = shared_text;
  } else {
    entry->name_text.Reset(static_cast<std::uint32_t>(key_length + 1));
    std::memcpy(entry->name_text.Get(), key, key_length + 1);
  }
  entry->name = entry->name_text.Get();
  entry->name_length = static_cast<std::uint32_t>(key_length);
  entry->hash = ArchiveNameHash(key);
  if (!entry->content.OpenView(content, 0, length)) return false;
  // The key views the entry's own text, not the caller's buffer.
  const std::string_view stored(entry->name, key_length);
  const auto slot = index_.emplace(stored, EntryPosition()).first;
  try {
    slot->second = entries_.PushBack(entry);
  } catch (...) {
    index_.erase(slot);
    throw;
  }
  // Chains are appended at their tail: the bucket keeps insertion order.
  if (tails_[entry->hash]) {
    tails_[entry->hash]->next = entry.Get();
  } else {
    buckets_[entry->hash] = entry.Get();
  }
  tails_[entry->hash] = entry.Get();
  return true;
}

bool ResourceArchive::Add(const zorl::KRef<char>& name,
                          const zorl::KFile& content) {
  zorl::KLockGuard guard(lock_);
  if (!open_) return false;
  return AddLocked(zorl::TextOf(name), content, -1);
}

void ResourceArchive::Unchain(ArchiveEntry* entry) {
  ArchiveEntry* previous = nullptr;
  for (ArchiveEntry** link = &buckets_[entry->hash]; *link;
       previous = *link, link = &(*link)->next) {
    if (*link == entry) {
      *link = entry->next;
      if (tails_[entry->hash] == entry) tails_[entry->hash] = previous;
      entry->next = nullptr;
      return;
    }
  }
}

bool ResourceArchive::Remove(const zorl::KRef<char>& name) {
  zorl::KLockGuard guard(lock_);
  if (!open_) return false;
  char key[zorl::kNameBufferSize];
  zorl::MakeNameKey(key, name);
  const auto found = index_.find(key);
  if (found == index_.end()) return false;
  // Held here: the key views the entry's name until it leaves the index.
  const EntryPosition position = found->second;
  zorl::KRef<ArchiveEntry> entry = entries_.At(position);
  Unchain(entry.Get());
  index_.erase(found);
  entries_.Erase(position);
  entry->content.Close();
  return true;
}

bool ResourceArchive::Replace(const zorl::KRef<char>& name,
                              const zorl::KFile& content) {
  zorl::KLockGuard guard(lock_);
  if (!open_) return false;
  char key[zorl::kNameBufferSize];
  zorl::MakeNameKey(key, name);
  zorl::KRef<ArchiveEntry> entry = FindLocked(key);
  if (!entry) return false;
  zorl::KFile view;
  if (!view.OpenView(content, 0, -1)) return false;
  entry->content.Close();
  return entry->content.OpenView(view, 0, -1);
}

bool ResourceArchive::OpenEntry(const zorl::KRef<char>& name,
                                zorl::KFile& out) {
  zorl::KLockGuard guard(lock_);
  if (!open_ || out.IsOpen()) return false;
  char key[zorl::kNameBufferSize];
  zorl::MakeNameKey(key, name);
  zorl::KRef<ArchiveEntry> entry = FindLocked(key);
  return entry && out.OpenView(entry->content, 0, -1);
}

zorl::KRef<ArchiveEntry> ResourceArchive::EntryAt(std::uint32_t index) {
  zorl::KLockGuard guard(lock_);
  if (index >= entries_.Count()) return {};
  auto p = entries_.Begin();
  while (index-- > 0) p = entries_.Next(p);
  return entries_.At(p);
}

std::vector<zorl::KRef<ArchiveEntry>> ResourceArchive::Entries() {
  zorl::KLockGuard guard(lock_);
  std::vector<zorl::KRef<ArchiveEntry>> all;
  all.reserve(entries_.Count());
  for (auto p = entries_.Begin(); p != entries_.End(); p = entries_.Next(p))
    all.push_back(entries_.At(p));
  return all;
}

std::uint32_t ResourceArchive::Count() {
  zorl::KLockGuard guard(lock_);
  return entries_.Count();
}

bool ResourceArchive::IsOpen() {
  zorl::KLockGuard guard(lock_);
  return open_;
}

void ResourceArchive::CloseLocked() {
  open_ = false;
  for (auto& head : buckets_) head = nullptr;
  for (auto& tail : tails_) tail = nullptr;
  index_.clear();
  entries_.Clear();
  stream_.Close();
}

bool ResourceArchive::Close() {
  zorl::KLockGuard guard(lock_);
  CloseLocked();
  return true;
}

bool ResourceArchive::Save(zorl::KFile& out, const Progress& progress,
                           const ContentSeen& content) {
  zorl::KLockGuard guard(lock_);
  if (!open_) {
    if (out.GetThrowMode()) throw zorl::KExceptFile();
    return false;
  }
  ThrowModeScope mode(out);
  try {
    return SaveContents(out, progress, content);
  } catch (const zorl::KExceptFile&) {
    if (mode.old()) throw;
    return false;
  }
}

bool ResourceArchive::SaveContents(zorl::KFile& out,
                                   const Progress& progress,
                                   const ContentSeen& content) {
  // Sizes first: the directory is written once, with its final offsets.
  std::uint64_t directory_size = 8;
  std::uint64_t total = 0;
  for (auto p = entries_.Begin(); p != entries_.End(); p = entries_.Next(p)) {
    ArchiveEntry& e = *entries_.At(p);
    const bool old = e.content.SetThrowMode(false);
    const std::int32_t size = e.content.GetSize();
    e.content.SetThrowMode(old);
    if (size < 0) throw zorl::KExceptFile();
    directory_size += 12 + e.name_length;
    total += static_cast<std::uint32_t>(size);
  }
  if (directory_size + total > 0xFFFFFFFFu) return false;  // offsets are u32

  if (!out.Seek(zorl::KSEEK_BEGIN, 0)) throw zorl::KExceptFile();
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[kCopyChunk]);
  std::uint32_t used = 0;
  auto put = [&](const void* bytes, std::uint32_t count) {
    if (used + count > kDirectoryChunk) {
      WriteExact(out, buffer.get(), used);
      used = 0;
    }
    std::memcpy(buffer.get() + used, bytes, count);
    used += count;
  };
  unsigned char field[4];
  StoreLe32(field, kArchiveMagic);
  put(field, 4);
  StoreLe32(field, entries_.Count());
  put(field, 4);
  std::uint64_t offset = directory_size;
  for (auto p = entries_.Begin(); p != entries_.End(); p = entries_.Next(p)) {
    ArchiveEntry& e = *entries_.At(p);
    const std::uint32_t size = static_cast<std::uint32_t>(e.content.GetSize());
    unsigned char record[4];
    StoreLe32(record, e.name_length);
    put(record, 4);
    put(e.name, e.name_length);
    StoreLe32(record, static_cast<std::uint32_t>(offset));
    put(record, 4);
    StoreLe32(record, size);
    put(record, 4);
    offset += size;
  }
  if (used > 0) WriteExact(out, buffer.get(), used);

  // Contents go through one buffer: small entries share a write. The disk
  // writes back what is done while the copy goes on (a hint only: its
  // result changes nothing, the caller's flush reports real failures).
  std::uint32_t out_at = static_cast<std::uint32_t>(directory_size);
  std::uint32_t writeback_from = 0;
  auto write_buffer = [&] {
    WriteExact(out, buffer.get(), used);
    out_at += used;
    used = 0;
    if (out_at - writeback_from >= kWritebackStep) {
      out.StartWriteback(writeback_from, out_at - writeback_from);
      writeback_from = out_at;
    }
  };
  const std::int64_t total_bytes = static_cast<std::int64_t>(total);
  std::int64_t written = 0;
  used = 0;
  for (auto p = entries_.Begin(); p != entries_.End(); p = entries_.Next(p)) {
    ArchiveEntry& e = *entries_.At(p);
    if (progress) progress(written, total_bytes);
    if (content) content(e, nullptr, 0);
    const bool old = e.content.SetThrowMode(true);
    try {
      if (!e.content.Seek(zorl::KSEEK_BEGIN, 0)) throw zorl::KExceptFile();
      std::uint32_t left = static_cast<std::uint32_t>(e.content.GetSize());
      while (left > 0) {
        const std::uint32_t space = kCopyChunk - used;
        const std::uint32_t n = left < space ? left : space;
        ReadExact(e.content, n, buffer.get() + used);
        if (content) content(e, buffer.get() + used, n);
        used += n;
        left -= n;
        if (used == kCopyChunk) write_buffer();
        written += n;
        if (progress) progress(written, total_bytes);
      }
    } catch (...) {
      e.content.SetThrowMode(old);
      throw;
    }
    e.content.SetThrowMode(old);
  }
  if (used > 0) write_buffer();
  if (progress) progress(written, total_bytes);
  return true;
}

}  // namespace updater
