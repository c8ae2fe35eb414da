#include <windows.h>

#include "platform/debug.h"

namespace platform {

void DebugOutput(const char* text) {
  if (text) OutputDebugStringA(text);
}

}  // namespace platform
