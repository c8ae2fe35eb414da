// Small files that claim far more than they hold, made here byte by byte
// so the tests need no committed binaries: each decodes (as far as it goes)
// into a picture much larger than the file, or costs a pass over a large
// picture per few bytes.
#ifndef TESTS_IMAGE_HOSTILE_FILES_H_
#define TESTS_IMAGE_HOSTILE_FILES_H_

#include <cstdint>
#include <string>

namespace image_testing {

// A baseline grey JPEG declaring width x height whose scan holds no data
// (every block would decode as flat grey): a few hundred bytes.
std::string BaselineJpeg(std::uint16_t width, std::uint16_t height);

// A progressive grey JPEG of width x height made of `scans` AC scans, each
// skipping every block through runs of empty blocks (about 60 bytes per
// million pixels), so each scan costs a pass over the whole picture.
std::string ProgressiveJpeg(std::uint16_t width, std::uint16_t height,
                            int scans);

// A complete, valid PNG (or, with `kci`, plain KCI) of width x height with
// the given bit depth and colour type whose rows are all zero, compressed
// at zlib level 9. `rows` limits how many rows the compressed data holds
// (fewer: a file cut short inside its data).
std::string ZeroPng(std::uint32_t width, std::uint32_t height, int bit_depth,
                    int color_type, bool kci = false,
                    std::uint32_t rows = 0xFFFFFFFFu);

// A valid 8-bit BMP of width x height (palette of grey, pixels 0).
std::string Bmp8(std::uint32_t width, std::uint32_t height);

}  // namespace image_testing

#endif  // TESTS_IMAGE_HOSTILE_FILES_H_
