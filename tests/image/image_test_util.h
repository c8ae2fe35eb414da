// Helpers shared by the image tests: pictures with known pixels, files in
// and out, the debug log captured in a file, and ImageMagick references.
#ifndef TESTS_IMAGE_IMAGE_TEST_UTIL_H_
#define TESTS_IMAGE_IMAGE_TEST_UTIL_H_

#include <cstdint>
#include <string>
#include <vector>

#include "image/kimage.h"
#include "image/kimagefile.h"

namespace image_testing {

// Fills every pixel byte with a pattern of x, y and the byte's index, so
// any pixel moved, swapped or dropped shows.
void FillPattern(zorl::KImage& image);

// The picture as 8-bit R, G, B, A, rows top to bottom (through the
// library's converter).
std::vector<unsigned char> Rgba(const zorl::KImage& image);

// The picture's R, G, B only.
std::vector<unsigned char> Rgb(const zorl::KImage& image);

// Loads a file by path. False when it cannot be opened or loaded.
bool LoadFile(const std::string& path, zorl::KImage& image,
              zorl::KImageFileType* type = nullptr);

// Writes `image` to a new file through one of the writers.
enum class Writer { kBmp, kPng, kKci };
bool SaveFile(const std::string& path, const zorl::KImage& image,
              Writer writer, bool keep_alpha = true);

// Captures the debug log in a file for the lifetime of the object.
class LogCapture {
 public:
  explicit LogCapture(const std::string& path);
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  // What has been logged so far, with CR LF turned back into LF.
  std::string Text() const;

 private:
  std::string path_;
};

// ImageMagick's decoding of a fixture (make-fixtures): samples of `depth`
// bits, four per pixel (R, G, B, A), rows top to bottom.
struct Reference {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t depth = 0;
  std::vector<std::uint16_t> samples;
  // The sample reduced to 8 bits as the library reduces 16-bit samples:
  // its high byte.
  unsigned char At8(std::size_t i) const {
    return static_cast<unsigned char>(depth == 16 ? samples[i] >> 8
                                                  : samples[i]);
  }
};
bool ReadReference(const std::string& path, Reference* reference);

// The fixture folder of the build tree.
std::string Fixture(const std::string& name);

}  // namespace image_testing

#endif  // TESTS_IMAGE_IMAGE_TEST_UTIL_H_
