// The manifest reader on any bytes. The first byte picks what the rest is:
// even, a whole payload file (the footer found from its end, alignment
// zeros skipped, the checksum checked); odd, a body that is sealed here
// with a footer whose checksum holds, so that the layout checks behind
// the checksum are reached. A body the reader accepts must encode back to
// the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/content_hash.h"
#include "engine/little_endian.h"
#include "engine/manifest.h"
#include "patchlib/manifest_writer.h"

namespace {

bool ReadFile(const std::string& bytes, bool skip_padding, updater::Manifest* m,
              std::uint32_t* body_at) {
  zorl::KFile file;
  if (!file.OpenMemory("fuzz.bin", static_cast<std::uint32_t>(bytes.size()),
                       zorl::KMEM_READ | zorl::KMEM_WRITE))
    return false;
  file.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  return updater::ReadManifestAt(file, 0, static_cast<std::uint32_t>(bytes.size()),
                                 skip_padding, m, body_at) == updater::ManifestLookup::kFound;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size > (1u << 20)) return 0;
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  updater::Manifest m;
  std::uint32_t body_at = 0;
  if ((data[0] & 1) == 0) {
    ReadFile(rest, (data[0] & 2) != 0, &m, &body_at);
    return 0;
  }
  std::string sealed = rest;
  unsigned char footer[updater::kManifestFooterSize] = {};
  updater::StoreLe32(footer, static_cast<std::uint32_t>(rest.size()));
  footer[4] = static_cast<unsigned char>(updater::kManifestVersion);
  const std::uint64_t sum = updater::Checksum64(rest.data(), rest.size());
  updater::StoreLe32(footer + 8, static_cast<std::uint32_t>(sum));
  updater::StoreLe32(footer + 12, static_cast<std::uint32_t>(sum >> 32));
  for (int i = 0; i < 8; ++i) footer[16 + i] = static_cast<unsigned char>(updater::kManifestMagic[i]);
  sealed.append(reinterpret_cast<const char*>(footer), sizeof footer);
  if (!ReadFile(sealed, false, &m, &body_at)) return 0;
  if (body_at != 0) std::abort();
  std::string encoded, error;
  if (!patchlib::EncodeManifest(m, &encoded, &error) ||
      encoded.compare(0, rest.size(), rest) != 0 ||
      encoded.size() != rest.size() + updater::kManifestFooterSize)
    std::abort();  // accepted, yet not what the writer makes of it
  return 0;
}
