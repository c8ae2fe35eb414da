// Text at the console boundary. The system's texts and paths are cp932;
// the platform seam converts for the terminal and the command line.
#ifndef TOOLS_COMMON_CONSOLE_TEXT_H_
#define TOOLS_COMMON_CONSOLE_TEXT_H_

#include <string>

namespace tools {

// A command-line argument as cp932. False when it has characters that
// cp932 cannot hold.
bool ArgumentToCp932(const char* argument, std::string* out);

// cp932 text as the console shows it.
std::string ToConsole(const std::string& cp932);

// An absolute form of `dir` (cp932): "" and "." become the working
// directory, other relative paths are put below it. False when the
// working directory is unknown.
bool AbsoluteDirectory(const std::string& dir, std::string* out);

}  // namespace tools

#endif  // TOOLS_COMMON_CONSOLE_TEXT_H_
