#include "engine/payload.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "engine/little_endian.h"

namespace updater {
namespace {

// Large buffers: the format's own chunk sizes say nothing about speed.
constexpr std::uint32_t kInflateChunk = 256 * 1024;

// Ends a zlib stream on every way out of the inflater.
struct InflateGuard {
  z_stream* stream;
  ~InflateGuard() { inflateEnd(stream); }
};

}  // namespace

bool FindImageEnd(zorl::KFile& file, std::uint32_t* end) {
  if (!file.Seek(zorl::KSEEK_BEGIN, 0)) return false;
  unsigned char dos[64];
  if (file.Read(sizeof dos, dos) != 64 || LoadLe16(dos) != 0x5A4D) return false;
  const std::uint32_t pe_offset = LoadLe32(dos + 60);
  if (pe_offset > 0x7FFFFFFFu ||
      !file.Seek(zorl::KSEEK_BEGIN, static_cast<std::int32_t>(pe_offset)))
    return false;
  unsigned char signature[4];
  if (file.Read(4, signature) != 4 || LoadLe32(signature) != 0x00004550u)
    return false;
  unsigned char header[20];
  if (file.Read(sizeof header, header) != 20) return false;
  const std::uint32_t sections = LoadLe16(header + 2);
  std::uint32_t optional = LoadLe16(header + 16);
  unsigned char skip[4096];
  while (optional > 0) {
    const std::uint32_t n = optional < sizeof skip ? optional : sizeof skip;
    if (file.Read(n, skip) != static_cast<std::int32_t>(n)) return false;
    optional -= n;
  }
  if (sections == 0) return false;

  bool found = false;
  std::uint32_t start = 0, size = 0;
  for (std::uint32_t i = 0; i < sections; ++i) {
    unsigned char section[40];
    if (file.Read(sizeof section, section) != 40) return false;
    const std::uint32_t raw_size = LoadLe32(section + 16);
    const std::uint32_t raw_start = LoadLe32(section + 20);
    if (raw_size == 0 || raw_start == 0) continue;
    if (!found || raw_start > start || (raw_start == start && raw_size > size)) {
      start = raw_start;
      size = raw_size;
      found = true;
    }
  }
  if (!found) return false;
  const std::uint64_t image_end = std::uint64_t{start} + size;
  if (image_end > 0xFFFFFFFFu) return false;
  *end = static_cast<std::uint32_t>(image_end);
  return true;
}

bool LocatePayload(const zorl::KRef<char>& exe_path, zorl::KFile& out) {
  zorl::KFile file;
  if (!file.Open(zorl::KFILE_READ, exe_path)) return false;
  std::uint32_t payload = 0;
  if (!FindImageEnd(file, &payload)) return false;
  const std::int32_t file_size = file.GetSize();
  if (file_size < 0 || payload >= static_cast<std::uint64_t>(file_size))
    return false;
  return out.OpenView(file, static_cast<std::int32_t>(payload), -1);
}

bool InflatePayload(zorl::KFile& destination, zorl::KFile& source,
                    const std::function<void()>& tick, bool* too_large,
                    std::uint64_t limit) {
  if (too_large) *too_large = false;
  z_stream stream;
  std::memset(&stream, 0, sizeof stream);
  if (inflateInit2(&stream, 15) != Z_OK) return false;
  InflateGuard guard{&stream};

  std::unique_ptr<unsigned char[]> input(new unsigned char[kInflateChunk]);
  std::unique_ptr<unsigned char[]> output(new unsigned char[kInflateChunk]);
  stream.next_out = output.get();
  stream.avail_out = kInflateChunk;
  std::uint64_t written = 0;
  for (;;) {
    if (stream.avail_in == 0) {
      const std::int32_t got = source.Read(kInflateChunk, input.get());
      if (got < 0) return false;
      stream.next_in = input.get();
      stream.avail_in = static_cast<uInt>(got);
    }
    const int result = inflate(&stream, Z_NO_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END) return false;
    const std::uint32_t pending = kInflateChunk - stream.avail_out;
    if (written + pending > limit) {
      if (too_large) *too_large = true;
      return false;
    }
    if (result == Z_STREAM_END || stream.avail_out == 0) {
      written += pending;
      if (pending > 0 &&
          destination.Write(output.get(), pending) !=
              static_cast<std::int32_t>(pending))
        return false;
      stream.next_out = output.get();
      stream.avail_out = kInflateChunk;
    }
    if (result == Z_STREAM_END) {
      // Leave the source right after the stream, as a byte-wise feed would.
      if (stream.avail_in > 0)
        source.Seek(zorl::KSEEK_CURRENT,
                    -static_cast<std::int32_t>(stream.avail_in));
      return true;
    }
    if (tick) tick();
  }
}

}  // namespace updater
