#include "engine/file_steps.h"

#include "platform/clock.h"
#include "platform/filesystem.h"
#include "platform/last_failure.h"

namespace updater {

bool Retried(const std::function<bool()>& step) {
  if (step()) return true;
  // Waits that add up to 1.55 s: long enough for a scanner to let go.
  static const unsigned kWaits[] = {50, 100, 200, 400, 800};
  for (unsigned wait : kWaits) {
    if (!platform::LastFailureMayPass()) return step();
    platform::SleepMillis(wait);
    if (step()) return true;
  }
  return false;
}

bool DeleteLooseFile(const char* path) {
  return Retried([path] {
    if (!platform::IsLink(path) && platform::IsReadOnly(path) &&
        !platform::SetReadOnly(path, false))
      return false;
    return platform::RemoveFile(path);
  });
}

bool RenameLooseFile(const char* from, const char* to) {
  return Retried([from, to] { return platform::RenameFile(from, to); });
}

}  // namespace updater
