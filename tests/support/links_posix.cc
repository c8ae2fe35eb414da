#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "links.h"
#include "platform/text.h"

namespace testing_support {

namespace {
// Link targets are read relative to the link's directory: make them whole.
std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (!::getcwd(cwd, sizeof cwd)) return path;
  return std::string(cwd) + "/" + path;
}
}  // namespace

bool MakeFileLink(const std::string& target, const std::string& link) {
  return ::symlink(platform::Cp932ToUtf8(Absolute(target)).c_str(),
                   platform::Cp932ToUtf8(link).c_str()) == 0;
}

bool MakeDirectoryLink(const std::string& target, const std::string& link) {
  return MakeFileLink(target, link);
}

bool MakeHardLink(const std::string& existing, const std::string& link) {
  return ::link(platform::Cp932ToUtf8(existing).c_str(),
                platform::Cp932ToUtf8(link).c_str()) == 0;
}

bool MakeFifo(const std::string& path) {
  return ::mkfifo(platform::Cp932ToUtf8(path).c_str(), 0600) == 0;
}

std::string ShortPath(const std::string&) { return ""; }

}  // namespace testing_support
