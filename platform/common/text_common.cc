#include <cstring>
#include <utility>

#include "platform/text.h"

namespace platform {

bool CopyCp932(const std::string& cp932, char* out, unsigned size) {
  if (size == 0) return false;
  const size_t n = cp932.size() < size - 1 ? cp932.size() : size - 1;
  size_t i = 0;
  while (i < n) {
    size_t step = IsLeadByte(static_cast<unsigned char>(cp932[i])) ? 2 : 1;
    if (i + step > n) break;
    i += step;
  }
  std::memcpy(out, cp932.data(), i);
  out[i] = '\0';
  return i == cp932.size();
}

bool Cp932NameToUtf8(const std::string& cp932, std::string* utf8) {
  bool ok = false;
  std::string out = Cp932ToUtf8(cp932, &ok);
  if (!ok) return false;
  *utf8 = std::move(out);
  return true;
}

}  // namespace platform
