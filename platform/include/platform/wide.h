// Windows only: cp932 <-> UTF-16 through code page 932, for Windows code above the seam that
// hands text to the wide system API (the window framework). Implemented in win32/wide.cc.
#ifndef PLATFORM_WIDE_H_
#define PLATFORM_WIDE_H_

#include <cstddef>
#include <string>

namespace platform {

// cp932 to UTF-16 (nullptr reads as ""). Bytes that do not convert become
// a replacement character.
std::wstring Widen(const char* cp932);
// The same for `count` bytes of cp932 text (NUL bytes included).
std::wstring Widen(const char* cp932, std::size_t count);

// cp932 to UTF-16 for a name (nullptr reads as ""): false, leaving `out`
// alone, when the text is not valid cp932, since a replacement character
// would name another file.
bool WidenName(const char* cp932, std::wstring* out);

// Converts to cp932 into `out` (`size` bytes, cut to size - 1 bytes on a
// character boundary, NUL-terminated). Returns false if it had to cut.
bool Narrow(const wchar_t* text, char* out, unsigned size);

}  // namespace platform

#endif  // PLATFORM_WIDE_H_
