#include "image/kconvert.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "image/ktables.h"

namespace zorl {

namespace {

using Byte = unsigned char;

// Pixels per pass through the 8-bit R, G, B, A row between decode and
// encode: bounded, on the stack.
constexpr int kChunk = 256;

std::uint32_t Word(const Byte* p) { return p[0] | (p[1] << 8); }
void PutWord(Byte* p, std::uint32_t w) {
  p[0] = static_cast<Byte>(w);
  p[1] = static_cast<Byte>(w >> 8);
}
Byte Clamp(std::int32_t v) {
  return static_cast<Byte>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Reads n pixels of `format` at `from` into R, G, B, A bytes.
void Decode(std::uint32_t format, const Byte* from, int n, Byte* rgba,
            const KColorTables& t) {
  switch (format) {
    case KIMG_RGBA:
      std::memcpy(rgba, from, std::size_t(n) * 4);
      break;
    case KIMG_RGB:
      for (int i = 0; i < n; ++i, from += 3, rgba += 4) {
        rgba[0] = from[0];
        rgba[1] = from[1];
        rgba[2] = from[2];
        rgba[3] = 255;
      }
      break;
    case KIMG_BGRA:
      for (int i = 0; i < n; ++i, from += 4, rgba += 4) {
        rgba[0] = from[2];
        rgba[1] = from[1];
        rgba[2] = from[0];
        rgba[3] = from[3];
      }
      break;
    case KIMG_BGR:
      for (int i = 0; i < n; ++i, from += 3, rgba += 4) {
        rgba[0] = from[2];
        rgba[1] = from[1];
        rgba[2] = from[0];
        rgba[3] = 255;
      }
      break;
    case KIMG_ARGB1555:
      for (int i = 0; i < n; ++i, from += 2, rgba += 4) {
        const std::uint32_t w = Word(from);
        rgba[0] = t.expand5[(w >> 10) & 31];
        rgba[1] = t.expand5[(w >> 5) & 31];
        rgba[2] = t.expand5[w & 31];
        rgba[3] = (w & 0x8000) ? 255 : 0;
      }
      break;
    case KIMG_ARGB4444:
      for (int i = 0; i < n; ++i, from += 2, rgba += 4) {
        const std::uint32_t w = Word(from);
        rgba[0] = t.expand4[(w >> 8) & 15];
        rgba[1] = t.expand4[(w >> 4) & 15];
        rgba[2] = t.expand4[w & 15];
        rgba[3] = t.expand4[w >> 12];
      }
      break;
    case KIMG_RGB565:
      for (int i = 0; i < n; ++i, from += 2, rgba += 4) {
        const std::uint32_t w = Word(from);
        rgba[0] = t.expand5[w >> 11];
        rgba[1] = t.expand6[(w >> 5) & 63];
        rgba[2] = t.expand5[w & 31];
        rgba[3] = 255;
      }
      break;
    case KIMG_YCBCR:
      for (int i = 0; i < n; ++i, from += 3, rgba += 4) {
        const std::int32_t luma = from[0];
        const Byte cb = from[1], cr = from[2];
        rgba[0] = Clamp(luma + t.r_cr[cr]);
        rgba[1] =
            Clamp(luma - (((t.g_cb[cb] + t.g_cr[cr] + 64 + (256 << 7)) >> 7) -
                          256));
        rgba[2] = Clamp(luma + t.b_cb[cb]);
        rgba[3] = 255;
      }
      break;
  }
}

// Writes n pixels of R, G, B, A bytes as `format` at `to`.
void Encode(std::uint32_t format, const Byte* rgba, int n, Byte* to,
            const KColorTables& t) {
  switch (format) {
    case KIMG_RGBA:
      std::memcpy(to, rgba, std::size_t(n) * 4);
      break;
    case KIMG_RGB:
      for (int i = 0; i < n; ++i, rgba += 4, to += 3) {
        to[0] = rgba[0];
        to[1] = rgba[1];
        to[2] = rgba[2];
      }
      break;
    case KIMG_BGRA:
      for (int i = 0; i < n; ++i, rgba += 4, to += 4) {
        to[0] = rgba[2];
        to[1] = rgba[1];
        to[2] = rgba[0];
        to[3] = rgba[3];
      }
      break;
    case KIMG_BGR:
      for (int i = 0; i < n; ++i, rgba += 4, to += 3) {
        to[0] = rgba[2];
        to[1] = rgba[1];
        to[2] = rgba[0];
      }
      break;
    case KIMG_ARGB1555:
      for (int i = 0; i < n; ++i, rgba += 4, to += 2)
        PutWord(to, (rgba[3] >= 128 ? 0x8000u : 0u) |
                        (std::uint32_t{t.reduce5[rgba[0]]} << 10) |
                        (std::uint32_t{t.reduce5[rgba[1]]} << 5) |
                        t.reduce5[rgba[2]]);
      break;
    case KIMG_ARGB4444:
      for (int i = 0; i < n; ++i, rgba += 4, to += 2)
        PutWord(to, (std::uint32_t{t.reduce4[rgba[3]]} << 12) |
                        (std::uint32_t{t.reduce4[rgba[0]]} << 8) |
                        (std::uint32_t{t.reduce4[rgba[1]]} << 4) |
                        t.reduce4[rgba[2]]);
      break;
    case KIMG_RGB565:
      for (int i = 0; i < n; ++i, rgba += 4, to += 2)
        PutWord(to, (std::uint32_t{t.reduce5[rgba[0]]} << 11) |
                        (std::uint32_t{t.reduce6[rgba[1]]} << 5) |
                        t.reduce5[rgba[2]]);
      break;
    case KIMG_YCBCR:
      for (int i = 0; i < n; ++i, rgba += 4, to += 3) {
        const Byte r = rgba[0], g = rgba[1], b = rgba[2];
        // +64 rounds; +128 << 7 is the chrominance offset and keeps every
        // sum non-negative before the shift.
        to[0] = Clamp((t.y_r[r] + t.y_g[g] + t.y_b[b] + 64) >> 7);
        to[1] = Clamp((t.cb_r[r] + t.cb_g[g] + 64 * b + 64 + (128 << 7)) >> 7);
        to[2] = Clamp((64 * r + t.cr_g[g] + t.cr_b[b] + 64 + (128 << 7)) >> 7);
      }
      break;
  }
}

// Clips one axis: the span [from, from + length) of the source against
// [0, source_size) and its image at `to` against [0, dest_size).
bool ClipAxis(int& from, int& to, int& length, std::uint32_t source_size,
              std::uint32_t dest_size) {
  std::int64_t f = from, d = to, n = length;
  if (f < 0) { n += f; d -= f; f = 0; }
  if (d < 0) { n += d; f -= d; d = 0; }
  n = std::min<std::int64_t>(n, std::int64_t{source_size} - f);
  n = std::min<std::int64_t>(n, std::int64_t{dest_size} - d);
  if (n <= 0) return false;
  from = static_cast<int>(f);
  to = static_cast<int>(d);
  length = static_cast<int>(n);
  return true;
}

}  // namespace

bool KConvertRect(const KImage& source, int x, int y, int width, int height,
                  KImage& dest, int dest_x, int dest_y) {
  if (source.IsEmpty() || dest.IsEmpty() || &source == &dest) return false;
  if (source.Format() > KIMG_YCBCR || dest.Format() > KIMG_YCBCR)
    return false;
  if (!ClipAxis(x, dest_x, width, source.Width(), dest.Width()) ||
      !ClipAxis(y, dest_y, height, source.Height(), dest.Height()))
    return false;

  const KColorTables& tables = KGetColorTables();
  const std::uint32_t from_format = source.Format();
  const std::uint32_t to_format = dest.Format();
  const std::size_t from_bytes = source.BytesPerPixel();
  const std::size_t to_bytes = dest.BytesPerPixel();
  Byte rgba[kChunk * 4];

  dest.BeginAccess();
  unsigned char* to_row = dest.PixelAddress(dest_x, dest_y);
  const unsigned char* from_row = source.PixelAddress(x, y);
  for (int row = 0; row < height; ++row) {
    if (from_format == to_format) {
      std::memcpy(to_row, from_row, std::size_t(width) * to_bytes);
    } else {
      for (int done = 0; done < width; done += kChunk) {
        const int n = std::min(kChunk, width - done);
        Decode(from_format, from_row + done * from_bytes, n, rgba, tables);
        Encode(to_format, rgba, n, to_row + done * to_bytes, tables);
      }
    }
    from_row = source.NextRow(const_cast<unsigned char*>(from_row));
    to_row = dest.NextRow(to_row);
  }
  dest.EndAccess();
  return true;
}

bool KConvertImage(const KImage& source, KImage& dest) {
  const auto whole = [](std::uint32_t n) {
    return static_cast<int>(std::min<std::uint32_t>(n, 0x7FFFFFFF));
  };
  return KConvertRect(source, 0, 0, whole(source.Width()),
                      whole(source.Height()), dest, 0, 0);
}

}  // namespace zorl
