#include <time.h>

#include "platform/clock.h"

namespace platform {

std::uint64_t MonotonicMillis() {
  struct timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
         static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

}  // namespace platform
