#include <windows.h>

#include "platform/clock.h"

namespace platform {

std::uint64_t MonotonicMillis() { return GetTickCount64(); }

void SleepMillis(unsigned ms) { Sleep(ms); }

}  // namespace platform
