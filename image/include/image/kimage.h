// KImage: the library's in-memory picture, and KImageBottomUp, the same
// picture stored the way Windows DIBs store it.
//
// An image is a block of `height` rows of `stride` bytes in one of eight
// pixel formats. Code outside these classes addresses pixels only through
// the virtual operations (TopRow, NextRow, PixelAddress ...), so the same
// loader or converter works on both storage orders:
//
//   for (p = image.TopRow(), y = 0; y < image.Height(); ++y, p = image.NextRow(p))
//     ... row y of the picture starts at p ...
//
// Pixel formats (code: bytes in memory, low address first):
//   0  R, G, B, A              4 bytes, alpha
//   1  R, G, B                 3 bytes
//   2  B, G, R, A              4 bytes, alpha
//   3  B, G, R                 3 bytes (Windows DIB order)
//   4  16-bit word, 1-5-5-5    bit 15 alpha, 14-10 R, 9-5 G, 4-0 B
//   5  16-bit word, 4-4-4-4    bits 15-12 alpha, 11-8 R, 7-4 G, 3-0 B
//   6  16-bit word, 5-6-5      bits 15-11 R, 10-5 G, 4-0 B
//   7  Y, Cb, Cr               3 bytes, JFIF luminance and chrominance
// The 16-bit words are stored little-endian (low byte first).
//
// Alpha: 255 means opaque for images that the BMP reader fills and for
// images handed to the PNG/KCI writer, which writes the alpha byte as it
// stands. The PNG/KCI reader stores 255 - file alpha (so after loading a
// PNG, 0 means opaque); a caller that loads a PNG and saves it again
// inverts alpha in between to keep the picture (kestrel-image does).
#ifndef IMAGE_KIMAGE_H_
#define IMAGE_KIMAGE_H_

#include <cstdint>

#include "foundation/kobject.h"
#include "foundation/kref.h"

namespace zorl {

// Pixel format codes.
enum : std::uint32_t {
  KIMG_RGBA = 0,
  KIMG_RGB = 1,
  KIMG_BGRA = 2,
  KIMG_BGR = 3,
  KIMG_ARGB1555 = 4,
  KIMG_ARGB4444 = 5,
  KIMG_RGB565 = 6,
  KIMG_YCBCR = 7,
};

// Bits per pixel of a format code: 32, 24 or 16 (24 for unknown codes).
std::uint32_t KImageFormatBits(std::uint32_t format);

// Whether a format carries alpha (0, 2, 4 and 5).
bool KImageFormatHasAlpha(std::uint32_t format);

// The top-down image: row 0 at the lowest address.
class KImage : public KObject {
 public:
  KImage() = default;
  // Copies `source`: the same width, height, stride and format, and its
  // pixel memory, row by row. When the creation fails (an empty source)
  // this image stays empty.
  KImage(const KImage& source);
  // Releases this image's pixels and copies `source` as above.
  KImage& operator=(const KImage& source);
  ~KImage() override;

  // Gives the image pixels of `width` x `height` in `format` (0..7) with
  // rows `stride` bytes apart; stride 0 means width x bytes per pixel
  // rounded up to a multiple of 4. Pixel content is undefined.
  //   Create(3, 2, 0, 1)  -> stride 12, 24 bits per pixel
  //   Create(3, 2, 9, 1)  -> stride 9 (an explicit stride needs no rounding)
  // False for a zero size, an unknown format, a stride below the row size,
  // or new geometry (height or stride) while pixels are held: Release
  // first. Same height and stride keep the pixels and change only width
  // and format. Throws std::bad_alloc when memory runs out; a size whose
  // bytes do not fit in 32 bits is refused (false).
  virtual bool Create(std::uint32_t width, std::uint32_t height,
                      std::uint32_t stride, std::uint32_t format);
  virtual bool Create(std::uint32_t width, std::uint32_t height,
                      std::uint32_t format);
  // Drops the pixels. False when the image held none.
  virtual bool Release();

  virtual std::uint32_t Width() const;
  virtual std::uint32_t Height() const;
  virtual std::uint32_t Stride() const;
  virtual std::uint32_t BitsPerPixel() const;
  virtual std::uint32_t BytesPerPixel() const;
  virtual std::uint32_t Format() const;

  // The address `dx` pixels right of `p` and `dy` picture rows further down.
  virtual unsigned char* Offset(unsigned char* p, int dx, int dy);
  virtual const unsigned char* Offset(const unsigned char* p, int dx,
                                      int dy) const;
  // The address of pixel (x, y), row 0 being the top of the picture.
  virtual unsigned char* PixelAddress(std::uint32_t x, std::uint32_t y);
  virtual const unsigned char* PixelAddress(std::uint32_t x,
                                            std::uint32_t y) const;
  // `p` moved `n` picture rows down.
  virtual unsigned char* RowsDown(unsigned char* p, int n) const;
  // `p` moved one picture row down.
  virtual unsigned char* NextRow(unsigned char* p) const;
  // Starts pixel access: the top row's address. Pair with EndAccess.
  virtual unsigned char* BeginAccess();
  // The lowest address of the pixel memory.
  virtual unsigned char* RawMemory();
  // The address of picture row 0 (null when empty).
  virtual unsigned char* TopRow();
  virtual const unsigned char* TopRow() const;
  // The lowest address of the pixel memory (null when empty).
  virtual unsigned char* Bits();
  virtual const unsigned char* Bits() const;
  // Ends pixel access. Does nothing; kept so callers pair their accesses.
  virtual void EndAccess();

  bool IsEmpty() const { return bits_ == nullptr; }

 protected:
  // Copies `source` into this (empty) image through the virtual operations
  // of both, so it works for either storage order on either side.
  void CopyFrom(const KImage& source);

  KRef<unsigned char> buffer_;
  unsigned char* bits_ = nullptr;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  std::uint32_t stride_ = 0;
  std::uint32_t bits_per_pixel_ = 0;
  std::uint32_t bytes_per_pixel_ = 0;
  std::uint32_t format_ = 0;
};

// The bottom-up image: picture row 0 at the highest address, as in a
// Windows DIB; NextRow moves to lower addresses.
class KImageBottomUp : public KImage {
 public:
  KImageBottomUp() = default;
  KImageBottomUp(const KImage& source);  // NOLINT: copies, as KImage's
  KImageBottomUp(const KImageBottomUp& source);
  KImageBottomUp& operator=(const KImage& source);
  KImageBottomUp& operator=(const KImageBottomUp& source);
  ~KImageBottomUp() override = default;

  unsigned char* Offset(unsigned char* p, int dx, int dy) override;
  const unsigned char* Offset(const unsigned char* p, int dx,
                              int dy) const override;
  unsigned char* PixelAddress(std::uint32_t x, std::uint32_t y) override;
  const unsigned char* PixelAddress(std::uint32_t x,
                                    std::uint32_t y) const override;
  unsigned char* RowsDown(unsigned char* p, int n) const override;
  unsigned char* NextRow(unsigned char* p) const override;
  unsigned char* TopRow() override;
  const unsigned char* TopRow() const override;
};

}  // namespace zorl

#endif  // IMAGE_KIMAGE_H_
