// The console seam: what a terminal and a command line speak. The system's
// texts are cp932; a Linux terminal and command line use UTF-8, a Windows
// console its output code page and main()'s arguments the ANSI code page.
#ifndef PLATFORM_CONSOLE_H_
#define PLATFORM_CONSOLE_H_

#include <string>

namespace platform {

// cp932 text as the console shows it: UTF-8 on POSIX; on Windows the
// console's output code page, or cp932 unchanged when stdout is no console.
std::string ToConsoleText(const std::string& cp932);

// A command-line argument as main() received it, converted to cp932.
// False when it has characters that cp932 cannot hold.
bool ArgumentToCp932(const char* argument, std::string* out);

// A command-line argument as main() received it, converted to UTF-8 (a
// text to store, not a name). False when it is not valid in its encoding.
bool ArgumentToUtf8(const char* argument, std::string* out);

}  // namespace platform

#endif  // PLATFORM_CONSOLE_H_
