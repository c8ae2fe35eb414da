#include "patchlib/entry_name.h"

#include <cstring>

#include "engine/path_resolve.h"
#include "patchlib/windows_name.h"
#include "platform/text.h"

namespace patchlib {

std::vector<std::string> SplitComponents(const std::string& path) {
  std::vector<std::string> parts(1);
  for (std::string::size_type i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (platform::IsLeadByte(c) && i + 1 < path.size()) {
      parts.back() += path.substr(i, 2);
      ++i;
    } else if (c == '/' || c == '\\') {
      parts.emplace_back();
    } else {
      parts.back() += path[i];
    }
  }
  return parts;
}

bool ValidComponent(const std::string& component, std::string* why) {
  if (component.empty()) {
    *why = "empty path component";
    return false;
  }
  if (component.find_first_not_of('.') == std::string::npos) {
    *why = "path component made of dots only";
    return false;
  }
  for (std::string::size_type i = 0; i < component.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(component[i]);
    if (platform::IsLeadByte(c) && i + 1 < component.size()) {
      ++i;
      continue;
    }
    if (c < 0x20 || std::strchr("<>:\"|?*/\\", c) != nullptr) {
      *why = c == '?' ? "name has '?' or a character cp932 cannot hold"
                      : "name has a character Windows does not allow";
      return false;
    }
  }
  const std::string problem = WindowsNameProblem(component);
  if (!problem.empty()) {
    *why = problem;
    return false;
  }
  return true;
}

bool SafeRelativePath(const std::string& path, std::string* why) {
  if (path.empty()) {
    *why = "empty name";
    return false;
  }
  for (const std::string& part : SplitComponents(path))
    if (!ValidComponent(part, why)) return false;
  return true;
}

bool GamePath(const std::string& name, std::string* relative) {
  // A drive prefix lands inside only when it happens to be the game's own
  // drive: refused, whatever the player's drive is.
  if (name.size() >= 2 && name[1] == ':') return false;
  static const char kDir[] = "C:/kestrel/game";
  // The whole resolution: a cut one could hide a ".." at its end.
  const std::string resolved = updater::ResolvedPath(kDir, name.c_str());
  const char* out = resolved.c_str();
  const std::size_t n = sizeof kDir - 1;
  if (std::strncmp(out, kDir, n) != 0 || out[n] != '/' || out[n + 1] == 0)
    return false;
  // The file system goes on to interpret what resolution kept literally
  // ("a/../../x"): walk the rest as it would.
  std::vector<std::string> parts;
  for (const std::string& part : SplitComponents(out + n + 1)) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (parts.empty()) return false;
      parts.pop_back();
    } else if (part.find_first_not_of('.') == std::string::npos) {
      return false;  // "...": meaning differs between systems
    } else {
      parts.push_back(part);
    }
  }
  if (parts.empty()) return false;
  relative->clear();
  for (const std::string& part : parts) *relative += (relative->empty() ? "" : "/") + part;
  return true;
}

bool ResolvesInsideGame(const std::string& name) {
  std::string relative;
  return GamePath(name, &relative);
}

}  // namespace patchlib
