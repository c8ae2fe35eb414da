#include "foundation/kstring.h"

#include <cstring>

#include "foundation/ktext.h"

namespace zorl {

KString::KString(const KRef<char>& text) { Assign(text); }

KString::KString(const KString& other) : KObject(other) {
  Assign(other.Text(), 0, other.length_);
}

KString& KString::operator=(const KString& other) {
  if (this != &other) Assign(other.Text(), 0, other.length_);
  return *this;
}

void KString::Reserve(std::size_t n) {
  if (n <= capacity_) return;
  std::size_t capacity = (n + 31) & ~static_cast<std::size_t>(31);
  KRef<char> fresh;
  fresh.Reset(static_cast<std::uint32_t>(capacity));
  if (length_) std::memcpy(fresh.Get(), buffer_.Get(), length_);
  fresh[length_] = '\0';
  buffer_ = fresh;
  capacity_ = capacity;
}

void KString::Terminate() {
  if (buffer_) buffer_[length_] = '\0';
}

void KString::Assign(const KRef<char>& text) {
  const char* p = TextOf(text);
  Assign(text, 0, std::strlen(p));
}

void KString::Assign(const KRef<char>& text, std::size_t start,
                     std::size_t count) {
  const char* p = TextOf(text) + start;
  if (count == 0) {
    length_ = 0;
    Terminate();
    return;
  }
  // The source may live in our own buffer: copy it aside first.
  KString keep;
  if (buffer_ && p >= buffer_.Get() && p < buffer_.Get() + capacity_) {
    keep = *this;
    p = keep.Text() + (p - Text());
  }
  Reserve(count + 1);
  std::memmove(buffer_.Get(), p, count);
  length_ = count;
  Terminate();
}

void KString::Append(const KRef<char>& text) {
  Append(text, std::strlen(TextOf(text)));
}

void KString::Append(const KRef<char>& text, std::size_t count) {
  if (count == 0) return;
  const char* p = TextOf(text);
  KString keep;
  if (buffer_ && p >= buffer_.Get() && p < buffer_.Get() + capacity_) {
    keep = *this;
    p = keep.Text() + (p - Text());
  }
  Reserve(length_ + count + 1);
  std::memcpy(buffer_.Get() + length_, p, count);
  length_ += count;
  Terminate();
}

KString KString::Concat(const KRef<char>& a, std::size_t a_start,
                        std::size_t a_count, const KRef<char>& b,
                        std::size_t b_start, std::size_t b_count) {
  KString s;
  s.Reserve(a_count + b_count + 1);
  s.Append(TextOf(a) + a_start, a_count);
  s.Append(TextOf(b) + b_start, b_count);
  return s;
}

std::size_t KString::CharCount() const { return zorl::CharCount(Text()); }

bool KString::Split(const KRef<char>& set, KString* before,
                    KString* after) const {
  std::ptrdiff_t at = FindFirstOf(Text(), set);
  if (at < 0) return false;
  // As wide as the character that matched: a lead byte at the very end
  // stands alone.
  std::size_t sep = CharWidth(Text() + at);
  before->Assign(Text(), 0, static_cast<std::size_t>(at));
  after->Assign(Text(), at + sep, length_ - at - sep);
  return true;
}

KString KString::SplitBefore(const KRef<char>& set) {
  KString before, after;
  if (!Split(set, &before, &after)) {
    before = *this;
    Assign("");
    return before;
  }
  *this = after;
  return before;
}

KString KString::SplitAfter(const KRef<char>& set) {
  KString before, after;
  if (!Split(set, &before, &after)) {
    after = *this;
    Assign("");
    return after;
  }
  *this = before;
  return after;
}

void KString::CutAt(const KRef<char>& set) {
  std::ptrdiff_t at = FindFirstOf(Text(), set);
  if (at < 0) return;
  length_ = static_cast<std::size_t>(at);
  Terminate();
}

bool KString::Equals(const KRef<char>& text) const {
  const char* p = TextOf(text);
  return std::strlen(p) == length_ && std::memcmp(p, Text(), length_) == 0;
}

bool KString::Equals(const KRef<char>& text, std::size_t start,
                     std::size_t count) const {
  if (start > length_ || count > length_ - start) return false;
  const char* p = TextOf(text);
  return std::strlen(p) == count &&
         std::memcmp(p, Text() + start, count) == 0;
}

std::vector<std::uint16_t> KString::ToWide() const {
  std::vector<std::uint16_t> out;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(Text());
  for (std::size_t i = 0; i < length_;) {
    if (IsLeadByte(p[i]) && i + 1 < length_) {
      out.push_back(static_cast<std::uint16_t>(p[i] << 8 | p[i + 1]));
      i += 2;
    } else {
      out.push_back(p[i]);
      i += 1;
    }
  }
  return out;
}

void KString::AssignWide(const std::uint16_t* text, std::size_t count) {
  KString s;
  s.Reserve(count * 2 + 1);
  for (std::size_t i = 0; i < count; ++i) {
    char bytes[2] = {static_cast<char>(text[i] >> 8),
                     static_cast<char>(text[i] & 0xFF)};
    if (text[i] >= 256)
      s.Append(bytes, 2);
    else
      s.Append(bytes + 1, 1);
  }
  *this = s;
}

void KString::LowerName() {
  if (buffer_) zorl::LowerName(buffer_.Get());
}

}  // namespace zorl
