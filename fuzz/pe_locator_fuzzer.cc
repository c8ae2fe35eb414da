// The PE header walk that finds the overlay, and the inflater on whatever
// follows it, on memory streams.
#include <cstddef>
#include <cstdint>

#include "engine/payload.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0 || size > (1u << 20)) return 0;
  zorl::KFile exe;
  if (!exe.OpenMemory("fuzz.exe", static_cast<std::uint32_t>(size),
                      zorl::KMEM_READ | zorl::KMEM_WRITE))
    return 0;
  exe.Write(data, static_cast<std::uint32_t>(size));
  std::uint32_t end = 0;
  if (!updater::FindImageEnd(exe, &end) || end >= size) return 0;
  zorl::KFile payload, out;
  if (!payload.OpenView(exe, static_cast<std::int32_t>(end), -1)) return 0;
  if (!out.OpenMemory("out", 1u << 20, zorl::KMEM_WRITE)) return 0;
  updater::InflatePayload(out, payload, [] {});
  return 0;
}
