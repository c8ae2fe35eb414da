#include "image/kimagefile.h"

#include <atomic>
#include <new>

#include "image/ksusie.h"
#include "image_io.h"

namespace zorl {

namespace {

std::atomic<std::uint64_t> max_pixels{kKimgDefaultMaxPixels};

// Runs one reader; running out of memory on the way is its refusal.
template <class Read>
bool Attempt(KImage& image, bool was_empty, Read read) {
  try {
    return read();
  } catch (const std::bad_alloc&) {
    if (was_empty) image.Release();
    return false;
  }
}

}  // namespace

void KimgSetMaxPixels(std::uint64_t pixels) {
  max_pixels.store(pixels == 0 ? kKimgDefaultMaxPixels : pixels);
}

std::uint64_t KimgMaxPixels() { return max_pixels.load(); }

bool KimgPixelsAllowed(std::uint32_t width, std::uint32_t height) {
  return width != 0 && height != 0 &&
         std::uint64_t{width} * height <= KimgMaxPixels();
}

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
  const bool empty = image.IsEmpty();
  if (Attempt(image, empty,
              [&] { return image_io::ReadBitmap(stream, image); })) {
    found = KImageFileType::kBmp;
  } else if (Attempt(image, empty, [&] {
               return image_io::ReadPng(stream, image, &found);
             })) {
    // found says PNG or which KCI
  } else if (Attempt(image, empty,
                     [&] { return image_io::ReadJpeg(stream, image); })) {
    found = KImageFileType::kJpeg;
  } else if (Attempt(image, empty,
                     [&] { return KSusieDecode(image, stream); })) {
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
  bool found = false;
  try {
    found = image_io::ProbeBitmap(stream, &info) ||
            image_io::ProbePng(stream, &info) ||
            image_io::ProbeJpeg(stream, &info);
  } catch (const std::bad_alloc&) {
    found = false;
  }
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

namespace {

bool WritePngLogged(KFile& stream, const KImage& image, bool keep_alpha,
                    bool scrambled, const char* head) {
  bool written = false;
  try {
    written = image_io::WritePng(stream, image, keep_alpha, scrambled);
  } catch (const std::bad_alloc&) {
    written = false;
  }
  if (!written) image_io::LogNamed(head, stream, "\": Write Error\n");
  return written;
}

}  // namespace

bool KimgWritePNG(KFile& stream, const KImage& image, bool keep_alpha) {
  return WritePngLogged(stream, image, keep_alpha, false, "[KimgWritePNG] \"");
}

bool KimgWriteKCI(KFile& stream, const KImage& image, bool keep_alpha) {
  return WritePngLogged(stream, image, keep_alpha, true, "[KimgWriteKCI] \"");
}

}  // namespace zorl
