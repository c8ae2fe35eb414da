#include "png_io.h"

#include <algorithm>

#include "image/kdebuglog.h"
#include "image_io.h"

namespace zorl {
namespace image_io {

namespace {

KFile& StreamOf(png_structp png) {
  return *static_cast<PngIo*>(png_get_io_ptr(png))->stream;
}

bool ReadAll(png_structp png, png_bytep data, png_size_t length) {
  return length <= 0x7FFFFFFF &&
         TryRead(StreamOf(png), data, static_cast<std::uint32_t>(length)) ==
             static_cast<std::int32_t>(length);
}

}  // namespace

void PngReadPlain(png_structp png, png_bytep data, png_size_t length) {
  if (!ReadAll(png, data, length)) png_error(png, "can't read data");
}

void PngReadDescramble(png_structp png, png_bytep data, png_size_t length) {
  const std::int32_t at = TryTell(StreamOf(png));
  if (at < 0) png_error(png, "can't read data.");
  if (!ReadAll(png, data, length)) png_error(png, "can't read data");
  std::uint32_t key = static_cast<std::uint32_t>(at);
  for (png_size_t i = 0; i < length; ++i, ++key)
    data[i] = static_cast<png_byte>(data[i] ^ key);
}

void PngWritePlain(png_structp png, png_bytep data, png_size_t length) {
  if (length > 0x7FFFFFFF ||
      TryWrite(StreamOf(png), data, static_cast<std::uint32_t>(length)) !=
          static_cast<std::int32_t>(length))
    png_error(png, "can't write data.");
}

void PngWriteScramble(png_structp png, png_bytep data, png_size_t length) {
  PngIo* io = static_cast<PngIo*>(png_get_io_ptr(png));
  const std::int32_t at = TryTell(*io->stream);
  if (at < 0) png_error(png, "can't write data.");
  unsigned char key = static_cast<unsigned char>(at);
  while (length > 0) {
    const std::uint32_t n =
        static_cast<std::uint32_t>(std::min<png_size_t>(length, kScrambleBlock));
    for (std::uint32_t i = 0; i < n; ++i)
      io->scramble_buffer[i] = static_cast<unsigned char>(data[i] ^ key++);
    if (TryWrite(*io->stream, io->scramble_buffer, n) !=
        static_cast<std::int32_t>(n))
      png_error(png, "can't write data.");
    data += n;
    length -= n;
  }
}

void PngFlush(png_structp png) {
  if (!TryFlush(StreamOf(png))) png_error(png, "can't flush data.");
}

PngStructs::PngStructs(Direction direction) : direction_(direction) {
  png_ = direction == kRead
             ? png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr,
                                      OnPngError, OnPngError)
             : png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr,
                                       OnPngError, OnPngError);
  if (png_) info_ = png_create_info_struct(png_);
}

PngStructs::~PngStructs() {
  if (!png_) return;
  png_infopp info = info_ ? &info_ : nullptr;
  if (direction_ == kRead)
    png_destroy_read_struct(&png_, info, nullptr);
  else
    png_destroy_write_struct(&png_, info);
}

void OnPngError(png_structp png, png_const_charp message) {
  try {
    KDebugLogWrite("[Error] ");
    KDebugLogWrite(message);
    KDebugLogWrite("\n");
  } catch (...) {
    // The log never stops the error path.
  }
  png_longjmp(png, 1);
}

}  // namespace image_io
}  // namespace zorl
