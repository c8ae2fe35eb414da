#include "foundation/kpath.h"

#include <cstring>

#include "foundation/ktext.h"

namespace zorl {

namespace {
constexpr std::size_t kSize = kNameBufferSize;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Appends at most what fits in a kSize buffer, never splitting a two-byte
// character.
void AppendWhole(char* buffer, const char* text) {
  std::size_t used = std::strlen(buffer);
  for (const char* p = text; *p;) {
    std::size_t w = CharWidth(p);
    if (used + w > kSize - 1) break;
    std::memcpy(buffer + used, p, w);
    used += w;
    p += w;
  }
  buffer[used] = '\0';
}

// Replaces every "\" separator by "/"; trail bytes stay untouched.
void ForwardSlashes(char* text) {
  for (char* p = text; *p;) {
    std::size_t w = CharWidth(p);
    if (w == 1 && *p == '\\') *p = '/';
    p += w;
  }
}
}  // namespace

char* MakePath(const KRef<char>& dir, const KRef<char>& base,
               const KRef<char>& ext, char* out) {
  char work[kSize] = {};
  AppendWhole(work, TextOf(dir));
  std::size_t length = std::strlen(work);
  if (length > 0) {
    const char* last = work;
    for (const char* p = work; *p; p += CharWidth(p)) last = p;
    if (!(CharWidth(last) == 1 && IsSeparator(*last)) && length + 2 <= kSize)
      AppendWhole(work, "/");
  }
  if (*TextOf(base)) AppendWhole(work, TextOf(base));
  if (*TextOf(ext)) {
    if (std::strlen(work) + 2 <= kSize) AppendWhole(work, ".");
    AppendWhole(work, TextOf(ext));
  }
  if (!out) return out;
  std::memcpy(out, work, std::strlen(work) + 1);
  ForwardSlashes(out);
  return out;
}

void SplitPath(const KRef<char>& path, char* dir, char* base, char* ext) {
  char work[kSize] = {};
  AppendWhole(work, TextOf(path));
  char directory[kSize] = {};
  char component[kSize] = {};
  std::size_t comp_len = 0;
  for (const char* p = work; *p;) {
    std::size_t w = CharWidth(p);
    if (w == 1 && IsSeparator(*p)) {
      component[comp_len] = '\0';
      AppendWhole(directory, component);
      AppendWhole(directory, "/");
      comp_len = 0;
    } else {
      std::memcpy(component + comp_len, p, w);
      comp_len += w;
    }
    p += w;
  }
  component[comp_len] = '\0';
  std::size_t dir_len = std::strlen(directory);
  if (dir_len > 0 && directory[dir_len - 1] != '/') AppendWhole(directory, "/");

  // The extension follows the file part's last dot.
  const char* dot = nullptr;
  for (const char* p = component; *p; p += CharWidth(p))
    if (CharWidth(p) == 1 && *p == '.') dot = p;
  if (dir) std::memcpy(dir, directory, std::strlen(directory) + 1);
  if (base) {
    std::size_t n = dot ? static_cast<std::size_t>(dot - component) : comp_len;
    std::memcpy(base, component, n);
    base[n] = '\0';
  }
  if (ext) {
    const char* e = dot ? dot + 1 : "";
    std::memcpy(ext, e, std::strlen(e) + 1);
  }
}

}  // namespace zorl
