#include "engine/update_ui.h"

#include <cstdarg>
#include <cstdio>

namespace updater {

void UpdateUi::Error(const char* format, ...) {
  char text[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  ShowMessage(text, MessageKind::kError);
  throw kFailureSignal;
}

}  // namespace updater
