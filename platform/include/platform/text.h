// The text seam: cp932 is the system's text; terminals and Linux file
// names want UTF-8. Conversion uses code page 932 explicitly, never the
// process locale.
#ifndef PLATFORM_TEXT_H_
#define PLATFORM_TEXT_H_

#include <string>

namespace platform {

// True for the first byte of a two-byte cp932 character (0x81-0x9F, 0xE0-0xFC).
inline bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Copies cp932 text into `out` (`size` bytes): at most size - 1 bytes,
// never half a two-byte character, NUL-terminated. False if it had to cut.
bool CopyCp932(const std::string& cp932, char* out, unsigned size);

// cp932 to UTF-8. Bytes that do not convert become U+FFFD; `ok`, when
// given, is set to false if that happened.
std::string Cp932ToUtf8(const std::string& cp932, bool* ok = nullptr);

// cp932 to UTF-8 for a name, where a replacement character would name
// another file: false, leaving `utf8` alone, when the text is not valid
// cp932 (a byte or a pair code page 932 does not map, a lead byte without
// its trail byte).
//   "\x95\x5C" -> true, "\xE8\xA1\xA8";   "a\x81\x20", "a\xA0" -> false
bool Cp932NameToUtf8(const std::string& cp932, std::string* utf8);

// UTF-8 to cp932. Characters without a cp932 form become "?";
// `ok`, when given, is set to false if that happened.
std::string Utf8ToCp932(const std::string& utf8, bool* ok = nullptr);

// Whether the user's interface language is Japanese: on Windows the user's
// UI language; on POSIX the first of LC_ALL, LC_MESSAGES and LANG that is
// set begins with "ja".
bool UserLanguageIsJapanese();

}  // namespace platform

#endif  // PLATFORM_TEXT_H_
