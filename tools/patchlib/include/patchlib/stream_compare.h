// Comparing two streams in large chunks.
#ifndef PATCHLIB_STREAM_COMPARE_H_
#define PATCHLIB_STREAM_COMPARE_H_

#include <cstdint>
#include <functional>

#include "foundation/kfile.h"

namespace patchlib {

enum class Comparison { kEqual, kDifferent, kReadError };

// Compares the first `size` bytes of `a` and `b` from their starts, chunk
// by chunk, stopping at the first difference. A stream shorter than `size`
// is a read error. `progress` gets the bytes of each chunk compared.
Comparison CompareStreams(zorl::KFile& a, zorl::KFile& b, std::uint64_t size,
                          const std::function<void(std::uint64_t)>& progress =
                              {});

}  // namespace patchlib

#endif  // PATCHLIB_STREAM_COMPARE_H_
