#include "engine/delta_frames.h"

#include <cstring>
#include <memory>
#include <vector>

#define ZSTD_STATIC_LINKING_ONLY  // the raw-content prefix
#include <zstd.h>

#include "engine/little_endian.h"

namespace updater {
namespace {

struct FreeDctx {
  void operator()(ZSTD_DCtx* d) const { ZSTD_freeDCtx(d); }
};

// Reads exactly `n` bytes from `file`'s position.
bool ReadAll(zorl::KFile& file, std::uint32_t n, unsigned char* out) {
  while (n > 0) {
    const std::int32_t got = file.Read(n, out);
    if (got <= 0) return false;
    out += got;
    n -= static_cast<std::uint32_t>(got);
  }
  return true;
}

}  // namespace

bool ParseDeltaHead(const unsigned char* bytes, DeltaHead* head) {
  head->new_size = LoadLe32(bytes);
  head->reference_size = LoadLe32(bytes + 4);
  std::memcpy(head->reference_hash.bytes, bytes + 8, 16);
  head->delta_size = LoadLe32(bytes + 24);
  return head->new_size > 0 && head->reference_size > 0;
}

void StoreDeltaHead(const DeltaHead& head, unsigned char* bytes) {
  StoreLe32(bytes, head.new_size);
  StoreLe32(bytes + 4, head.reference_size);
  std::memcpy(bytes + 8, head.reference_hash.bytes, 16);
  StoreLe32(bytes + 24, head.delta_size);
}

std::uint32_t DeltaFrameCount(std::uint32_t new_size) {
  return new_size / kDeltaFrameBytes + (new_size % kDeltaFrameBytes ? 1 : 0);
}

DeltaWindow DeltaReferenceWindow(std::uint32_t reference_size, std::uint32_t index) {
  if (reference_size <= kDeltaReferenceWindow) return {0, reference_size};
  // Centred on the frame's place: as much reference before it as after.
  const std::uint64_t start = std::uint64_t{index} * kDeltaFrameBytes;
  const std::uint64_t margin = (kDeltaReferenceWindow - kDeltaFrameBytes) / 2;
  std::uint64_t offset = start > margin ? start - margin : 0;
  if (offset + kDeltaReferenceWindow > reference_size)
    offset = reference_size - kDeltaReferenceWindow;
  return {static_cast<std::uint32_t>(offset), kDeltaReferenceWindow};
}

int DeltaWindowLog(std::uint32_t window_bytes, std::uint32_t frame_bytes) {
  const std::uint64_t span = std::uint64_t{window_bytes} + frame_bytes;
  int log = 10;
  while (log < kDeltaMaxWindowLog && (std::uint64_t{1} << log) < span) ++log;
  return log;
}

DeltaResult RebuildFromDelta(const DeltaHead& head, zorl::KFile& reference,
                             zorl::KFile& frames,
                             const std::function<void(const unsigned char*, std::uint32_t)>& put,
                             const std::function<void()>& tick) {
  const std::int32_t reference_size = reference.GetSize();
  if (reference_size < 0) return DeltaResult::kUnreadable;
  if (static_cast<std::uint32_t>(reference_size) != head.reference_size)
    return DeltaResult::kWrongReference;
  const std::uint32_t count = DeltaFrameCount(head.new_size);
  // Each frame has at least its 4-byte count.
  if (head.delta_size / 4 < count) return DeltaResult::kDamaged;

  const DeltaWindow first = DeltaReferenceWindow(head.reference_size, 0);
  const bool whole = first.size == head.reference_size;
  std::unique_ptr<unsigned char[]> window(new unsigned char[first.size]);
  // The reference is proven before anything is decoded: while it fits one
  // window it is hashed as loaded, else in a pass of its own.
  ContentHash seen;
  if (whole) {
    if (!reference.Seek(zorl::KSEEK_BEGIN, 0) ||
        !ReadAll(reference, head.reference_size, window.get()))
      return DeltaResult::kUnreadable;
    seen = HashBytes(window.get(), head.reference_size);
  } else {
    std::uint64_t size = 0;
    if (!HashStream(reference, &seen, &size, tick)) return DeltaResult::kUnreadable;
  }
  if (seen != head.reference_hash) return DeltaResult::kWrongReference;

  std::unique_ptr<ZSTD_DCtx, FreeDctx> dctx(ZSTD_createDCtx());
  if (!dctx) return DeltaResult::kUnreadable;
  const std::size_t bound = ZSTD_compressBound(kDeltaFrameBytes);
  std::vector<unsigned char> frame;
  std::unique_ptr<unsigned char[]> out(
      new unsigned char[head.new_size < kDeltaFrameBytes ? head.new_size : kDeltaFrameBytes]);
  std::uint32_t left = head.delta_size;
  std::uint32_t loaded_at = whole ? 0 : 0xFFFFFFFFu;
  for (std::uint32_t k = 0; k < count; ++k) {
    if (tick) tick();
    unsigned char field[4];
    if (left < 4) return DeltaResult::kDamaged;
    if (!ReadAll(frames, 4, field)) return DeltaResult::kUnreadable;
    left -= 4;
    const std::uint32_t size = LoadLe32(field);
    if (size == 0 || size > left || size > bound) return DeltaResult::kDamaged;
    frame.resize(size);
    if (!ReadAll(frames, size, frame.data())) return DeltaResult::kUnreadable;
    left -= size;
    const std::uint32_t want = k + 1 < count ? kDeltaFrameBytes
                                             : head.new_size - k * kDeltaFrameBytes;
    // One frame, declaring exactly its share: neither a second frame hidden
    // behind it nor a size that would outgrow the content.
    if (ZSTD_findFrameCompressedSize(frame.data(), size) != size ||
        ZSTD_getFrameContentSize(frame.data(), size) != want)
      return DeltaResult::kDamaged;
    const DeltaWindow w = DeltaReferenceWindow(head.reference_size, k);
    if (w.offset != loaded_at) {
      // Windows move forward frame by frame: what the last one shares
      // with this one slides to the front, and only the rest is read.
      std::uint32_t kept = 0;
      if (loaded_at != 0xFFFFFFFFu && w.offset > loaded_at && w.offset - loaded_at < w.size) {
        kept = w.size - (w.offset - loaded_at);
        std::memmove(window.get(), window.get() + (w.offset - loaded_at), kept);
      }
      if (!reference.Seek(zorl::KSEEK_BEGIN, static_cast<std::int32_t>(w.offset + kept)) ||
          !ReadAll(reference, w.size - kept, window.get() + kept))
        return DeltaResult::kUnreadable;
      loaded_at = w.offset;
    }
    if (ZSTD_isError(ZSTD_DCtx_reset(dctx.get(), ZSTD_reset_session_and_parameters)) ||
        ZSTD_isError(ZSTD_DCtx_setParameter(dctx.get(), ZSTD_d_windowLogMax,
                                            kDeltaMaxWindowLog)) ||
        ZSTD_isError(ZSTD_DCtx_refPrefix_advanced(dctx.get(), window.get(), w.size,
                                                  ZSTD_dct_rawContent)))
      return DeltaResult::kUnreadable;
    const std::size_t made = ZSTD_decompressDCtx(dctx.get(), out.get(), want, frame.data(), size);
    if (ZSTD_isError(made) || made != want) return DeltaResult::kDamaged;
    put(out.get(), want);
  }
  return left == 0 ? DeltaResult::kRebuilt : DeltaResult::kDamaged;
}

}  // namespace updater
