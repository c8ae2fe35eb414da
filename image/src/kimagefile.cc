#include "image/kimagefile.h"

#include <atomic>
#include <new>

#include "image/ksusie.h"
#include "image_io.h"

namespace zorl {

namespace {

std::atomic<std::uint64_t> max_pixels{kKimgDefaultMaxPixels};
thread_local bool out_of_memory = false;

// Runs one reader; running out of memory on the way is its refusal.
template <class Read>
bool Attempt(KImage& image, bool was_empty, Read read) {
  try {
    return read();
  } catch (const std::bad_alloc&) {
    if (was_empty) image.Release();
    out_of_memory = true;
    return false;
  }
}

}  // namespace

namespace image_io {
void NoteOutOfMemory(bool value) { out_of_memory = value; }
}  // namespace image_io

bool KimgOutOfMemory() { return out_of_memory; }

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
  out_of_memory = false;
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
  if (found != KImageFileType::kNone) out_of_memory = false;
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
  out_of_memory = false;
  return image_io::WriteBitmap(stream, image);  // notes running out itself
}

namespace {

bool WritePngLogged(KFile& stream, const KImage& image, bool keep_alpha,
                    bool scrambled, const char* head) {
  bool written = false;
  out_of_memory = false;
  try {
    written = image_io::WritePng(stream, image, keep_alpha, scrambled);
  } catch (const std::bad_alloc&) {
    out_of_memory = true;
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
