// The PNG and KCI reader and probe (libpng; see png_io.h for how its errors
// come back without skipping destructors).
#include <csetjmp>
#include <cstring>

#include "image_io.h"
#include "png_io.h"

namespace zorl {
namespace image_io {

namespace {

// Deflate turns one byte into at most 1032. The image a file makes may
// hold that many times the file's remaining bytes, plus a fixed allowance:
// the image, not the file's packed rows, is what gets allocated, and a
// 1-bit or palette picture takes 24 or 32 bits a pixel there. The
// allowance (a 4096 x 4096 RGBA picture) keeps any flat picture of a
// game's size readable, however well it compresses.
constexpr std::uint64_t kMaxInflateRatio = 1032;
constexpr std::uint64_t kInflateAllowance = std::uint64_t{64} << 20;

// Rewinds and reads the signature head. Tells libpng's read structure how
// many signature bytes are gone once it exists (see Header::sig_bytes).
KImageFileType ReadSignature(KFile& stream, int* sig_bytes) {
  Rewind(stream);
  unsigned char head[8];
  if (!ReadExactly(stream, head, 4)) return KImageFileType::kNone;
  if (std::memcmp(head, kPngSignature, 4) == 0) {
    *sig_bytes = 4;  // libpng reads and checks the other four
    return KImageFileType::kPng;
  }
  if (std::memcmp(head, kKciPlain, 4) == 0 ||
      std::memcmp(head, kKciScrambled, 4) == 0) {
    if (!ReadExactly(stream, head + 4, 4)) return KImageFileType::kNone;
    *sig_bytes = 8;
    if (std::memcmp(head, kKciPlain, 8) == 0) return KImageFileType::kKciPlain;
    if (std::memcmp(head, kKciScrambled, 8) == 0)
      return KImageFileType::kKciScrambled;
  }
  return KImageFileType::kNone;
}

// What the header step learns.
struct Header {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bit_depth = 0;
  int color_type = 0;
  bool has_alpha = false;     // alpha channel or transparency chunk
  int passes = 1;
  png_size_t rowbytes = 0;    // after the transforms
  png_byte channels = 0;      // after the transforms
  png_byte depth = 0;         // after the transforms
};

// The steps that call into libpng. Each sets libpng's jump target in its own
// frame, which, like libpng's callbacks, holds nothing with a destructor;
// after a libpng error the step returns false.

bool ReadHeaderStep(png_structp png, png_infop info, PngIo* io,
                    bool scrambled, int sig_bytes, bool transform,
                    Header* h) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, io, scrambled ? PngReadDescramble : PngReadPlain);
  png_set_sig_bytes(png, sig_bytes);
  png_read_info(png, info);
  png_get_IHDR(png, info, &h->width, &h->height, &h->bit_depth,
               &h->color_type, nullptr, nullptr, nullptr);
  const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  h->has_alpha = trns || (h->color_type & PNG_COLOR_MASK_ALPHA) != 0;
  if (!transform) return true;

  if (h->bit_depth == 16) {
    png_set_strip_16(png);
    png_set_swap(png);  // no effect once stripped
  }
  if (h->bit_depth < 8) {
    png_set_packing(png);
    png_set_packswap(png);
  }
  if (h->color_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (h->color_type == PNG_COLOR_TYPE_GRAY && h->bit_depth < 8)
    png_set_expand_gray_1_2_4_to_8(png);
  if (trns) png_set_tRNS_to_alpha(png);
  if (h->color_type == PNG_COLOR_TYPE_GRAY ||
      h->color_type == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(png);
  if (h->has_alpha) png_set_invert_alpha(png);
  h->passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  h->rowbytes = png_get_rowbytes(png, info);
  h->channels = png_get_channels(png, info);
  h->depth = png_get_bit_depth(png, info);
  return true;
}

// Reads every pass straight into the image rows: libpng combines a later
// pass into the row it is given, which then holds the earlier passes.
bool ReadRowsStep(png_structp png, KImage* image, int passes,
                  png_uint_32 height) {
  if (setjmp(png_jmpbuf(png))) return false;
  for (int pass = 0; pass < passes; ++pass) {
    unsigned char* row = image->BeginAccess();
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(png, row, nullptr);
      row = image->NextRow(row);
    }
    image->EndAccess();
  }
  return true;
}

bool ReadEndStep(png_structp png) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_end(png, nullptr);
  return true;
}

// The bytes left in the stream, or -1 when unknown.
std::int64_t Remaining(KFile& stream) {
  const std::int64_t size = SizeOf(stream);
  const std::int32_t at = TryTell(stream);
  return size < 0 || at < 0 || at > size ? -1 : size - at;
}

}  // namespace

bool ProbePng(KFile& stream, Info* info) {
  int sig_bytes = 0;
  const KImageFileType type = ReadSignature(stream, &sig_bytes);
  if (type == KImageFileType::kNone) return false;
  PngStructs reader(PngStructs::kRead);
  if (!reader.ok()) return false;
  PngIo io{&stream, nullptr};
  Header h;
  if (!ReadHeaderStep(reader.png(), reader.info(), &io,
                      type == KImageFileType::kKciScrambled, sig_bytes, false,
                      &h))
    return false;
  info->width = h.width;
  info->height = h.height;
  info->bits = h.has_alpha ? 32 : 24;
  info->type = type;
  return true;
}

bool ReadPng(KFile& stream, KImage& image, KImageFileType* type) {
  int sig_bytes = 0;
  const KImageFileType kind = ReadSignature(stream, &sig_bytes);
  if (kind == KImageFileType::kNone) return false;
  PngStructs reader(PngStructs::kRead);
  if (!reader.ok()) return false;
  PngIo io{&stream, nullptr};
  Header h;
  if (!ReadHeaderStep(reader.png(), reader.info(), &io,
                      kind == KImageFileType::kKciScrambled, sig_bytes, true,
                      &h))
    return false;
  // Every transform ends in 8-bit RGB or RGBA, exactly one image row.
  const png_byte channels = h.has_alpha ? 4 : 3;
  if (h.depth != 8 || h.channels != channels ||
      h.rowbytes != png_size_t{h.width} * channels)
    return false;
  // Refuse a picture too large, or more than the file can hold, before
  // allocating it.
  if (!KimgPixelsAllowed(h.width, h.height)) return false;
  const std::int64_t remaining = Remaining(stream);
  if (remaining < 0 ||
      std::uint64_t{h.width} * h.height * channels >
          kMaxInflateRatio * static_cast<std::uint64_t>(remaining) +
              kInflateAllowance)
    return false;

  if (!image.Create(h.width, h.height, 0, h.has_alpha ? KIMG_RGBA : KIMG_RGB))
    return false;
  if (!ReadRowsStep(reader.png(), &image, h.passes, h.height) ||
      !ReadEndStep(reader.png())) {
    image.Release();
    return false;
  }
  if (type) *type = kind;
  return true;
}

}  // namespace image_io
}  // namespace zorl
