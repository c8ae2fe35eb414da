#include "patchlib/delta_encoder.h"

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#define ZSTD_STATIC_LINKING_ONLY  // the raw-content prefix
#include <zstd.h>

#include "engine/delta_frames.h"
#include "engine/little_endian.h"
#include "interrupt.h"

namespace patchlib {
namespace {

struct FreeCctx {
  void operator()(ZSTD_CCtx* c) const { ZSTD_freeCCtx(c); }
};

// One frame: bytes [k * 8 MiB, ...) of `data` against its window.
bool EncodeFrame(ZSTD_CCtx* cctx, const unsigned char* reference, std::uint32_t reference_size,
                 const unsigned char* data, std::uint32_t size, std::uint32_t k, int level,
                 std::string* out) {
  const std::uint32_t at = k * updater::kDeltaFrameBytes;
  const std::uint32_t n =
      size - at < updater::kDeltaFrameBytes ? size - at : updater::kDeltaFrameBytes;
  const updater::DeltaWindow w = updater::DeltaReferenceWindow(reference_size, k);
  const auto ok = [](std::size_t r) { return !ZSTD_isError(r); };
  if (!ok(ZSTD_CCtx_reset(cctx, ZSTD_reset_session_and_parameters)) ||
      !ok(ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, level)) ||
      !ok(ZSTD_CCtx_setParameter(cctx, ZSTD_c_enableLongDistanceMatching, 1)) ||
      !ok(ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, updater::DeltaWindowLog(w.size, n))) ||
      !ok(ZSTD_CCtx_setParameter(cctx, ZSTD_c_contentSizeFlag, 1)) ||
      !ok(ZSTD_CCtx_setParameter(cctx, ZSTD_c_checksumFlag, 0)) ||
      !ok(ZSTD_CCtx_setPledgedSrcSize(cctx, n)) ||
      !ok(ZSTD_CCtx_refPrefix_advanced(cctx, reference + w.offset, w.size, ZSTD_dct_rawContent)))
    return false;
  out->resize(4 + ZSTD_compressBound(n));
  unsigned char* dst = reinterpret_cast<unsigned char*>(&(*out)[0]);
  const std::size_t made = ZSTD_compress2(cctx, dst + 4, out->size() - 4, data + at, n);
  if (!ok(made)) return false;
  updater::StoreLe32(dst, static_cast<std::uint32_t>(made));
  out->resize(4 + made);
  return true;
}

}  // namespace

bool StrongerLevelMayPay(std::uint32_t size, std::size_t fast_bytes) {
  return size <= updater::kDeltaFrameBytes && fast_bytes > size / 64;
}

bool EncodeDelta(const unsigned char* reference, std::uint32_t reference_size,
                 const unsigned char* data, std::uint32_t size, int level,
                 unsigned threads, std::string* frames) {
  frames->clear();
  if (size == 0 || reference_size == 0) return false;
  const std::uint32_t count = updater::DeltaFrameCount(size);
  std::vector<std::string> parts(count);
  std::atomic<std::uint32_t> next{0};
  std::atomic<bool> failed{false};
  auto work = [&] {
    std::unique_ptr<ZSTD_CCtx, FreeCctx> cctx(ZSTD_createCCtx());
    for (std::uint32_t k; !failed && !tools::StopWasRequested() && (k = next++) < count;)
      if (!cctx || !EncodeFrame(cctx.get(), reference, reference_size, data, size, k, level,
                                &parts[k]))
        failed = true;
  };
  if (threads > count) threads = count;
  std::vector<std::thread> helpers;
  for (unsigned t = 1; t < threads; ++t) helpers.emplace_back(work);
  work();
  for (std::thread& t : helpers) t.join();
  if (failed || tools::StopWasRequested()) return false;
  for (const std::string& part : parts) frames->append(part);
  return true;
}

}  // namespace patchlib
