// cp932 <-> UTF-16 through code page 932, so that names come out right on a
// Windows whose ANSI code page is not 932.
#ifndef PLATFORM_WIN32_WIDE_H_
#define PLATFORM_WIN32_WIDE_H_

#include <string>

namespace platform {

std::wstring Widen(const char* cp932);

// Converts to cp932 into `out` (`size` bytes, cut to size - 1 bytes on a
// character boundary, NUL-terminated). Returns false if it had to cut.
bool Narrow(const wchar_t* text, char* out, unsigned size);

}  // namespace platform

#endif  // PLATFORM_WIN32_WIDE_H_
