// The image loader on arbitrary bytes (BMP, PNG, KCI, JPEG readers in
// turn), on a memory stream. Whatever loads must agree with the probe,
// keep the pixel limit and survive a PNG, KCI and BMP round trip.
//
// The mutator keeps the chunk CRCs of PNG and KCI inputs valid, so that
// mutations reach the decoder instead of stopping at libpng's CRC check.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/kfile.h"
#include "image/kconvert.h"
#include "image/kimagefile.h"

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size,
                                        std::size_t max_size);

namespace {

// The loader's pixel limit here: pictures beyond it are the library's to
// refuse (a larger one, legitimate for its header, would exceed the
// fuzzer's memory limit and take more than its time limit to decode).
constexpr std::uint64_t kMaxPixels = 1u << 22;
// Round trips only for small pictures (zlib level 9 is slow).
constexpr std::uint64_t kMaxRoundTripPixels = 1u << 14;

bool SamePixels(const zorl::KImage& a, const zorl::KImage& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  const std::uint32_t row = a.Width() * a.BytesPerPixel();
  for (std::uint32_t y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.PixelAddress(0, y), b.PixelAddress(0, y), row) != 0)
      return false;
  return true;
}

void RoundTrip(const zorl::KImage& image) {
  zorl::KImage rgba;
  if (!rgba.Create(image.Width(), image.Height(), zorl::KIMG_RGBA) ||
      !zorl::KConvertImage(image, rgba))
    __builtin_trap();
  const std::uint32_t capacity =
      image.Width() * image.Height() * 5 + 4096;  // stored deflate, headers
  for (int writer = 0; writer < 3; ++writer) {
    zorl::KFile out;
    if (!out.OpenMemory("round.trip", capacity,
                        zorl::KMEM_READ | zorl::KMEM_WRITE))
      __builtin_trap();
    const bool written = writer == 0   ? zorl::KimgWritePNG(out, rgba, true)
                         : writer == 1 ? zorl::KimgWriteKCI(out, rgba, true)
                                       : zorl::KimgWriteBitmap(out, rgba);
    if (!written) __builtin_trap();
    zorl::KImage back;
    if (!zorl::KimgLoad(out, back)) __builtin_trap();
    zorl::KImage expected(rgba);
    for (std::uint32_t y = 0; y < expected.Height(); ++y) {
      unsigned char* p = expected.PixelAddress(0, y);
      for (std::uint32_t x = 0; x < expected.Width(); ++x, p += 4)
        p[3] = writer == 2 ? 255 : static_cast<unsigned char>(255 - p[3]);
    }
    if (!SamePixels(back, expected)) __builtin_trap();
  }
}

const std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
const std::uint8_t kKciPlain[8] = {0x4B, 0x43, 0x49, 0x88, 0x99, 0xAA, 0xBB, 0xCC};
const std::uint8_t kKciScrambled[8] = {0x4B, 0x43, 0x49, 0xCC, 0xBB, 0xAA, 0x99, 0x88};

std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

// Scrambled KCI stores byte i of the file XORed with i mod 256 (past the
// signature); XOR again to undo it.
void Scramble(std::uint8_t* data, std::size_t size) {
  for (std::size_t i = 8; i < size; ++i)
    data[i] = static_cast<std::uint8_t>(data[i] ^ (i & 0xFF));
}

// Rewrites the CRC of every whole chunk after the 8-byte signature.
void FixChunkCrcs(std::uint8_t* data, std::size_t size) {
  std::size_t at = 8;
  while (at + 12 <= size) {
    const std::uint32_t length = Be32(data + at);
    if (length > size - at - 12) break;
    const std::uint32_t crc =
        static_cast<std::uint32_t>(crc32(0, data + at + 4, length + 4));
    std::uint8_t* out = data + at + 8 + length;
    out[0] = static_cast<std::uint8_t>(crc >> 24);
    out[1] = static_cast<std::uint8_t>(crc >> 16);
    out[2] = static_cast<std::uint8_t>(crc >> 8);
    out[3] = static_cast<std::uint8_t>(crc);
    at += std::size_t{length} + 12;
  }
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data,
                                               std::size_t size,
                                               std::size_t max_size,
                                               unsigned int) {
  // Mutate a scrambled KCI in its plain form, then scramble it back.
  const bool scrambled = size >= 8 && std::memcmp(data, kKciScrambled, 8) == 0;
  if (scrambled) Scramble(data, size);
  size = LLVMFuzzerMutate(data, size, max_size);
  if (size >= 8 && (std::memcmp(data, kPngSignature, 8) == 0 ||
                    std::memcmp(data, kKciPlain, 8) == 0 || scrambled)) {
    FixChunkCrcs(data, size);
  }
  if (scrambled && size >= 8) {
    std::memcpy(data, kKciScrambled, 8);
    Scramble(data, size);
  }
  return size;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0 || size > (1u << 20)) return 0;
  zorl::KimgSetMaxPixels(kMaxPixels);
  zorl::KFile stream;
  if (!stream.OpenMemory("fuzz.img", static_cast<std::uint32_t>(size),
                         zorl::KMEM_READ | zorl::KMEM_WRITE))
    return 0;
  stream.Write(data, static_cast<std::uint32_t>(size));

  std::uint32_t width = 0, height = 0, bits = 0;
  zorl::KImageFileType probed;
  const bool known = zorl::KimgReadInfo(stream, &width, &height, &bits, &probed);

  zorl::KImage image;
  zorl::KImageFileType type;
  if (!zorl::KimgLoad(stream, image, &type)) {
    if (!image.IsEmpty()) __builtin_trap();  // a failed load leaves nothing
    return 0;
  }
  // What a reader loads, its probe recognises, at the same size, within
  // the limit.
  if (!known || probed != type || width != image.Width() ||
      height != image.Height() || std::uint64_t{width} * height > kMaxPixels)
    __builtin_trap();
  if (std::uint64_t{width} * height <= kMaxRoundTripPixels) RoundTrip(image);
  return 0;
}
