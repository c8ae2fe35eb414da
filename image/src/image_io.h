// Internal: the single-format readers, probes and writers behind
// kimagefile.h, and the helpers they share.
#ifndef IMAGE_SRC_IMAGE_IO_H_
#define IMAGE_SRC_IMAGE_IO_H_

#include <cstdint>

#include "foundation/kfile.h"
#include "image/kimage.h"
#include "image/kimagefile.h"

namespace zorl {
namespace image_io {

// Positions `stream` at its base. Throws KExceptFile when it cannot.
void Rewind(KFile& stream);

// Reads exactly `count` bytes; false on a short read or a failure (a
// KExceptFile of a stream whose throw switch is on is caught too).
bool ReadExactly(KFile& stream, void* buffer, std::uint32_t count);

// Moves to `offset` from the base; false when it cannot (a KExceptFile of
// a stream whose throw switch is on is caught too).
bool SeekTo(KFile& stream, std::uint64_t offset);

// The stream's size, or -1 (never throws).
std::int64_t SizeOf(KFile& stream);

// The stream calls for libpng's and libjpeg's callbacks, which nothing but
// the libraries' own error jump may leave: any exception becomes the call's
// failure result (-1, false).
std::int32_t TryRead(KFile& stream, void* data, std::uint32_t count);
std::int32_t TryWrite(KFile& stream, const void* data, std::uint32_t count);
std::int32_t TryTell(KFile& stream);
bool TrySeek(KFile& stream, std::uint32_t origin, std::int32_t offset);
bool TryFlush(KFile& stream);

// Writes head, `name`, tail to the debug log as three pieces (one line when
// tail ends it): LogNamed("[KimgLoad] \"", "a.png", "\": Load Error\n").
void LogNamed(const char* head, const char* name, const char* tail);
// The same with the stream's name.
void LogNamed(const char* head, const KFile& stream, const char* tail);

// KimgOutOfMemory's record of this thread's last load or write.
void NoteOutOfMemory(bool out_of_memory);

// Size and bits per pixel from a probe.
struct Info {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t bits = 0;
  KImageFileType type = KImageFileType::kNone;
};

// Each reader rewinds first and returns false for data it does not take;
// each probe rewinds and fills `info` on success.
bool ReadBitmap(KFile& stream, KImage& image);
bool ProbeBitmap(KFile& stream, Info* info);
bool ReadPng(KFile& stream, KImage& image, KImageFileType* type);
bool ProbePng(KFile& stream, Info* info);
bool ReadJpeg(KFile& stream, KImage& image);
bool ProbeJpeg(KFile& stream, Info* info);

// The PNG and KCI writer (the caller logs a failure).
bool WritePng(KFile& stream, const KImage& image, bool keep_alpha,
              bool scrambled);
// The BMP writer (logs its own failure, as the throw switch decides).
bool WriteBitmap(KFile& stream, const KImage& image);

}  // namespace image_io
}  // namespace zorl

#endif  // IMAGE_SRC_IMAGE_IO_H_
