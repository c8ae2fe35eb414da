// The BMP reader and probe: 8-bit palette, 24-bit and 32-bit pictures,
// uncompressed or with bit fields, rows top-down or bottom-up.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image_io.h"

namespace zorl {
namespace image_io {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
// Rows are read in batches of about this many bytes (at least one row).
constexpr std::uint32_t kBatchBytes = 256 * 1024;

struct Headers {
  std::uint32_t data_offset;
  std::uint32_t info_size;
  std::int32_t width;
  std::int32_t height;
  std::uint32_t bits;
  std::uint32_t compression;
  std::uint32_t colors_used;
};

std::uint32_t U16(const unsigned char* p) { return p[0] | (p[1] << 8); }
std::uint32_t U32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
}

// Rewinds and reads the file and info headers. False for anything that is
// not a BMP header of at least the 40-byte layout with a picture size.
bool ReadHeaders(KFile& stream, Headers* h) {
  Rewind(stream);
  unsigned char bytes[kFileHeaderSize + kInfoHeaderSize];
  if (!ReadExactly(stream, bytes, sizeof bytes)) return false;
  if (U16(bytes) != 0x4D42) return false;
  h->data_offset = U32(bytes + 10);
  h->info_size = U32(bytes + 14);
  h->width = static_cast<std::int32_t>(U32(bytes + 18));
  h->height = static_cast<std::int32_t>(U32(bytes + 22));
  h->bits = U16(bytes + 28);
  h->compression = U32(bytes + 30);
  h->colors_used = U32(bytes + 46);
  // Smaller (OS/2) headers lay their fields out differently; a picture
  // needs a width and a height (INT32_MIN has no magnitude in 31 bits).
  return h->info_size >= kInfoHeaderSize && h->width > 0 && h->height != 0 &&
         h->height != INT32_MIN;
}

}  // namespace

bool ProbeBitmap(KFile& stream, Info* info) {
  Headers h;
  if (!ReadHeaders(stream, &h)) return false;
  info->width = static_cast<std::uint32_t>(h.width);
  info->height = static_cast<std::uint32_t>(h.height < 0 ? -h.height : h.height);
  info->bits = h.bits;
  info->type = KImageFileType::kBmp;
  return true;
}

bool ReadBitmap(KFile& stream, KImage& image) {
  Headers h;
  if (!ReadHeaders(stream, &h)) return false;
  if (h.compression != 0 && h.compression != 3) return false;
  if (h.bits != 8 && h.bits != 24 && h.bits != 32) return false;

  const std::uint32_t width = static_cast<std::uint32_t>(h.width);
  const std::uint32_t height =
      static_cast<std::uint32_t>(h.height < 0 ? -h.height : h.height);
  const bool top_down = h.height < 0;
  if (!KimgPixelsAllowed(width, height)) return false;

  // The palette (or, for bit fields, the masks) follows the info header.
  const std::uint64_t after_header = std::uint64_t{kFileHeaderSize} + h.info_size;
  unsigned char palette[256 * 4] = {};  // indices past the palette: black
  std::uint64_t row_size = 0;
  std::uint64_t data_start = after_header;
  if (h.bits == 8) {
    const std::uint32_t n =
        (h.colors_used == 0 || h.colors_used > 256) ? 256 : h.colors_used;
    if (!SeekTo(stream, after_header) || !ReadExactly(stream, palette, n * 4))
      return false;
    row_size = (std::uint64_t{width} + 3) & ~std::uint64_t{3};
    data_start += n * 4;
  } else if (h.bits == 24) {
    row_size = (std::uint64_t{width} * 3 + 3) & ~std::uint64_t{3};
  } else {
    row_size = std::uint64_t{width} * 4;
    // The three masks follow a 40-byte header (larger headers hold them).
    // They are not used: 32-bit pixels are read as B, G, R, A.
    if (h.compression == 3 && h.info_size == kInfoHeaderSize) data_start += 12;
  }
  // The rows start where the file header says; a writer that left the
  // offset 0 put them right after the palette or masks.
  if (h.data_offset != 0) data_start = h.data_offset;

  // A file too short for its rows would fail at the first short row;
  // refusing it up front spares allocating a picture it cannot fill.
  const std::int64_t size = SizeOf(stream);
  if (size < 0 || data_start > static_cast<std::uint64_t>(size) ||
      row_size * height > static_cast<std::uint64_t>(size) - data_start)
    return false;

  if (!image.Create(width, height, 0, KIMG_RGBA)) return false;
  if (!SeekTo(stream, data_start)) {
    image.Release();
    return false;
  }

  const std::uint32_t batch_rows = static_cast<std::uint32_t>(
      std::max<std::uint64_t>(1, kBatchBytes / row_size));
  std::vector<unsigned char> batch(
      static_cast<std::size_t>(row_size * std::min(batch_rows, height)));
  image.BeginAccess();
  for (std::uint32_t first = 0; first < height; first += batch_rows) {
    const std::uint32_t rows = std::min(batch_rows, height - first);
    if (!ReadExactly(stream, batch.data(),
                     static_cast<std::uint32_t>(row_size * rows))) {
      image.EndAccess();
      image.Release();
      return false;
    }
    for (std::uint32_t r = 0; r < rows; ++r) {
      const std::uint32_t i = first + r;
      const unsigned char* from = batch.data() + row_size * r;
      unsigned char* to = image.PixelAddress(0, top_down ? i : height - 1 - i);
      if (h.bits == 8) {
        for (std::uint32_t x = 0; x < width; ++x, to += 4) {
          const unsigned char* entry = palette + from[x] * 4;
          to[0] = entry[2];
          to[1] = entry[1];
          to[2] = entry[0];
          to[3] = 255;
        }
      } else if (h.bits == 24) {
        for (std::uint32_t x = 0; x < width; ++x, from += 3, to += 4) {
          to[0] = from[2];
          to[1] = from[1];
          to[2] = from[0];
          to[3] = 255;
        }
      } else {
        for (std::uint32_t x = 0; x < width; ++x, from += 4, to += 4) {
          to[0] = from[2];
          to[1] = from[1];
          to[2] = from[0];
          to[3] = from[3];
        }
      }
    }
  }
  image.EndAccess();
  return true;
}

}  // namespace image_io
}  // namespace zorl
