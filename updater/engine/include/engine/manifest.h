// The version manifest: what a payload was made from and for, stored after
// its zlib stream where an updater that does not know it never reads.
//
// Layout (all integers little-endian), at the end of the payload:
//
//   zlib stream | body | footer | (up to 7 zero bytes | certificate table)
//
// The footer (24 bytes) ends where the file ends, or where the PE
// certificate table of a signed updater begins (signing may put up to 7
// zero bytes before it to align it; they are skipped):
//   u32 body length   u16 format version (1)   u16 0
//   u64 XXH3-64 of the body                    8 bytes "KSTMNFS\x01"
// The body, right before the footer:
//   4 bytes "KMNB"   u64 inflated size of the command stream
//   u8 language (0 ja, 1 en, 2 auto)   3 bytes 0
//   four texts, each u32 byte count + UTF-8 (at most 4096 bytes):
//     from label, to label, caption, completion text ("" = the updater's own)
//   u32 record count, then per record:
//     u8 kind (0 loose file, 1 archive entry)
//     u8 before (0 absent, 1 file)   u8 after (0 absent, 1 file, 2 directory)
//     u8 0   u32 name length (at most 262) + the name (cp932, as the
//     command carries it)
//     for a before/after that is a file: u64 size, 16 bytes XXH3-128 of the
//     content (canonical, most significant byte first), before's first.
// Anything that departs from this (a checksum that fails, a length that
// does not fit, a cut body) is a damaged manifest.
#ifndef ENGINE_MANIFEST_H_
#define ENGINE_MANIFEST_H_

#include <cstdint>
#include <string>
#include <vector>

#include "engine/content_hash.h"
#include "foundation/kfile.h"

namespace updater {

inline constexpr char kManifestMagic[8] = {'K', 'S', 'T', 'M', 'N', 'F', 'S', '\x01'};
inline constexpr char kManifestBodyMagic[4] = {'K', 'M', 'N', 'B'};
constexpr std::uint16_t kManifestVersion = 1;
constexpr std::uint32_t kManifestFooterSize = 24;
constexpr std::uint32_t kManifestMaxText = 4096;
// A manifest larger than this is taken as damaged (a record is at most
// 310 bytes: millions of items fit).
constexpr std::uint32_t kManifestMaxBody = 256u * 1024 * 1024;

enum class MessageLanguage : std::uint8_t { kJapanese = 0, kEnglish = 1, kAuto = 2 };

// What an item is (or must be) at one moment.
struct ItemState {
  enum class Kind : std::uint8_t { kAbsent = 0, kFile = 1, kDirectory = 2 };
  Kind kind = Kind::kAbsent;
  std::uint64_t size = 0;  // kFile only
  ContentHash hash;        // kFile only
  bool operator==(const ItemState& other) const;
  bool operator!=(const ItemState& other) const { return !(*this == other); }
  // "absent", "directory", "123 bytes, xxh3-128 <hex>".
  std::string Describe() const;
};

struct ManifestRecord {
  enum class Kind : std::uint8_t { kLooseFile = 0, kArchiveEntry = 1 };
  Kind kind = Kind::kLooseFile;
  std::string name;  // cp932
  ItemState before;  // absent or a file
  ItemState after;   // absent, a file or (loose files) a directory
};

struct Manifest {
  std::uint64_t inflated_size = 0;
  MessageLanguage language = MessageLanguage::kJapanese;
  std::string from_label, to_label;  // UTF-8, may be empty
  std::string caption, completion;   // UTF-8; empty: the updater's own
  std::vector<ManifestRecord> records;
};

// Decodes a body (without its footer). False on anything that does not fit
// the layout, bytes left over included.
bool DecodeManifestBody(const unsigned char* body, std::size_t size, Manifest* out);

enum class ManifestLookup {
  kNone,     // no footer: a payload from before manifests
  kFound,    // read and checked
  kDamaged,  // a footer whose body is cut or fails its checksum or layout
};

// Looks for a manifest that ends at `end` (exclusive) in `file` (a payload
// or an updater). `begin` is where the payload starts: the manifest must lie
// after it. With `skip_padding`, up to 7 zero bytes before `end` are passed
// over (the alignment before a certificate table). On kFound fills
// `manifest` and `body_at` (where the body starts: where the zlib stream
// must have ended).
ManifestLookup ReadManifestAt(zorl::KFile& file, std::uint32_t begin,
                              std::uint32_t end, bool skip_padding,
                              Manifest* manifest, std::uint32_t* body_at);

// The same for an updater executable (its overlay holds the payload): the
// manifest ends at the file's end or, when the file is signed, where its
// certificate table begins. `payload_at` is the overlay's start.
ManifestLookup ReadUpdaterManifest(zorl::KFile& exe, std::uint32_t payload_at,
                                   Manifest* manifest, std::uint32_t* body_at);

// Whether the bytes at `at` begin like a manifest body: what follows a
// zlib stream when its footer was cut off.
bool LooksLikeManifestBody(zorl::KFile& file, std::uint32_t at);

// Where a signed updater's certificate table begins (the PE security
// directory, a file offset), when it lies at or after `image_end`; false
// for an unsigned file or unreadable headers.
bool FindCertificateTable(zorl::KFile& exe, std::uint32_t image_end,
                          std::uint32_t* at);

// Whether `text` is well-formed UTF-8 (shared with the writer).
bool IsValidUtf8(const std::string& text);

}  // namespace updater

#endif  // ENGINE_MANIFEST_H_
