// The BMP writer: 24-bit, bottom-up, uncompressed.
#include <algorithm>
#include <cstring>
#include <new>

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

  // Converted a batch of rows at a time, so that the writer holds about
  // kBatchBytes besides the picture, never a second copy of it. A
  // bottom-up batch keeps the file's row order in memory: the bottom row
  // of the batch at its lowest address.
  const std::uint32_t width = image.Width();
  const std::uint32_t height = image.Height();
  const std::uint64_t row_bytes = (std::uint64_t{width} * 3 + 3) & ~3u;
  if (image.IsEmpty() || row_bytes > 0x7FFFFFFF) throw KExceptFile();
  const std::uint32_t row_size = static_cast<std::uint32_t>(row_bytes);
  const std::uint32_t batch_rows =
      std::min(height, std::max<std::uint32_t>(1, kBatchBytes / row_size));
  KImageBottomUp batch;
  if (!batch.Create(width, batch_rows, row_size, KIMG_BGR))
    throw KExceptFile();
  std::memset(batch.Bits(), 0, std::size_t{row_size} * batch_rows);  // padding
  const std::int32_t data_offset = stream.Tell();
  for (std::uint32_t done = 0; done < height; done += batch_rows) {
    const std::uint32_t rows = std::min(batch_rows, height - done);
    // Picture rows [top, top + rows) fill the batch's last `rows` rows,
    // which are its lowest addresses.
    const std::uint32_t top = height - done - rows;
    if (!KConvertRect(image, 0, static_cast<int>(top), static_cast<int>(width),
                      static_cast<int>(rows), batch, 0,
                      static_cast<int>(batch_rows - rows)))
      throw KExceptFile();
    WriteAll(stream, batch.Bits(), row_size * rows);
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
  } catch (const std::bad_alloc&) {
    // Out of memory is no file error: a failure whatever the switch says.
    stream.SetThrowMode(was_on);
    NoteOutOfMemory(true);
    LogNamed("[KimgWriteBitmap] \"", stream, "\": Write Error\n");
    return false;
  }
  stream.SetThrowMode(was_on);
  return true;
}

}  // namespace image_io
}  // namespace zorl
