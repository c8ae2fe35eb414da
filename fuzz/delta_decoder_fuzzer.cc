// The delta decoder on arbitrary frames against an arbitrary reference:
// whatever the bytes, it hands out at most the declared size, and only
// after the reference proved to be the head's.
//
// Input: u16 reference length L, L bytes of reference, u32 new size (kept
// to 1 MiB), then the frames. The head's hash is the reference's own, so
// most inputs reach the frames; a flag bit in the length's top asks for a
// wrong hash instead.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/delta_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6 || size > (1u << 20)) return 0;
  const std::uint32_t field = data[0] | std::uint32_t{data[1]} << 8;
  const bool wrong_hash = field & 0x8000;
  const std::uint32_t length = field & 0x7FFF;
  if (length == 0 || size < 2 + length + 4) return 0;
  const std::uint8_t* reference = data + 2;
  const std::uint8_t* p = reference + length;
  std::uint32_t new_size;
  std::memcpy(&new_size, p, 4);
  new_size = new_size % (1u << 20) + 1;
  const std::uint8_t* frames = p + 4;
  const std::size_t frames_size = size - (frames - data);

  updater::DeltaHead head;
  head.new_size = new_size;
  head.reference_size = length;
  head.reference_hash = updater::HashBytes(reference, length);
  if (wrong_hash) head.reference_hash.bytes[0] ^= 1;
  head.delta_size = static_cast<std::uint32_t>(frames_size);

  zorl::KFile ref, delta, ref_view, delta_view;
  if (!ref.OpenMemory("reference", length, zorl::KMEM_READ | zorl::KMEM_WRITE) ||
      !delta.OpenMemory("frames", static_cast<std::uint32_t>(frames_size) + 1,
                        zorl::KMEM_READ | zorl::KMEM_WRITE))
    return 0;
  ref.Write(reference, length);
  delta.Write(frames, static_cast<std::uint32_t>(frames_size));
  ref_view.OpenView(ref, 0, static_cast<std::int32_t>(length));
  delta_view.OpenView(delta, 0, static_cast<std::int32_t>(frames_size));
  std::uint64_t out = 0;
  const updater::DeltaResult result = updater::RebuildFromDelta(
      head, ref_view, delta_view, [&](const unsigned char*, std::uint32_t n) {
        out += n;
        if (wrong_hash || out > new_size) __builtin_trap();
      });
  if (result == updater::DeltaResult::kRebuilt && out != new_size) __builtin_trap();
  return 0;
}
