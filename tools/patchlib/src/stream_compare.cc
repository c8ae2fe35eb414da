#include "patchlib/stream_compare.h"

#include <cstring>
#include <vector>

#include "interrupt.h"

namespace patchlib {

Comparison CompareStreams(zorl::KFile& a, zorl::KFile& b, std::uint64_t size,
                          const std::function<void(std::uint64_t)>& progress) {
  constexpr std::uint32_t kChunk = 1u << 20;
  static thread_local std::vector<unsigned char> buffer_a(kChunk),
      buffer_b(kChunk);
  if (!a.Seek(zorl::KSEEK_BEGIN, 0) || !b.Seek(zorl::KSEEK_BEGIN, 0))
    return Comparison::kReadError;
  std::uint64_t left = size;
  while (left > 0) {
    tools::ThrowIfStopRequested();
    const std::uint32_t n =
        left < kChunk ? static_cast<std::uint32_t>(left) : kChunk;
    if (a.Read(n, buffer_a.data()) != static_cast<std::int32_t>(n) ||
        b.Read(n, buffer_b.data()) != static_cast<std::int32_t>(n))
      return Comparison::kReadError;
    if (std::memcmp(buffer_a.data(), buffer_b.data(), n) != 0)
      return Comparison::kDifferent;
    left -= n;
    if (progress) progress(n);
  }
  return Comparison::kEqual;
}

}  // namespace patchlib
