#include "picture_file.h"

#include "foundation/kexcept.h"
#include "foundation/kfile.h"
#include "image/ksusie.h"

namespace kimage {

namespace {

using zorl::KImageFileType;

// The format a file's first bytes announce, for files no probe took.
KImageFileType Announced(zorl::KFile& file) {
  unsigned char head[4] = {};
  try {
    if (!file.Seek(zorl::KSEEK_BEGIN, 0) || file.Read(4, head) < 2)
      return KImageFileType::kNone;
  } catch (const zorl::KExceptFile&) {
    return KImageFileType::kNone;
  }
  if (head[0] == 'B' && head[1] == 'M') return KImageFileType::kBmp;
  if (head[0] == 0xFF && head[1] == 0xD8) return KImageFileType::kJpeg;
  if (head[0] == 0x89 && head[1] == 'P' && head[2] == 'N' && head[3] == 'G')
    return KImageFileType::kPng;
  if (head[0] == 'K' && head[1] == 'C' && head[2] == 'I')
    return KImageFileType::kKciScrambled;
  return KImageFileType::kNone;
}

// Why a file whose header claims `type` did not load.
std::string Problem(const PictureInfo& info) {
  if (info.width != 0 && !zorl::KimgPixelsAllowed(info.width, info.height))
    return "a " + std::to_string(info.width) + " x " +
           std::to_string(info.height) + " picture, more than the limit of " +
           std::to_string(zorl::KimgMaxPixels()) +
           " pixels (--max-pixels raises it)";
  switch (info.type) {
    case KImageFileType::kBmp:
      if (info.width == 0)  // the headers themselves did not read
        return "a damaged or cut-short BMP file";
      if (info.bits != 8 && info.bits != 24 && info.bits != 32)
        return "a BMP with " + std::to_string(info.bits) +
               " bits per pixel (the library reads 8, 24 and 32 bits)";
      return "a BMP the library cannot read (compressed, or cut short)";
    case KImageFileType::kPng:
    case KImageFileType::kKciPlain:
    case KImageFileType::kKciScrambled:
      return std::string("a damaged or cut-short ") +
             (info.type == KImageFileType::kPng ? "PNG" : "KCI") + " file";
    case KImageFileType::kJpeg:
      return "a damaged or cut-short JPEG file";
    default:
      break;
  }
  return zorl::KSusiePluginCount() > 0
             ? "not a BMP, PNG, KCI or JPEG file, nor one a plug-in decodes"
             : "not a BMP, PNG, KCI or JPEG file";
}

bool Open(const std::string& path, zorl::KFile& file, PictureInfo* info) {
  *info = PictureInfo();
  if (!file.Open(zorl::KFILE_READ, path.c_str())) {
    info->problem = "cannot open the file";
    return false;
  }
  info->opened = true;
  return true;
}

}  // namespace

bool DescribePicture(const std::string& path, PictureInfo* info) {
  zorl::KFile file;
  if (!Open(path, file, info)) return false;
  bool probed = false;
  try {
    probed = zorl::KimgReadInfo(file, &info->width, &info->height,
                                &info->bits, &info->type);
  } catch (const zorl::KExceptFile&) {
    info->problem = "cannot read the file";
    return false;
  }
  if (!probed && zorl::KSusiePluginCount() > 0) {
    file.Close();
    zorl::KImage image;
    return LoadPicture(path, image, info);
  }
  // The BMP reader takes 8, 24 and 32 bits only, which the header tells.
  const bool bmp_bits = info->type != KImageFileType::kBmp ||
                        info->bits == 8 || info->bits == 24 || info->bits == 32;
  info->readable = probed && bmp_bits &&
                   zorl::KimgPixelsAllowed(info->width, info->height);
  if (!info->readable) {
    if (info->type == KImageFileType::kNone) info->type = Announced(file);
    info->problem = Problem(*info);
  }
  return info->readable;
}

bool LoadPicture(const std::string& path, zorl::KImage& image,
                 PictureInfo* info) {
  zorl::KFile file;
  if (!Open(path, file, info)) return false;
  try {
    KImageFileType probed = KImageFileType::kNone;
    zorl::KimgReadInfo(file, &info->width, &info->height, &info->bits,
                       &probed);
    info->type = probed;
    KImageFileType loaded = KImageFileType::kNone;
    if (zorl::KimgLoad(file, image, &loaded)) {
      info->readable = true;
      if (loaded != probed) {  // a plug-in: no probe knows its format
        info->type = loaded;
        info->width = image.Width();
        info->height = image.Height();
        info->bits = 24;
      }
      return true;
    }
  } catch (const zorl::KExceptFile&) {
    info->problem = "cannot read the file";
    return false;
  }
  if (zorl::KimgOutOfMemory()) {
    info->out_of_memory = true;
    info->problem = "not enough memory to read it";
    return false;
  }
  if (info->type == KImageFileType::kNone) info->type = Announced(file);
  info->problem = Problem(*info);
  return false;
}

bool IsPngOrKci(KImageFileType type) {
  return type == KImageFileType::kPng || type == KImageFileType::kKciPlain ||
         type == KImageFileType::kKciScrambled;
}

bool HasAlpha(const PictureInfo& info) {
  return (IsPngOrKci(info.type) || info.type == KImageFileType::kBmp) &&
         info.bits == 32;
}

}  // namespace kimage
