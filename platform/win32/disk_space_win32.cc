#include <windows.h>

#include "platform/disk_space.h"
#include "platform/fault.h"
#include "wide.h"

namespace platform {

bool FreeDiskSpace(const char* dir, std::uint64_t* bytes) {
  const std::int64_t reported = internal::ReportedFreeSpace();
  if (reported >= 0) {
    *bytes = static_cast<std::uint64_t>(reported);
    return true;
  }
  std::wstring wide;
  ULARGE_INTEGER available;
  if (!WidenName(dir, &wide) || !GetDiskFreeSpaceExW(wide.c_str(), &available, nullptr, nullptr))
    return false;
  *bytes = available.QuadPart;
  return true;
}

}  // namespace platform
