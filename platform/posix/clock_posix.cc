#include <time.h>

#include "platform/clock.h"

namespace platform {

std::uint64_t MonotonicMillis() {
  struct timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
         static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

void SleepMillis(unsigned ms) {
  struct timespec left;
  left.tv_sec = ms / 1000;
  left.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
  while (::nanosleep(&left, &left) != 0) {
  }
}

}  // namespace platform
