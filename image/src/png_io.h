// Internal: libpng's side of the PNG and KCI reader and writer. The stream
// adapters, the error function, the owner of libpng's structures and the
// signatures.
//
// Errors: libpng reports through OnPngError, which logs "[Error] <message>"
// and longjmps back to the setjmp of the libpng call that failed. Every
// such setjmp sits in a small function whose frame, like the frames of the
// callbacks below, holds no object with a destructor, so the jump never
// skips a destructor; everything that owns memory lives in the caller
// frames above it. Exceptions never cross libpng either: the adapters catch
// the stream's own and report them as libpng errors.
#ifndef IMAGE_SRC_PNG_IO_H_
#define IMAGE_SRC_PNG_IO_H_

#include <png.h>

#include <cstdint>

#include "foundation/kfile.h"

namespace zorl {
namespace image_io {

constexpr unsigned char kPngSignature[4] = {0x89, 0x50, 0x4E, 0x47};
constexpr unsigned char kKciPlain[8] = {0x4B, 0x43, 0x49, 0x88,
                                        0x99, 0xAA, 0xBB, 0xCC};
constexpr unsigned char kKciScrambled[8] = {0x4B, 0x43, 0x49, 0xCC,
                                            0xBB, 0xAA, 0x99, 0x88};

// The scrambling writer XORs in blocks of at most this many bytes.
constexpr std::uint32_t kScrambleBlock = 8192;

// What the adapters need; installed as libpng's io pointer.
struct PngIo {
  KFile* stream;
  unsigned char* scramble_buffer;  // kScrambleBlock bytes, writer only
};

// The read adapters: plain, and descrambling (byte at offset p XOR p).
void PngReadPlain(png_structp png, png_bytep data, png_size_t length);
void PngReadDescramble(png_structp png, png_bytep data, png_size_t length);
// The write adapters: plain, and scrambling; and the flush adapter.
void PngWritePlain(png_structp png, png_bytep data, png_size_t length);
void PngWriteScramble(png_structp png, png_bytep data, png_size_t length);
void PngFlush(png_structp png);

// libpng's error and warning function: logs "[Error] <message>" and
// longjmps (warnings too abort the read or write).
[[noreturn]] void OnPngError(png_structp png, png_const_charp message);

// Owns libpng's read or write structures, with OnPngError installed, for
// one call. ok() is false when libpng could not make them.
class PngStructs {
 public:
  enum Direction { kRead, kWrite };
  explicit PngStructs(Direction direction);
  ~PngStructs();
  PngStructs(const PngStructs&) = delete;
  PngStructs& operator=(const PngStructs&) = delete;

  bool ok() const { return png_ && info_; }
  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  Direction direction_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

}  // namespace image_io
}  // namespace zorl

#endif  // IMAGE_SRC_PNG_IO_H_
