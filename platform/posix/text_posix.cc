// cp932 <-> UTF-8 through iconv. glibc knows code page 932 as "CP932".
#include "platform/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>

namespace platform {
namespace {

// Bytes of the (possibly invalid) character that starts with `c`.
size_t SequenceLength(unsigned char c, bool cp932) {
  if (cp932) return IsLeadByte(c) ? 2 : 1;
  if (c >= 0xF0 && c <= 0xF7) return 4;
  if (c >= 0xE0) return 3;
  if (c >= 0xC0) return 2;
  return 1;
}

// Converts `in` from `from` to `to`; an unconvertible input sequence is
// replaced by `replacement` and skipped (one byte, or a whole two-byte
// cp932 character when the source is cp932).
std::string Convert(const char* to, const char* from, const std::string& in,
                    const std::string& replacement, bool from_cp932,
                    bool* ok) {
  if (ok) *ok = true;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    if (ok) *ok = false;
    return in;
  }
  std::string out;
  char buffer[1024];
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  while (src_left > 0) {
    char* dst = buffer;
    size_t dst_left = sizeof buffer;
    size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buffer, dst - buffer);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      // EILSEQ or EINVAL: skip the bad sequence.
      if (ok) *ok = false;
      out += replacement;
      size_t skip = SequenceLength(static_cast<unsigned char>(*src),
                                   from_cp932);
      if (skip > src_left) skip = src_left;
      src += skip;
      src_left -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string Cp932ToUtf8(const std::string& cp932, bool* ok) {
  return Convert("UTF-8", "CP932", cp932, "\xEF\xBF\xBD", true, ok);
}

std::string Utf8ToCp932(const std::string& utf8, bool* ok) {
  return Convert("CP932", "UTF-8", utf8, "?", false, ok);
}

bool UserLanguageIsJapanese() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value[0] == 'j' && value[1] == 'a';
  }
  return false;
}

}  // namespace platform
