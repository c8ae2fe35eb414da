// The BMP writer: 24-bit, bottom-up, uncompressed.
#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/kexcept.h"
#include "image/kconvert.h"
#include "image_io.h"

namespace zorl {
namespace image_io {

namespace {

constexpr std::uint32_t kHeadersSize = 14 + 40;
// Rows are written in batches of about this many bytes (at least one row).
constexpr std::uint32_t kBatchBytes = 256 * 1024;

void Put16(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
void Put32(unsigned char* p, std::uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

// Writes exactly `count` bytes or throws KExceptFile (the switch is on).
void WriteAll(KFile& stream, const void* data, std::uint32_t count) {
  if (stream.Write(data, count) != static_cast<std::int32_t>(count))
    throw KExceptFile();
}

// The whole write, with the stream's throw switch on.
void WriteBitmapThrowing(KFile& stream, const KImage& image) {
  unsigned char headers[kHeadersSize] = {};
  Put16(headers, 0x4D42);  // "BM"; file size and data offset come last
  Put32(headers + 14, 40);
  Put32(headers + 18, image.Width());
  Put32(headers + 22, image.Height());  // positive: rows bottom-up
  Put16(headers + 26, 1);
  Put16(headers + 28, 24);
  Rewind(stream);
  WriteAll(stream, headers, 14);
  WriteAll(stream, headers + 14, 40);

  KImageBottomUp converted;
  if (!converted.Create(image.Width(), image.Height(), 0, KIMG_BGR) ||
      !KConvertImage(image, converted))
    throw KExceptFile();

  // Bottom-up: the lowest address holds the bottom row, the file's first.
  const std::uint32_t width_bytes = image.Width() * 3;
  const std::uint32_t row_size = (converted.Stride() + 3) & ~3u;
  const std::int32_t data_offset = stream.Tell();
  const std::uint32_t batch_rows =
      std::max<std::uint32_t>(1, kBatchBytes / row_size);
  std::vector<unsigned char> batch(
      std::size_t{row_size} * std::min(batch_rows, image.Height()), 0);
  const unsigned char* from = converted.Bits();
  for (std::uint32_t done = 0; done < image.Height(); done += batch_rows) {
    const std::uint32_t rows = std::min(batch_rows, image.Height() - done);
    for (std::uint32_t r = 0; r < rows; ++r, from += converted.Stride())
      std::memcpy(batch.data() + std::size_t{row_size} * r, from, width_bytes);
    WriteAll(stream, batch.data(), row_size * rows);  // padding stays 0
  }

  Put32(headers + 2, static_cast<std::uint32_t>(stream.GetSize()));
  Put32(headers + 10, static_cast<std::uint32_t>(data_offset));
  Rewind(stream);
  WriteAll(stream, headers, 14);
}

}  // namespace

bool WriteBitmap(KFile& stream, const KImage& image) {
  const bool was_on = stream.SetThrowMode(true);
  try {
    WriteBitmapThrowing(stream, image);
  } catch (const KExceptFile&) {
    stream.SetThrowMode(was_on);
    if (was_on) throw;
    LogNamed("[KimgWriteBitmap] \"", stream, "\": Write Error\n");
    return false;
  }
  stream.SetThrowMode(was_on);
  return true;
}

}  // namespace image_io
}  // namespace zorl
