#include "native_path.h"

#include "platform/text.h"

namespace platform {

bool NativePath(const char* cp932_path, std::string* native) {
  std::string text(cp932_path ? cp932_path : "");
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c) && i + 1 < text.size()) {
      ++i;  // the trail byte may be 0x5C; it is no separator
    } else if (c == '\\') {
      text[i] = '/';
    }
  }
  return Cp932NameToUtf8(text, native);
}

void FromNativeName(const std::string& native, char* out, unsigned size) {
  CopyCp932(Utf8ToCp932(native), out, size);
}

}  // namespace platform
