// Exceptions of the foundation library. Streams throw KExceptFile, by value,
// when their throw-on-error switch is on; it carries no cause (a handler
// that needs the file name reads it from the stream).
#ifndef FOUNDATION_KEXCEPT_H_
#define FOUNDATION_KEXCEPT_H_

#include "foundation/kobject.h"

namespace zorl {

class KExcept : public KObject {
 public:
  // Keeps at most 255 characters of `text` (nullptr: empty).
  explicit KExcept(const char* text);
  KExcept(const KExcept& other);
  KExcept& operator=(const KExcept& other);
  ~KExcept() override = default;

  const char* Text() const { return text_; }

 private:
  char text_[256];
};

class KExceptFile : public KExcept {
 public:
  // The text is always "KExceptFile".
  KExceptFile();
  KExceptFile(const KExceptFile& other) = default;
  KExceptFile& operator=(const KExceptFile& other) = default;
  ~KExceptFile() override = default;
};

}  // namespace zorl

#endif  // FOUNDATION_KEXCEPT_H_
