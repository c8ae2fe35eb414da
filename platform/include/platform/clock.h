// The clock seam: a monotonic millisecond counter for time budgets
// (how often to report progress), never for dates.
#ifndef PLATFORM_CLOCK_H_
#define PLATFORM_CLOCK_H_

#include <cstdint>

namespace platform {

// Milliseconds since an unspecified start; never goes backwards.
std::uint64_t MonotonicMillis();

// Waits `ms` milliseconds (a retry's back-off).
void SleepMillis(unsigned ms);

}  // namespace platform

#endif  // PLATFORM_CLOCK_H_
