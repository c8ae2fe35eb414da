#include "console_text.h"

#include "platform/console.h"
#include "platform/filesystem.h"
#include "platform/process.h"

namespace tools {

bool ArgumentToCp932(const char* argument, std::string* out) {
  return platform::ArgumentToCp932(argument, out);
}

std::string ToConsole(const std::string& cp932) {
  return platform::ToConsoleText(cp932);
}

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
