// POSIX renames and deletes what others hold open: only a reported hold counts.
#include <sys/stat.h>

#include "native_path.h"
#include "platform/fault.h"
#include "platform/files_in_use.h"

namespace platform {

InUse ProbeInUse(const char* path) {
  if (internal::ReportedInUse(path)) return InUse::kHeld;
  std::string native;
  struct stat st;
  if (!NativePath(path, &native) || ::stat(native.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return InUse::kUnknown;
  return InUse::kFree;
}

std::vector<std::string> ProgramsUsing(const std::vector<std::string>&) { return {}; }

}  // namespace platform
