// ContentHash: the XXH3-128 digest the version manifest records for a file
// or an archive entry, fed in pieces as the bytes pass by.
#ifndef ENGINE_CONTENT_HASH_H_
#define ENGINE_CONTENT_HASH_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "foundation/kfile.h"

namespace updater {

// 16 bytes, most significant first (XXH3-128's canonical form).
struct ContentHash {
  unsigned char bytes[16] = {};
  bool operator==(const ContentHash& other) const;
  bool operator!=(const ContentHash& other) const { return !(*this == other); }
  // 32 lowercase hexadecimal digits.
  std::string Hex() const;
};

class ContentHasher {
 public:
  ContentHasher();
  ~ContentHasher();
  ContentHasher(ContentHasher&&) noexcept;
  ContentHasher& operator=(ContentHasher&&) noexcept;

  void Update(const void* data, std::size_t size);
  // The digest of everything fed since construction or Reset.
  ContentHash Digest() const;
  std::uint64_t bytes() const { return bytes_; }
  void Reset();

 private:
  struct State;
  std::unique_ptr<State> state_;
  std::uint64_t bytes_ = 0;
};

ContentHash HashBytes(const void* data, std::size_t size);

// Hashes `stream` from its start to its end in large chunks. False when it
// cannot be read whole (its size changes while read, a read fails).
// `tick`, when given, is called between chunks (it may throw).
bool HashStream(zorl::KFile& stream, ContentHash* hash, std::uint64_t* size,
                const std::function<void()>& tick = {});

// XXH3-64 of a block: the manifest's own checksum.
std::uint64_t Checksum64(const void* data, std::size_t size);

}  // namespace updater

#endif  // ENGINE_CONTENT_HASH_H_
