#include "foundation/kexcept.h"

#include <cstring>

namespace zorl {

KExcept::KExcept(const char* text) {
  std::size_t n = text ? std::strlen(text) : 0;
  if (n > sizeof text_ - 1) n = sizeof text_ - 1;
  if (n) std::memcpy(text_, text, n);
  text_[n] = '\0';
}

KExcept::KExcept(const KExcept& other) : KObject(other) {
  std::memcpy(text_, other.text_, sizeof text_);
}

KExcept& KExcept::operator=(const KExcept& other) {
  std::memcpy(text_, other.text_, sizeof text_);
  return *this;
}

KExceptFile::KExceptFile() : KExcept("KExceptFile") {}

}  // namespace zorl
