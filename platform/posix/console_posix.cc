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

bool ArgumentToUtf8(const char* argument, std::string* out) {
  // The terminal's arguments are UTF-8 already; whoever stores the text
  // checks that it is.
  *out = argument;
  return true;
}

}  // namespace platform
