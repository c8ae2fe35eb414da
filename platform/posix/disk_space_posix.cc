#include <sys/statvfs.h>

#include <string>

#include "native_path.h"
#include "platform/disk_space.h"
#include "platform/fault.h"

namespace platform {

bool FreeDiskSpace(const char* dir, std::uint64_t* bytes) {
  const std::int64_t reported = internal::ReportedFreeSpace();
  if (reported >= 0) {
    *bytes = static_cast<std::uint64_t>(reported);
    return true;
  }
  std::string native;
  struct statvfs st;
  if (!NativePath(dir, &native) || ::statvfs(native.c_str(), &st) != 0) return false;
  *bytes = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
  return true;
}

}  // namespace platform
