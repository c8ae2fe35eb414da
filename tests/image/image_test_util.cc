#include "image_test_util.h"

#include <cstdio>
#include <sstream>

#include "foundation/kfile.h"
#include "image/kconvert.h"
#include "image/kdebuglog.h"
#include "support/temp_dir.h"

namespace image_testing {

using zorl::KFile;
using zorl::KImage;

void FillPattern(KImage& image) {
  for (std::uint32_t y = 0; y < image.Height(); ++y) {
    unsigned char* p = image.PixelAddress(0, y);
    for (std::uint32_t x = 0; x < image.Width(); ++x)
      for (std::uint32_t b = 0; b < image.BytesPerPixel(); ++b)
        *p++ = static_cast<unsigned char>(x * 7 + y * 13 + b * 71 + x * y);
  }
}

std::vector<unsigned char> Rgba(const KImage& image) {
  KImage rgba;
  if (image.IsEmpty() ||
      !rgba.Create(image.Width(), image.Height(), zorl::KIMG_RGBA) ||
      !zorl::KConvertImage(image, rgba))
    return {};
  std::vector<unsigned char> out;
  for (std::uint32_t y = 0; y < rgba.Height(); ++y) {
    const unsigned char* row = rgba.PixelAddress(0, y);
    out.insert(out.end(), row, row + rgba.Width() * 4);
  }
  return out;
}

std::vector<unsigned char> Rgb(const KImage& image) {
  std::vector<unsigned char> rgba = Rgba(image), out;
  for (std::size_t i = 0; i < rgba.size(); ++i)
    if (i % 4 != 3) out.push_back(rgba[i]);
  return out;
}

bool LoadFile(const std::string& path, KImage& image,
              zorl::KImageFileType* type) {
  KFile file;
  if (!file.Open(zorl::KFILE_READ, path.c_str())) return false;
  return zorl::KimgLoad(file, image, type);
}

bool SaveFile(const std::string& path, const KImage& image, Writer writer,
              bool keep_alpha) {
  KFile file;
  if (!file.Open(15, path.c_str())) return false;
  switch (writer) {
    case Writer::kBmp:
      return zorl::KimgWriteBitmap(file, image);
    case Writer::kPng:
      return zorl::KimgWritePNG(file, image, keep_alpha);
    case Writer::kKci:
      return zorl::KimgWriteKCI(file, image, keep_alpha);
  }
  return false;
}

LogCapture::LogCapture(const std::string& path) : path_(path) {
  testing_support::WriteFileBytes(path_, "");
  zorl::KDebugLogOpen(path_.c_str());
}

LogCapture::~LogCapture() { zorl::KDebugLogClose(); }

std::string LogCapture::Text() const {
  std::string bytes, text;
  testing_support::ReadFileBytes(path_, &bytes);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
      text += bytes[i];
  return text;
}

bool ReadReference(const std::string& path, Reference* reference) {
  std::string bytes;
  if (!testing_support::ReadFileBytes(path, &bytes)) return false;
  const std::size_t line_end = bytes.find('\n');
  if (line_end == std::string::npos) return false;
  std::istringstream header(bytes.substr(0, line_end));
  if (!(header >> reference->width >> reference->height >> reference->depth))
    return false;
  const std::size_t count =
      std::size_t{reference->width} * reference->height * 4;
  const std::size_t sample_bytes = reference->depth == 16 ? 2 : 1;
  if (bytes.size() != line_end + 1 + count * sample_bytes) return false;
  reference->samples.resize(count);
  const unsigned char* p =
      reinterpret_cast<const unsigned char*>(bytes.data()) + line_end + 1;
  for (std::size_t i = 0; i < count; ++i, p += sample_bytes)
    reference->samples[i] = sample_bytes == 2 ? (p[0] << 8 | p[1]) : p[0];
  return true;
}

std::string Fixture(const std::string& name) { return "fixtures/" + name; }

}  // namespace image_testing
