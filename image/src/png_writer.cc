// The PNG and KCI writer (libpng; see png_io.h for how its errors come back
// without skipping destructors).
#include <csetjmp>
#include <vector>

#include "foundation/kexcept.h"
#include "image/kconvert.h"
#include "image_io.h"
#include "png_io.h"

namespace zorl {
namespace image_io {

namespace {

// The steps that call into libpng; as in the reader, each frame holds
// nothing with a destructor and returns false after a libpng error.

bool WriteHeaderStep(png_structp png, png_infop info, PngIo* io,
                     bool scrambled, png_uint_32 width, png_uint_32 height,
                     bool alpha) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, io, scrambled ? PngWriteScramble : PngWritePlain,
                   PngFlush);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, width, height, 8,
               alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  return true;
}

// Converts each source row into `row` (one row, the written format) and
// writes it.
bool WriteRowsStep(png_structp png, const KImage* source, KImage* row) {
  if (setjmp(png_jmpbuf(png))) return false;
  const int width = static_cast<int>(source->Width());
  const png_uint_32 height = source->Height();
  for (png_uint_32 y = 0; y < height; ++y) {
    KConvertRect(*source, 0, static_cast<int>(y), width, 1, *row, 0, 0);
    png_write_row(png, row->TopRow());
  }
  return true;
}

bool WriteEndStep(png_structp png) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_write_end(png, nullptr);
  return true;
}

// Overwrites the eight bytes at the base with the scrambled KCI signature
// and returns to where the file ends. The way back is taken even after a
// failed write.
bool StampKciSignature(KFile& stream) {
  try {
    const std::int32_t end = stream.Tell();
    if (end < 0 || !stream.Seek(KSEEK_BEGIN, 0)) return false;
    bool ok = stream.Write(kKciScrambled, 4) == 4;
    ok = ok && stream.Write(kKciScrambled + 4, 4) == 4;
    return stream.Seek(KSEEK_BEGIN, end) && ok;
  } catch (const KExceptFile&) {
    return false;
  }
}

}  // namespace

bool WritePng(KFile& stream, const KImage& image, bool keep_alpha,
              bool scrambled) {
  Rewind(stream);
  const bool alpha = keep_alpha && KImageFormatHasAlpha(image.Format());
  // An empty image goes on to libpng, which refuses its zero size.
  KImage row;
  if (!image.IsEmpty() &&
      !row.Create(image.Width(), 1, 0, alpha ? KIMG_RGBA : KIMG_RGB))
    return false;

  PngStructs writer(PngStructs::kWrite);
  if (!writer.ok()) return false;
  std::vector<unsigned char> scramble_buffer(scrambled ? kScrambleBlock : 0);
  PngIo io{&stream, scramble_buffer.data()};
  if (!WriteHeaderStep(writer.png(), writer.info(), &io, scrambled,
                       image.Width(), image.Height(), alpha) ||
      !WriteRowsStep(writer.png(), &image, &row) ||
      !WriteEndStep(writer.png()))
    return false;
  return scrambled ? StampKciSignature(stream) : true;
}

}  // namespace image_io
}  // namespace zorl
