#include "native_path.h"

#include <cstring>

#include "platform/text.h"

namespace platform {

std::string NativePath(const char* cp932_path) {
  std::string text(cp932_path ? cp932_path : "");
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c) && i + 1 < text.size()) {
      ++i;  // the trail byte may be 0x5C; it is no separator
    } else if (c == '\\') {
      text[i] = '/';
    }
  }
  return Cp932ToUtf8(text);
}

void FromNativeName(const std::string& native, char* out, unsigned size) {
  if (size == 0) return;
  std::string text = Utf8ToCp932(native);
  size_t n = text.size() < size - 1 ? text.size() : size - 1;
  // Never cut a two-byte character in half.
  size_t i = 0;
  while (i < n) {
    size_t step = IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    if (i + step > n) break;
    i += step;
  }
  std::memcpy(out, text.data(), i);
  out[i] = '\0';
}

}  // namespace platform
