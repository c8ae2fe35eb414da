#include "console_text.h"

#include "platform/filesystem.h"
#include "platform/process.h"
#include "platform/text.h"

namespace tools {

#ifdef _WIN32
// The C runtime hands over arguments in the system code page, and the
// console shows it: cp932 passes through unchanged.
bool ArgumentToCp932(const char* argument, std::string* out) {
  *out = argument;
  return true;
}
std::string ToConsole(const std::string& cp932) { return cp932; }
#else
bool ArgumentToCp932(const char* argument, std::string* out) {
  bool ok = true;
  *out = platform::Utf8ToCp932(argument, &ok);
  return ok;
}
std::string ToConsole(const std::string& cp932) {
  return platform::Cp932ToUtf8(cp932);
}
#endif

namespace {
bool IsAbsolute(const std::string& path) {
  if (!path.empty() && (path[0] == '/' || path[0] == '\\')) return true;
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') ||
          (path[0] >= 'a' && path[0] <= 'z'));
}
}  // namespace

bool AbsoluteDirectory(const std::string& dir, std::string* out) {
  if (IsAbsolute(dir)) {
    *out = dir;
    return true;
  }
  char cwd[platform::kMaxPath];
  if (!platform::GetWorkingDirectory(cwd, sizeof cwd)) return false;
  std::string rest = dir;
  while (rest.rfind("./", 0) == 0 || rest.rfind(".\\", 0) == 0)
    rest.erase(0, 2);
  if (rest.empty() || rest == ".") {
    *out = cwd;
  } else {
    *out = std::string(cwd) + "/" + rest;
  }
  return true;
}

}  // namespace tools
