// KString: growable cp932 text on a counted buffer.
//
// The buffer is NUL-terminated whenever it exists. Capacity grows in steps
// of 32 bytes (Reserve(1) -> 32, Reserve(33) -> 64) and never shrinks; every
// edit reserves length + added + 1 first. Copies are deep: two strings
// never edit one buffer.
#ifndef FOUNDATION_KSTRING_H_
#define FOUNDATION_KSTRING_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/kobject.h"
#include "foundation/kref.h"

namespace zorl {

class KString : public KObject {
 public:
  KString() = default;
  KString(const KRef<char>& text);  // NOLINT: text converts freely
  KString(const KString& other);
  KString& operator=(const KString& other);
  ~KString() override = default;

  // Makes the capacity at least n (rounded up to a multiple of 32).
  void Reserve(std::size_t n);

  // Replaces the content; an empty text leaves the string empty.
  void Assign(const KRef<char>& text);
  // Replaces the content by `count` bytes of `text` starting at `start`.
  void Assign(const KRef<char>& text, std::size_t start, std::size_t count);
  void Append(const KRef<char>& text);
  void Append(const KRef<char>& text, std::size_t count);
  // A new string of `a_count` bytes of `a` from `a_start`, then `b_count`
  // bytes of `b` from `b_start`.
  static KString Concat(const KRef<char>& a, std::size_t a_start,
                        std::size_t a_count, const KRef<char>& b,
                        std::size_t b_start, std::size_t b_count);

  std::size_t Length() const { return length_; }
  std::size_t Capacity() const { return capacity_; }
  bool IsEmpty() const { return length_ == 0; }
  // Characters; a two-byte character counts once.
  std::size_t CharCount() const;

  // The characters, or "" when there is no buffer yet.
  const char* Text() const { return buffer_ ? buffer_.Get() : ""; }
  // The counted buffer (empty before the first edit).
  const KRef<char>& Buffer() const { return buffer_; }
  operator KRef<char>() const {  // NOLINT: a string is a text
    return buffer_ ? buffer_ : KRef<char>("");
  }

  // Finds the first character of the string that is in `set`, drops it and
  // returns the text before it, keeping the text after it here.
  //   "key=value".SplitBefore("=") -> "key", leaves "value"
  // Without a match: returns the whole string and leaves this one empty.
  KString SplitBefore(const KRef<char>& set);
  // As SplitBefore but returns the text after the separator and keeps the
  // text before it. Without a match: returns the whole string, leaves this
  // one empty.
  KString SplitAfter(const KRef<char>& set);
  // Terminates the string at the first character in `set`.
  void CutAt(const KRef<char>& set);

  bool Equals(const KRef<char>& text) const;
  // Whether `count` bytes from `start` equal the first `count` of `text`
  // (and `text` is exactly that long).
  bool Equals(const KRef<char>& text, std::size_t start,
              std::size_t count) const;
  bool operator==(const KRef<char>& text) const { return Equals(text); }

  // To 16-bit values: a single byte becomes one value, a two-byte character
  // one value with the lead byte in the high half.
  std::vector<std::uint16_t> ToWide() const;
  // From 16-bit values: 256 and above become two bytes, high half first.
  void AssignWide(const std::uint16_t* text, std::size_t count);

  // Lower-cases "A"-"Z" in place; two-byte characters stay whole.
  void LowerName();

 private:
  void Terminate();
  // The text around the first character of `set`, the separator dropped.
  // False when there is none.
  bool Split(const KRef<char>& set, KString* before, KString* after) const;

  KRef<char> buffer_;
  std::size_t length_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace zorl

#endif  // FOUNDATION_KSTRING_H_
