// The producer's side of a delta (engine/delta_frames.h): the new content
// of a file or entry cut into frames, each compressed by zstd with the
// matching window of the old content as its raw-content prefix and
// long-distance matching on.
#ifndef PATCHLIB_DELTA_ENCODER_H_
#define PATCHLIB_DELTA_ENCODER_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace patchlib {

// The zstd levels a delta is made at. Every delta is made at the fast
// level first: long-distance matching finds the long matches against the
// old content at any level, and for most changed data that is all there
// is. The strongest level pays where much is left to compress between
// the matches (an executable, a DLL, a table rebuilt with a few changes):
// an item of one frame whose fast delta is more than 1/64 of it is made
// again at the strongest, and the smaller delta kept. A delta is made once
// and applied by every player; the strongest level on larger items would
// still spend minutes on a few hundred MiB.
constexpr int kFastDeltaLevel = 6;
constexpr int kStrongDeltaLevel = 22;
// Whether the strongest level may pay for `size` new bytes whose fast
// delta took `fast_bytes`.
//   StrongerLevelMayPay(2 << 20, 400 << 10)  -> true  (a rebuilt executable)
//   StrongerLevelMayPay(8 << 20, 66 << 10)   -> false (a few blocks changed)
//   StrongerLevelMayPay(64 << 20, 8 << 20)   -> false (more than one frame)
bool StrongerLevelMayPay(std::uint32_t size, std::size_t fast_bytes);

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
