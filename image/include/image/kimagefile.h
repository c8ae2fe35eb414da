// Reading and writing image files: BMP, PNG, KCI (the library's own PNG
// variant behind an 8-byte signature of its own, plain or byte-scrambled)
// and JPEG, plus anything an image plug-in decodes (ksusie.h).
//
// Every call takes an open stream and starts at its base (the stream is
// rewound; when that is impossible KExceptFile is thrown). The stream's
// name appears only in log lines.
//
// What the readers store (see kimage.h for the formats):
//   BMP 8 / 24 bits        RGBA, alpha 255
//   BMP 32 bits            RGBA, alpha as in the file
//   PNG, KCI with alpha    RGBA, alpha stored as 255 - file alpha (also for
//                          a transparency chunk, which becomes alpha)
//   PNG, KCI without       RGB
//   JPEG                   RGB
//   plug-in                BGR, rows padded to 4 bytes
// 16-bit samples are cut to 8 bits, 1/2/4-bit and palette pictures
// expanded, grey turned into R = G = B.
//
// Files the BMP reader refuses: 1/4/16-bit pixels, run-length compression.
//
// Limits, so that one small hostile file cannot take the process down:
// - No reader creates an image of more than KimgMaxPixels() pixels (width x
//   height); the check comes before anything the size of the picture is
//   allocated. Default kKimgDefaultMaxPixels (16384 x 16384), far beyond any
//   game picture.
// - A PNG or KCI whose compressed data is too short to hold the image it
//   declares (deflate expands at most 1032 times) is refused before the
//   image is created.
// - A progressive JPEG of more than kKimgMaxJpegScans scans is refused.
// - Running out of memory is a failure like any other: the call returns
//   false and logs its line; std::bad_alloc never leaves it.
#ifndef IMAGE_KIMAGEFILE_H_
#define IMAGE_KIMAGEFILE_H_

#include <cstdint>

#include "foundation/kfile.h"
#include "image/kimage.h"

namespace zorl {

// The default of KimgMaxPixels.
constexpr std::uint64_t kKimgDefaultMaxPixels = std::uint64_t{16384} * 16384;
// More scans than this in a progressive JPEG: refused (real files have
// about ten; each scan may cost a pass over the whole picture).
constexpr int kKimgMaxJpegScans = 500;

// The most pixels a reader creates an image for, process-wide; 0 restores
// the default. Safe to call from any thread.
void KimgSetMaxPixels(std::uint64_t pixels);
std::uint64_t KimgMaxPixels();
// Whether a width x height picture is within KimgMaxPixels (and not empty).
bool KimgPixelsAllowed(std::uint32_t width, std::uint32_t height);

// Whether the last KimgLoad or write on this thread failed because memory
// ran out (false after a success or any other failure).
bool KimgOutOfMemory();

// Which reader recognised a file.
enum class KImageFileType {
  kNone,
  kBmp,
  kPng,
  kKciPlain,
  kKciScrambled,
  kJpeg,
  kPlugin,  // an image plug-in (Windows only)
};

// A short name for a type: "BMP", "PNG", "KCI plain", "KCI scrambled",
// "JPEG", "plug-in", "none".
const char* KImageFileTypeName(KImageFileType type);

// Loads `stream` into `image`, trying the BMP, PNG/KCI and JPEG readers and
// then the image plug-ins, in that order; the first that succeeds wins.
// `image` should be empty (a reader cannot change the geometry of an image
// that holds pixels). When every reader refuses, logs
// "[KimgLoad] "<name>": Load Error" and returns false (also when memory
// runs out; `image` is then left empty if it was). `type`, when given, is
// set to the reader that succeeded (kNone on failure).
bool KimgLoad(KFile& stream, KImage& image, KImageFileType* type = nullptr);

// Reads a file's size and bits per pixel from its header alone, trying the
// BMP, PNG/KCI and JPEG probes in that order (plug-ins are not asked; no
// JPEG scan is read). The size is reported as the header gives it, also
// beyond KimgMaxPixels.
// BMP: the header's bits per pixel; PNG/KCI: 32 with alpha or a
// transparency chunk, else 24; JPEG: 24. False when no probe recognises
// the data; the outputs are then 0.
bool KimgReadInfo(KFile& stream, std::uint32_t* width, std::uint32_t* height,
                  std::uint32_t* bits_per_pixel,
                  KImageFileType* type = nullptr);
// The bits per pixel of KimgReadInfo, or 0.
std::uint32_t KimgReadBitDepth(KFile& stream);
// The size of KimgReadInfo; false when unrecognised.
bool KimgReadSize(KFile& stream, std::uint32_t* width, std::uint32_t* height);

// Writes `image` as a 24-bit bottom-up BMP (any format; alpha is dropped).
// On failure logs "[KimgWriteBitmap] "<name>": Write Error" and returns
// false; when the stream's throw switch is on, its KExceptFile reaches the
// caller instead. The switch is left as it was.
bool KimgWriteBitmap(KFile& stream, const KImage& image);

// Writes `image` as an 8-bit RGBA PNG when `keep_alpha` is set and its
// format has alpha (0, 2, 4, 5), else as an RGB PNG; alpha is written as
// stored. zlib level 9. On failure logs "[KimgWritePNG] "<name>": Write
// Error" and returns false.
bool KimgWritePNG(KFile& stream, const KImage& image, bool keep_alpha);

// As KimgWritePNG, but writes the scrambled KCI form (signature 4B 43 49 CC
// BB AA 99 88). Logs "[KimgWriteKCI] ..." on failure.
bool KimgWriteKCI(KFile& stream, const KImage& image, bool keep_alpha);

}  // namespace zorl

#endif  // IMAGE_KIMAGEFILE_H_
