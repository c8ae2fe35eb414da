// ResourceArchive: the game's resource archive ("mareld.dat") held as a
// directory in memory whose entries are views onto the files they came from.
//
// File format (u32 little-endian, offsets absolute from the file's start):
//   "KMF " magic (0x20464D4B), entry count N,
//   N directory records: u32 name length n (0..263), n name bytes (no NUL,
//     lowered), u32 content offset, u32 content size,
//   then the contents. The reader accepts any offsets and sizes; Save
//   writes the contents packed in directory order right after the directory.
//
// Name key: a name is lowered before it is stored or compared: "A".."Z"
// become "a".."z", a cp932 lead byte and its trail byte stay as they are
// (a trail byte is never lowered). The key is part of the file format. An
// entry's bucket is the 8-bit wrapping sum of its lowered name's bytes.
//
// Nothing is copied into memory: an entry is a KFile view onto the old
// archive or onto the payload file, so those files stay open until Close.
// Every operation takes the archive's lock and reports failure by result.
#ifndef ENGINE_RESOURCE_ARCHIVE_H_
#define ENGINE_RESOURCE_ARCHIVE_H_

#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/kfile.h"
#include "foundation/klist.h"
#include "foundation/klock.h"
#include "foundation/kref.h"
#include "foundation/ktext.h"

namespace updater {

constexpr std::uint32_t kArchiveMagic = 0x20464D4Bu;  // "KMF "
constexpr std::uint32_t kMaxEntryNameLength = 263;
constexpr unsigned kArchiveBuckets = 256;
// The archive's file name in the game directory, and its backup's.
inline constexpr char kArchiveFileName[] = "mareld.dat";
inline constexpr char kBackupFileName[] = "mareld.bak";

// One directory entry. An archive holds tens of thousands of them, so the
// name is counted text of its exact size instead of a fixed 264 bytes.
struct ArchiveEntry {
  // The lowered name, NUL-terminated: points into `name_text`, which copies
  // of the entry share, so it stays valid as long as the entry (or a copy).
  const char* name = "";
  // A buffer of name_length + 1 bytes, or, for an entry loaded from an
  // archive, the tail of its view's label "<archive> | <name>" (one
  // buffer for both).
  zorl::KRef<char> name_text;
  std::uint32_t name_length = 0;
  std::uint32_t hash = 0;        // bucket 0..255
  zorl::KFile content;           // view onto the entry's bytes
  ArchiveEntry* next = nullptr;  // next entry of the same bucket
};

// The bucket of a lowered name: the 8-bit wrapping sum of its bytes.
std::uint32_t ArchiveNameHash(const char* lowered);

class ResourceArchive {
 public:
  // Progress of a long operation: (work done, work total). Called often;
  // the receiver decides how often to show it. May throw (the updater's
  // failure signal ends a run from inside it); the archive stays
  // consistent and the exception passes through.
  using Progress = std::function<void(std::int64_t done, std::int64_t total)>;

  ResourceArchive() = default;
  ~ResourceArchive();
  ResourceArchive(const ResourceArchive&) = delete;
  ResourceArchive& operator=(const ResourceArchive&) = delete;

  // Opens `path` for reading and loads it. False when the file cannot be
  // opened or Load(stream) fails. The views keep the file open.
  bool Load(const zorl::KRef<char>& path, const Progress& progress = {});
  // Loads the directory of an archive stream (from its start). False, with
  // the archive closed, on: an archive already open (closed by this call),
  // a bad magic, a short header or record, a name length above 263, an
  // offset or size above 0x7FFFFFFF (beyond any stream's reach), or a
  // duplicate name (names equal after lowering). Read failures are thrown
  // again as KExceptFile when the stream's throw switch was on; the
  // stream's throw switch is always restored. `progress` gets (records
  // read, N).
  bool Load(zorl::KFile& stream, const Progress& progress = {});

