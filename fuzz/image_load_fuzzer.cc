// The image loader on arbitrary bytes (BMP, PNG, KCI, JPEG readers in
// turn), on a memory stream. Whatever loads must agree with the probe and
// survive a PNG, KCI and BMP round trip.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/kfile.h"
#include "image/kconvert.h"
#include "image/kimagefile.h"

namespace {

// Pictures above this many pixels are skipped: their allocation alone,
// legitimate for such a header, would exceed the fuzzer's memory limit,
// and decoding them would take more than its time limit.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0 || size > (1u << 20)) return 0;
  zorl::KFile stream;
  if (!stream.OpenMemory("fuzz.img", static_cast<std::uint32_t>(size),
                         zorl::KMEM_READ | zorl::KMEM_WRITE))
    return 0;
  stream.Write(data, static_cast<std::uint32_t>(size));

  std::uint32_t width = 0, height = 0, bits = 0;
  zorl::KImageFileType probed;
  const bool known = zorl::KimgReadInfo(stream, &width, &height, &bits, &probed);
  if (known && std::uint64_t{width} * height > kMaxPixels) return 0;

  zorl::KImage image;
  zorl::KImageFileType type;
  if (!zorl::KimgLoad(stream, image, &type)) {
    if (!image.IsEmpty()) __builtin_trap();  // a failed load leaves nothing
    return 0;
  }
  // What a reader loads, its probe recognises, at the same size.
  if (!known || probed != type || width != image.Width() ||
      height != image.Height())
    __builtin_trap();
  if (std::uint64_t{width} * height <= kMaxRoundTripPixels) RoundTrip(image);
  return 0;
}
