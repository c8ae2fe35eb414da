#include "patchlib/windows_name.h"

#include <cstdint>

#include "display_name.h"

namespace patchlib {
namespace {

bool EqualsAscii(const std::string& a, const char* upper) {
  std::string::size_type i = 0;
  for (; upper[i]; ++i) {
    if (i >= a.size()) return false;
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return i == a.size();
}

// The upper-case form of a code point, for the letters cp932 can hold.
std::uint32_t Upper(std::uint32_t c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;     // Latin-1
  if (c == 0x3C2) return 0x3A3;                                  // final sigma
  if (c >= 0x3B1 && c <= 0x3C9) return c - 0x20;                 // Greek
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;                 // Cyrillic
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;                 // Cyrillic ё...
  if (c >= 0x2170 && c <= 0x217F) return c - 0x10;               // ⅰ..ⅿ
  if (c >= 0x24D0 && c <= 0x24E9) return c - 0x1A;               // ⓐ..ⓩ
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;               // ａ..ｚ
  return c;
}

void AppendUtf8(std::uint32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string WindowsNameProblem(const std::string& component) {
  if (!component.empty() && (component.back() == '.' || component.back() == ' '))
    return "name ends in a dot or a space, which Windows drops";
  // The device names are reserved whatever follows the first dot, and
  // Windows ignores spaces before it.
  std::string stem = component.substr(0, component.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL",
                                         "CONIN$", "CONOUT$"};
  bool reserved = false;
  for (const char* device : kDevices) reserved = reserved || EqualsAscii(stem, device);
  if (stem.size() == 4 && (EqualsAscii(stem.substr(0, 3), "COM") ||
                           EqualsAscii(stem.substr(0, 3), "LPT")) &&
      stem[3] >= '1' && stem[3] <= '9')
    reserved = true;
  if (reserved) return "\"" + stem + "\" is a device name on Windows, not a file";
  return "";
}

std::string FileNameKey(const std::string& cp932) {
  const std::string utf8 = tools::Utf8Name(cp932);  // always valid UTF-8
  std::string key;
  key.reserve(utf8.size());
  for (std::string::size_type i = 0; i < utf8.size();) {
    const unsigned char b = static_cast<unsigned char>(utf8[i]);
    std::uint32_t c = b;
    std::string::size_type n = 1;
    if (b >= 0xF0) {
      c = b & 0x07;
      n = 4;
    } else if (b >= 0xE0) {
      c = b & 0x0F;
      n = 3;
    } else if (b >= 0xC0) {
      c = b & 0x1F;
      n = 2;
    }
    for (std::string::size_type k = 1; k < n && i + k < utf8.size(); ++k)
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    AppendUtf8(Upper(c), &key);
    i += n;
  }
  return key;
}

}  // namespace patchlib