  // The entry with this name (compared by name key), or an empty value.
  // Empty when not open.
  zorl::KRef<ArchiveEntry> Find(const zorl::KRef<char>& name);
  // Appends an entry whose content is a view of `content` from its start
  // (inheriting its limit). False when not open, when the name exists, or
  // when the view cannot be opened.
  bool Add(const zorl::KRef<char>& name, const zorl::KFile& content);
  // Removes the entry (its view closes). False when not open or missing.
  bool Remove(const zorl::KRef<char>& name);
  // Points an existing entry at a new view of `content`, keeping its place
  // in the order. False when not open, missing, or the view fails.
  bool Replace(const zorl::KRef<char>& name, const zorl::KFile& content);
  // Opens `out` (which must be closed) as a view of the entry's content.
  // False when not open, missing, or `out` is open.
  bool OpenEntry(const zorl::KRef<char>& name, zorl::KFile& out);
  // The entry at list position `index`, or empty. Walks the list from its
  // start: for every entry in order, use Entries.
  zorl::KRef<ArchiveEntry> EntryAt(std::uint32_t index);
  // Every entry in list order (the order Save writes), in one pass. The
  // entries are shared, not copied; later changes to the archive do not
  // change the returned list. Empty when not open.
  std::vector<zorl::KRef<ArchiveEntry>> Entries();
  std::uint32_t Count();
  bool IsOpen();
  // The view over the whole loaded file (closed when no archive is open):
  // what the run protects from loose-file commands.
  const zorl::KFile& File() const { return stream_; }
  // Empties the directory and releases every file. Always true.
  bool Close();

  // Writes the whole archive into `out` from offset 0 (give it an empty
  // file: it is not truncated). `progress` gets (bytes written, total
  // content bytes) before each entry and after each chunk, ending with
  // (total, total). False when not open, when an entry's content is short
  // or unreadable, when a write fails, or when the contents would pass the
  // 32-bit offset range; KExceptFile is thrown again instead when `out`'s
  // throw switch was on. `out`'s throw switch is always restored.
  // `content`, when given, sees every entry's bytes as they are written:
  // once with no data (nullptr, 0) when the entry begins, then each piece.
  using ContentSeen = std::function<void(const ArchiveEntry& entry,
                                         const unsigned char* data, std::uint32_t size)>;
  bool Save(zorl::KFile& out, const Progress& progress = {},
            const ContentSeen& content = {});

 private:
  // `shared_text`, when it holds the name's key, becomes the entry's name
  // text instead of a new buffer.
  bool AddLocked(const char* name, const zorl::KFile& content,
                 std::int32_t length,
                 const zorl::KRef<char>& shared_text = {});
  zorl::KRef<ArchiveEntry> FindLocked(const char* key);
  void Unchain(ArchiveEntry* entry);
  bool LoadRecords(zorl::KFile& stream, bool entry_mode,
                   const Progress& progress);
  bool SaveContents(zorl::KFile& out, const Progress& progress,
                    const ContentSeen& content);
  void CloseLocked();

  bool open_ = false;
  zorl::KFile stream_;  // a view over the whole loaded file
  zorl::KLock lock_;
  zorl::KList<ArchiveEntry> entries_;
  ArchiveEntry* buckets_[kArchiveBuckets] = {};
  ArchiveEntry* tails_[kArchiveBuckets] = {};  // last entry of each chain
  // Name key -> the entry's list position (whose node holds the entry).
  // The format's 8-bit byte-sum buckets crowd names that differ only in
  // digits into a few chains; this index keeps lookups constant-time for
  // archives of many entries. A key views the entry's own name text, which
  // the node keeps alive for as long as the key is in the index.
  using EntryPosition = zorl::KList<ArchiveEntry>::Position;
  std::unordered_map<std::string_view, EntryPosition> index_;
};

}  // namespace updater

#endif  // ENGINE_RESOURCE_ARCHIVE_H_
