#include <unistd.h>

#include "platform/elevation.h"
#include "platform/fault.h"

namespace platform {

bool IsElevated() { return !internal::NotElevatedReported() && ::geteuid() == 0; }

ElevatedRun RunElevated(const char*, const char*, int* exit_code) {
  *exit_code = -1;
  return internal::ElevationDeclined() ? ElevatedRun::kDeclined : ElevatedRun::kFailed;
}

}  // namespace platform
