#include "foundation/ktext.h"

#include <cstring>

namespace zorl {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

// Whether the character at `p` (of width `w`) is one of `set`'s characters.
bool InSet(const char* p, std::size_t w, const char* set) {
  for (const char* s = set; *s;) {
    std::size_t sw = CharWidth(s);
    if (sw == w && std::memcmp(p, s, w) == 0) return true;
    s += sw;
  }
  return false;
}
}  // namespace

char* CopyText(char* out, const KRef<char>& text, std::size_t n) {
  if (n == 0) return out;
  const char* src = TextOf(text);
  std::size_t len = std::strlen(src);
  if (len > n - 1) len = n - 1;
  std::memmove(out, src, len);
  out[len] = '\0';
  return out;
}

char* AppendText(char* buffer, const KRef<char>& text, std::size_t n) {
  std::size_t used = strnlen(buffer, n);
  if (used >= n) return buffer;
  CopyText(buffer + used, text, n - used);
  return buffer;
}

int CompareText(const KRef<char>& a, const KRef<char>& b, std::size_t n) {
  return std::strncmp(TextOf(a), TextOf(b), n) == 0 ? 0 : 1;
}

int CompareTextNoCase(const KRef<char>& a, const KRef<char>& b,
                      std::size_t n) {
  const char* p = TextOf(a);
  const char* q = TextOf(b);
  std::size_t i = 0;
  while (i < n) {
    if (p[i] == '\0' || q[i] == '\0') return p[i] == q[i] ? 0 : 1;
    std::size_t wp = CharWidth(p + i), wq = CharWidth(q + i);
    if (wp != wq) return 1;
    if (wp == 2) {
      if (p[i] != q[i]) return 1;
      // The trail byte counts only if it lies within the first n bytes.
      if (i + 1 < n && p[i + 1] != q[i + 1]) return 1;
    } else if (Lower(p[i]) != Lower(q[i])) {
      return 1;
    }
    i += wp;
  }
  return 0;
}

std::size_t CharCount(const KRef<char>& text) {
  std::size_t count = 0;
  for (const char* p = TextOf(text); *p; p += CharWidth(p)) ++count;
  return count;
}

std::size_t CharToByteOffset(const KRef<char>& text, std::size_t index) {
  const char* start = TextOf(text);
  const char* p = start;
  for (; *p && index > 0; --index) p += CharWidth(p);
  return static_cast<std::size_t>(p - start);
}

std::size_t CharToByteLength(const KRef<char>& text, std::size_t index,
                             std::size_t count) {
  const char* start = TextOf(text);
  std::size_t from = CharToByteOffset(text, index);
  const char* p = start + from;
  for (; *p && count > 0; --count) p += CharWidth(p);
  return static_cast<std::size_t>(p - start) - from;
}

std::ptrdiff_t FindFirstOf(const KRef<char>& text, const KRef<char>& set) {
  const char* start = TextOf(text);
  const char* s = TextOf(set);
  for (const char* p = start; *p;) {
    std::size_t w = CharWidth(p);
    if (InSet(p, w, s)) return p - start;
    p += w;
  }
  return -1;
}

void LowerName(char* name) {
  for (char* p = name; *p;) {
    std::size_t w = CharWidth(p);
    if (w == 1) *p = Lower(*p);
    p += w;
  }
}

void MakeNameKey(char* out, const KRef<char>& name) {
  CopyText(out, name, kNameBufferSize);
  LowerName(out);
}

std::uint32_t SplitCommandLine(const KRef<char>& line, KList<char>& out) {
  const char* p = TextOf(line);
  std::uint32_t added = 0;
  std::size_t length = std::strlen(p);
  // No argument is longer than the line itself.
  KRef<char> work;
  work.Reset(static_cast<std::uint32_t>(length + 1));
  for (;;) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') break;
    char* arg = work.Get();
    std::size_t n = 0;
    bool quoted = false;
    while (*p) {
      std::size_t w = CharWidth(p);
      if (w == 2) {
        arg[n++] = p[0];
        arg[n++] = p[1];
        p += 2;
      } else if (!quoted && (*p == ' ' || *p == '\t')) {
        break;
      } else if (*p == '"' && p[1] == '"') {
        arg[n++] = '"';  // a doubled quote is one literal quote
        p += 2;
      } else if (*p == '"') {
        quoted = !quoted;  // a lone quote opens or closes a section
        ++p;
      } else {
        arg[n++] = *p++;
      }
    }
    KRef<char> copy;
    copy.Reset(static_cast<std::uint32_t>(n + 1));
    std::memcpy(copy.Get(), arg, n);
    copy[n] = '\0';
    out.PushBack(copy);
    ++added;
  }
  return added;
}

}  // namespace zorl
