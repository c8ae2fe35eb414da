#include "image_io.h"

#include "foundation/kexcept.h"
#include "image/kdebuglog.h"

namespace zorl {
namespace image_io {

void Rewind(KFile& stream) {
  // With the throw switch on, Seek throws by itself.
  if (!stream.Seek(KSEEK_BEGIN, 0)) throw KExceptFile();
}

bool ReadExactly(KFile& stream, void* buffer, std::uint32_t count) {
  try {
    return stream.Read(count, buffer) == static_cast<std::int32_t>(count);
  } catch (const KExceptFile&) {
    return false;
  }
}

bool SeekTo(KFile& stream, std::uint64_t offset) {
  if (offset > 0x7FFFFFFF) return false;
  try {
    return stream.Seek(KSEEK_BEGIN, static_cast<std::int32_t>(offset));
  } catch (const KExceptFile&) {
    return false;
  }
}

std::int64_t SizeOf(KFile& stream) {
  try {
    return stream.GetSize();
  } catch (const KExceptFile&) {
    return -1;
  }
}

std::int32_t TryRead(KFile& stream, void* data, std::uint32_t count) {
  try {
    return stream.Read(count, data);
  } catch (...) {
    return -1;
  }
}

std::int32_t TryWrite(KFile& stream, const void* data, std::uint32_t count) {
  try {
    return stream.Write(data, count);
  } catch (...) {
    return -1;
  }
}

std::int32_t TryTell(KFile& stream) {
  try {
    return stream.Tell();
  } catch (...) {
    return -1;
  }
}

bool TrySeek(KFile& stream, std::uint32_t origin, std::int32_t offset) {
  try {
    return stream.Seek(origin, offset);
  } catch (...) {
    return false;
  }
}

bool TryFlush(KFile& stream) {
  try {
    return stream.Flush();
  } catch (...) {
    return false;
  }
}

void LogNamed(const char* head, const char* name, const char* tail) {
  KDebugLogWrite(head);
  KDebugLogWrite(name);
  KDebugLogWrite(tail);
}

void LogNamed(const char* head, const KFile& stream, const char* tail) {
  LogNamed(head, stream.GetName(), tail);
}

}  // namespace image_io
}  // namespace zorl
