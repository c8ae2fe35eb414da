#include "platform/console.h"
#include "platform/text.h"

namespace platform {

std::string ToConsoleText(const std::string& cp932) {
  return Cp932ToUtf8(cp932);
}

bool ArgumentToCp932(const char* argument, std::string* out) {
  bool ok = true;
  *out = Utf8ToCp932(argument, &ok);
  return ok;
}

}  // namespace platform
