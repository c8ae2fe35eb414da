#include <cstdio>
#include <cstdlib>

#include "platform/debug.h"

namespace platform {

void DebugOutput(const char* text) {
  // No debugger channel here: standard error, on request only.
  static const bool enabled = std::getenv("KESTREL_DEBUG") != nullptr;
  if (enabled && text) std::fputs(text, stderr);
}

}  // namespace platform
