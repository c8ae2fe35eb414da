#include "engine/content_hash.h"

#include <cstring>

// Header-only: the same code in both trees, and nothing to link for Windows.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace updater {

struct ContentHasher::State {
  XXH3_state_t xxh;
};

namespace {
constexpr std::uint32_t kHashChunk = 1024 * 1024;
}

bool ContentHash::operator==(const ContentHash& other) const {
  return std::memcmp(bytes, other.bytes, sizeof bytes) == 0;
}

std::string ContentHash::Hex() const {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

ContentHasher::ContentHasher() : state_(new State) { Reset(); }
ContentHasher::~ContentHasher() = default;
ContentHasher::ContentHasher(ContentHasher&&) noexcept = default;
ContentHasher& ContentHasher::operator=(ContentHasher&&) noexcept = default;

void ContentHasher::Reset() {
  XXH3_128bits_reset(&state_->xxh);
  bytes_ = 0;
}

void ContentHasher::Update(const void* data, std::size_t size) {
  XXH3_128bits_update(&state_->xxh, data, size);
  bytes_ += size;
}

ContentHash ContentHasher::Digest() const {
  XXH128_canonical_t canonical;
  XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(&state_->xxh));
  ContentHash hash;
  std::memcpy(hash.bytes, canonical.digest, sizeof hash.bytes);
  return hash;
}

ContentHash HashBytes(const void* data, std::size_t size) {
  ContentHasher hasher;
  hasher.Update(data, size);
  return hasher.Digest();
}

bool HashStream(zorl::KFile& stream, ContentHash* hash, std::uint64_t* size,
                const std::function<void()>& tick) {
  const std::int32_t total = stream.GetSize();
  if (total < 0 || !stream.Seek(zorl::KSEEK_BEGIN, 0)) return false;
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[kHashChunk]);
  ContentHasher hasher;
  std::uint32_t left = static_cast<std::uint32_t>(total);
  while (left > 0) {
    const std::uint32_t n = left < kHashChunk ? left : kHashChunk;
    if (stream.Read(n, buffer.get()) != static_cast<std::int32_t>(n)) return false;
    hasher.Update(buffer.get(), n);
    left -= n;
    if (tick) tick();
  }
  *hash = hasher.Digest();
  *size = static_cast<std::uint32_t>(total);
  return true;
}

std::uint64_t Checksum64(const void* data, std::size_t size) {
  return XXH3_64bits(data, size);
}

}  // namespace updater
