#include "image/kimagefile.h"

#include "image/ksusie.h"
#include "image_io.h"

namespace zorl {

const char* KImageFileTypeName(KImageFileType type) {
  switch (type) {
    case KImageFileType::kBmp:
      return "BMP";
    case KImageFileType::kPng:
      return "PNG";
    case KImageFileType::kKciPlain:
      return "KCI plain";
    case KImageFileType::kKciScrambled:
      return "KCI scrambled";
    case KImageFileType::kJpeg:
      return "JPEG";
    case KImageFileType::kPlugin:
      return "plug-in";
    case KImageFileType::kNone:
      break;
  }
  return "none";
}

bool KimgLoad(KFile& stream, KImage& image, KImageFileType* type) {
  KImageFileType found = KImageFileType::kNone;
  if (image_io::ReadBitmap(stream, image)) {
    found = KImageFileType::kBmp;
  } else if (image_io::ReadPng(stream, image, &found)) {
    // found says PNG or which KCI
  } else if (image_io::ReadJpeg(stream, image)) {
    found = KImageFileType::kJpeg;
  } else if (KSusieDecode(image, stream)) {
    found = KImageFileType::kPlugin;
  } else {
    found = KImageFileType::kNone;
    image_io::LogNamed("[KimgLoad] \"", stream, "\": Load Error\n");
  }
  if (type) *type = found;
  return found != KImageFileType::kNone;
}

bool KimgReadInfo(KFile& stream, std::uint32_t* width, std::uint32_t* height,
                  std::uint32_t* bits_per_pixel, KImageFileType* type) {
  image_io::Info info;
  const bool found = image_io::ProbeBitmap(stream, &info) ||
                     image_io::ProbePng(stream, &info) ||
                     image_io::ProbeJpeg(stream, &info);
  if (!found) info = image_io::Info();
  if (width) *width = info.width;
  if (height) *height = info.height;
  if (bits_per_pixel) *bits_per_pixel = info.bits;
  if (type) *type = info.type;
  return found;
}

std::uint32_t KimgReadBitDepth(KFile& stream) {
  std::uint32_t bits = 0;
  KimgReadInfo(stream, nullptr, nullptr, &bits);
  return bits;
}

bool KimgReadSize(KFile& stream, std::uint32_t* width, std::uint32_t* height) {
  return KimgReadInfo(stream, width, height, nullptr);
}

bool KimgWriteBitmap(KFile& stream, const KImage& image) {
  return image_io::WriteBitmap(stream, image);
}

bool KimgWritePNG(KFile& stream, const KImage& image, bool keep_alpha) {
  if (image_io::WritePng(stream, image, keep_alpha, false)) return true;
  image_io::LogNamed("[KimgWritePNG] \"", stream, "\": Write Error\n");
  return false;
}

bool KimgWriteKCI(KFile& stream, const KImage& image, bool keep_alpha) {
  if (image_io::WritePng(stream, image, keep_alpha, true)) return true;
  image_io::LogNamed("[KimgWriteKCI] \"", stream, "\": Write Error\n");
  return false;
}

}  // namespace zorl
