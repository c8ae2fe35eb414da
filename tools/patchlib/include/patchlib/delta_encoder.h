// The producer's side of a delta (engine/delta_frames.h): the new content
// of a file or entry cut into frames, each compressed by zstd with the
// matching window of the old content as its raw-content prefix and
// long-distance matching on.
#ifndef PATCHLIB_DELTA_ENCODER_H_
#define PATCHLIB_DELTA_ENCODER_H_

#include <cstdint>
#include <string>

namespace patchlib {

// The zstd level a delta of `size` new bytes is made at. An item of one
// frame (an executable, a DLL, a table) gets the strongest: a delta is made
// once and applied by every player. Larger items get a fast level: their
// savings come from long matches against the old content, which
// long-distance matching finds at any level, while the strongest level
// would spend minutes on a few hundred MiB (and on contents that share
// nothing, only to find that the delta does not pay).
int DeltaLevel(std::uint32_t size);

// Encodes `data` (N bytes, 1 or more) against `reference` (R bytes, 1 or
// more) into `frames`: the frames part of a delta record, each frame's
// u32 byte count included. Frames are independent, so up to `threads`
// are compressed at once; the bytes do not depend on the thread count.
// False (frames empty) when zstd refuses (out of memory), or when a stop
// was requested (tools::StopWasRequested): the frames under way are
// finished, no further one is begun.
bool EncodeDelta(const unsigned char* reference, std::uint32_t reference_size,
                 const unsigned char* data, std::uint32_t size, int level,
                 unsigned threads, std::string* frames);

}  // namespace patchlib

#endif  // PATCHLIB_DELTA_ENCODER_H_
