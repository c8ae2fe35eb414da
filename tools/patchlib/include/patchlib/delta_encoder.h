// The producer's side of a delta (engine/delta_frames.h): the new content
// of a file or entry cut into frames, each compressed by zstd with the
// matching window of the old content as its raw-content prefix and
// long-distance matching on.
#ifndef PATCHLIB_DELTA_ENCODER_H_
#define PATCHLIB_DELTA_ENCODER_H_

#include <cstdint>
#include <string>

namespace patchlib {

// The zstd level deltas are made at: the strongest; a delta is made once
// and applied by every player.
constexpr int kDeltaLevel = 22;

// Encodes `data` (N bytes, 1 or more) against `reference` (R bytes, 1 or
// more) into `frames`: the frames part of a delta record, each frame's
// u32 byte count included. Frames are independent, so up to `threads`
// are compressed at once; the bytes do not depend on the thread count.
// False (frames empty) when zstd refuses (out of memory).
bool EncodeDelta(const unsigned char* reference, std::uint32_t reference_size,
                 const unsigned char* data, std::uint32_t size, int level,
                 unsigned threads, std::string* frames);

}  // namespace patchlib

#endif  // PATCHLIB_DELTA_ENCODER_H_
