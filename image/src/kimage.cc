#include "image/kimage.h"

#include <cstddef>
#include <cstring>

namespace zorl {

std::uint32_t KImageFormatBits(std::uint32_t format) {
  switch (format) {
    case KIMG_RGBA:
    case KIMG_BGRA:
      return 32;
    case KIMG_ARGB1555:
    case KIMG_ARGB4444:
    case KIMG_RGB565:
      return 16;
    default:
      return 24;
  }
}

bool KImageFormatHasAlpha(std::uint32_t format) {
  return format == KIMG_RGBA || format == KIMG_BGRA ||
         format == KIMG_ARGB1555 || format == KIMG_ARGB4444;
}

KImage::KImage(const KImage& source) : KObject(source) { CopyFrom(source); }

KImage& KImage::operator=(const KImage& source) {
  if (this != &source) {
    Release();
    CopyFrom(source);
  }
  return *this;
}

KImage::~KImage() = default;

void KImage::CopyFrom(const KImage& source) {
  Release();
  if (!Create(source.Width(), source.Height(), source.Stride(),
              source.Format()))
    return;
  // Stride bytes per row, top row first: one block when both sides store
  // rows in the same order, but a bottom-up side must be walked by rows.
  const unsigned char* from = source.TopRow();
  unsigned char* to = BeginAccess();
  for (std::uint32_t y = 0; y < height_; ++y) {
    std::memcpy(to, from, stride_);
    from = source.NextRow(const_cast<unsigned char*>(from));
    to = NextRow(to);
  }
  EndAccess();
}

bool KImage::Create(std::uint32_t width, std::uint32_t height,
                    std::uint32_t stride, std::uint32_t format) {
  if (width == 0 || height == 0 || format > KIMG_YCBCR) return false;
  const std::uint32_t bits = KImageFormatBits(format);
  const std::uint32_t bytes = (bits + 7) / 8;
  const std::uint64_t row = std::uint64_t{width} * bytes;
  std::uint64_t pitch = stride;
  if (pitch == 0) pitch = (row + 3) & ~std::uint64_t{3};
  if (pitch < row) return false;
  // The allocation is height x stride + 16 bytes and must fit 32 bits.
  if (pitch * height > 0xFFFFFFFFu - 16) return false;

  if (height == height_ && pitch == stride_) {
    // Same memory geometry: keep the pixels, reinterpret them.
    bits_per_pixel_ = bits;
    bytes_per_pixel_ = bytes;
    format_ = format;
    width_ = width;
    return true;
  }
  if (bits_) return false;

  const std::uint32_t size = static_cast<std::uint32_t>(pitch * height);
  KRef<unsigned char> buffer;
  buffer.Reset(size + 16);
  // The first 16-byte boundary strictly after the block's start.
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(buffer.Get());
  const std::uintptr_t aligned = (start + 16) & ~std::uintptr_t{15};
  buffer_ = buffer;
  bits_ = buffer.Get() + (aligned - start);
  width_ = width;
  height_ = height;
  stride_ = static_cast<std::uint32_t>(pitch);
  bits_per_pixel_ = bits;
  bytes_per_pixel_ = bytes;
  format_ = format;
  return true;
}

bool KImage::Create(std::uint32_t width, std::uint32_t height,
                    std::uint32_t format) {
  return Create(width, height, 0, format);
}

bool KImage::Release() {
  if (!bits_) return false;
  buffer_.Release();
  bits_ = nullptr;
  width_ = height_ = stride_ = 0;
  bits_per_pixel_ = bytes_per_pixel_ = 0;
  return true;
}

std::uint32_t KImage::Width() const { return width_; }
std::uint32_t KImage::Height() const { return height_; }
std::uint32_t KImage::Stride() const { return stride_; }
std::uint32_t KImage::BitsPerPixel() const { return bits_per_pixel_; }
std::uint32_t KImage::BytesPerPixel() const { return bytes_per_pixel_; }
std::uint32_t KImage::Format() const { return format_; }

unsigned char* KImage::Offset(unsigned char* p, int dx, int dy) {
  return p + std::ptrdiff_t{dx} * bytes_per_pixel_ +
         std::ptrdiff_t{dy} * stride_;
}

const unsigned char* KImage::Offset(const unsigned char* p, int dx,
                                    int dy) const {
  return p + std::ptrdiff_t{dx} * bytes_per_pixel_ +
         std::ptrdiff_t{dy} * stride_;
}

unsigned char* KImage::PixelAddress(std::uint32_t x, std::uint32_t y) {
  return bits_ + std::size_t{y} * stride_ + std::size_t{x} * bytes_per_pixel_;
}

const unsigned char* KImage::PixelAddress(std::uint32_t x,
                                          std::uint32_t y) const {
  return bits_ + std::size_t{y} * stride_ + std::size_t{x} * bytes_per_pixel_;
}

unsigned char* KImage::RowsDown(unsigned char* p, int n) const {
  return p + std::ptrdiff_t{n} * stride_;
}

unsigned char* KImage::NextRow(unsigned char* p) const { return p + stride_; }

unsigned char* KImage::BeginAccess() { return TopRow(); }

unsigned char* KImage::RawMemory() { return Bits(); }

unsigned char* KImage::TopRow() { return bits_; }
const unsigned char* KImage::TopRow() const { return bits_; }

unsigned char* KImage::Bits() { return bits_; }
const unsigned char* KImage::Bits() const { return bits_; }

void KImage::EndAccess() {}

// ---- bottom-up ----

KImageBottomUp::KImageBottomUp(const KImage& source) { CopyFrom(source); }

KImageBottomUp::KImageBottomUp(const KImageBottomUp& source) : KImage() {
  CopyFrom(source);
}

KImageBottomUp& KImageBottomUp::operator=(const KImage& source) {
  if (this != &source) {
    Release();
    CopyFrom(source);
  }
  return *this;
}

KImageBottomUp& KImageBottomUp::operator=(const KImageBottomUp& source) {
  return *this = static_cast<const KImage&>(source);
}

unsigned char* KImageBottomUp::Offset(unsigned char* p, int dx, int dy) {
  return p + std::ptrdiff_t{dx} * bytes_per_pixel_ -
         std::ptrdiff_t{dy} * stride_;
}

const unsigned char* KImageBottomUp::Offset(const unsigned char* p, int dx,
                                            int dy) const {
  return p + std::ptrdiff_t{dx} * bytes_per_pixel_ -
         std::ptrdiff_t{dy} * stride_;
}

unsigned char* KImageBottomUp::PixelAddress(std::uint32_t x, std::uint32_t y) {
  return bits_ + std::size_t{height_ - y - 1} * stride_ +
         std::size_t{x} * bytes_per_pixel_;
}

const unsigned char* KImageBottomUp::PixelAddress(std::uint32_t x,
                                                  std::uint32_t y) const {
  return bits_ + std::size_t{height_ - y - 1} * stride_ +
         std::size_t{x} * bytes_per_pixel_;
}

unsigned char* KImageBottomUp::RowsDown(unsigned char* p, int n) const {
  return p - std::ptrdiff_t{n} * stride_;
}

unsigned char* KImageBottomUp::NextRow(unsigned char* p) const {
  return p - stride_;
}

unsigned char* KImageBottomUp::TopRow() {
  return bits_ ? bits_ + std::size_t{height_ - 1} * stride_ : nullptr;
}

const unsigned char* KImageBottomUp::TopRow() const {
  return bits_ ? bits_ + std::size_t{height_ - 1} * stride_ : nullptr;
}

}  // namespace zorl
