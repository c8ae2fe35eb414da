// One picture file as the image library sees it: which reader takes it,
// its size and depth, or why none does; and loading it for conversion.
#ifndef TOOLS_KESTREL_IMAGE_PICTURE_FILE_H_
#define TOOLS_KESTREL_IMAGE_PICTURE_FILE_H_

#include <cstdint>
#include <string>

#include "image/kimage.h"
#include "image/kimagefile.h"

namespace kimage {

struct PictureInfo {
  bool opened = false;    // the file could be opened
  bool readable = false;  // a reader of the library loaded it
  // The reader that loaded it; when none did, the format its header
  // claims (kNone when it claims none).
  zorl::KImageFileType type = zorl::KImageFileType::kNone;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  // Bits per pixel as the library reports them: the header's for a BMP,
  // 32 or 24 for PNG and KCI (alpha or a transparency chunk, or not), 24
  // for JPEG and plug-ins.
  std::uint32_t bits = 0;
  // When not readable: why, as one phrase ("not a BMP, PNG, KCI or JPEG
  // file").
  std::string problem;
  // Not readable because memory ran out (a failure of this run, not of
  // the file).
  bool out_of_memory = false;
};

// Describes the file at `path` (cp932) from its header alone, as the
// library's probes read it: readable when a probe knows it and the picture
// is within the library's pixel limit. A file no probe knows is decoded
// when plug-ins are loaded (only a plug-in can tell). Returns
// info.readable.
bool DescribePicture(const std::string& path, PictureInfo* info);

// Loads the file at `path` (cp932) with every reader of the library in its
// order into `image` (which must be empty) and describes it. Returns
// info.readable.
bool LoadPicture(const std::string& path, zorl::KImage& image,
                 PictureInfo* info);

// Whether the type is PNG or either KCI: the reader that stores 255 - file
// alpha.
bool IsPngOrKci(zorl::KImageFileType type);

// Whether the file itself has alpha: a PNG or KCI with an alpha channel or
// a transparency chunk, or a 32-bit BMP.
bool HasAlpha(const PictureInfo& info);

}  // namespace kimage

#endif  // TOOLS_KESTREL_IMAGE_PICTURE_FILE_H_
