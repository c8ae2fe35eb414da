// Delta frames: how the new content of a patched file or entry is cut into
// zstd frames, which part of the old content (the reference) each frame is
// decoded against, and the decoder. The record around them is in
// patch_format.h (opcodes 6 and 7).
//
// Memory is bounded whatever the item's size: a frame rebuilds at most
// 8 MiB and sees at most a 24 MiB window of the reference, so decoding holds
// one window, one frame's output and one frame's bytes (at most 40 MiB and
// a small context; an item of a few MiB needs about three times its size).
#ifndef ENGINE_DELTA_FRAMES_H_
#define ENGINE_DELTA_FRAMES_H_

#include <cstdint>
#include <functional>

#include "engine/content_hash.h"
#include "foundation/kfile.h"

namespace updater {

// New bytes one frame rebuilds (the last frame: what is left).
constexpr std::uint32_t kDeltaFrameBytes = 8u << 20;
// The most reference bytes one frame is decoded against.
constexpr std::uint32_t kDeltaReferenceWindow = 24u << 20;
// The largest zstd window a frame may declare: a whole reference window and
// a whole frame fit 32 MiB.
constexpr int kDeltaMaxWindowLog = 25;
// The delta head's size in the record: N, R, the reference's hash, D.
constexpr std::uint32_t kDeltaHeadSize = 28;

struct DeltaHead {
  std::uint32_t new_size = 0;        // N
  std::uint32_t reference_size = 0;  // R
  ContentHash reference_hash;
  std::uint32_t delta_size = 0;      // D: the frames' bytes that follow
};

// Decodes a head from its 28 bytes. False when N or R is 0.
bool ParseDeltaHead(const unsigned char* bytes, DeltaHead* head);
void StoreDeltaHead(const DeltaHead& head, unsigned char* bytes);

// Frames for N new bytes: ceil(N / 8 MiB).
std::uint32_t DeltaFrameCount(std::uint32_t new_size);

// The part of an R-byte reference that frame `index` is decoded against:
// the whole reference while it fits the window, else the 24 MiB around the
// frame's own place in the new content (kept inside the reference).
struct DeltaWindow {
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
};
DeltaWindow DeltaReferenceWindow(std::uint32_t reference_size, std::uint32_t index);

// The window log a frame is made with: the smallest that spans its
// reference window and its own bytes (10 at least, 25 at most).
int DeltaWindowLog(std::uint32_t window_bytes, std::uint32_t frame_bytes);

enum class DeltaResult {
  kRebuilt,         // every byte handed out, exactly N of them
  kWrongReference,  // the reference is not R bytes with the recorded hash
  kDamaged,         // a frame count, frame or size that does not fit the head
  kUnreadable,      // the reference or the delta could not be read
};

// Rebuilds the new content of `head` from the frames in `frames` (read from
// its position; exactly head.delta_size bytes of it are taken) against
// `reference` (read from its start). The reference is proven against the
// head's size and hash before the first byte goes to `put`; every frame
// must decode to exactly its share of N, so a delta that would expand past
// its declared size stops at that frame. `put` gets the content in order,
// in pieces of at most 8 MiB; it may throw, and so may `tick` (called
// between frames): everything is released on the way out.
DeltaResult RebuildFromDelta(const DeltaHead& head, zorl::KFile& reference,
                             zorl::KFile& frames,
                             const std::function<void(const unsigned char*, std::uint32_t)>& put,
                             const std::function<void()>& tick = {});

}  // namespace updater

#endif  // ENGINE_DELTA_FRAMES_H_
