#include "tool_run.h"

#include <stdlib.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace tool_run {

Scratch::Scratch(const std::string& tag) {
  std::string pattern = "/tmp/kt-" + tag + "-XXXXXX";
  path = ::mkdtemp(&pattern[0]);
}

Scratch::~Scratch() { std::filesystem::remove_all(path); }

std::string Scratch::operator/(const std::string& rel) const {
  return (path / std::filesystem::u8path(rel)).string();
}

void Write(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}
namespace {

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::map<std::string, bool> Walk(const fs::path& root) {
  std::map<std::string, bool> items;  // relative path -> is directory
  for (const auto& e : fs::recursive_directory_iterator(root))
    items[fs::relative(e.path(), root).generic_string()] = e.is_directory();
  return items;
}

}  // namespace

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

Result Run(const std::string& exe, const std::string& args,
           const std::string& cwd) {
  char pattern[] = "/tmp/kt-run-XXXXXX";
  const std::string capture = ::mkdtemp(pattern);
  const std::string command = "cd " + Quote(cwd) + " && " + Quote(exe) + " " +
                              args + " >" + capture + "/out 2>" + capture +
                              "/err </dev/null";
  const int raw = std::system(command.c_str());
  Result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = Slurp(capture + "/out");
  r.err = Slurp(capture + "/err");
  fs::remove_all(capture);
  return r;
}

std::vector<std::string> TreeDifferences(const std::string& actual,
                                         const std::string& expected) {
  std::vector<std::string> out;
  auto a = Walk(actual), e = Walk(expected);
  for (const auto& [path, is_dir] : e) {
    auto it = a.find(path);
    if (it == a.end()) {
      out.push_back("missing: " + path);
    } else if (it->second != is_dir) {
      out.push_back("kind differs: " + path);
    } else if (!is_dir && Slurp(fs::path(actual) / path) !=
                              Slurp(fs::path(expected) / path)) {
      out.push_back("content differs: " + path);
    }
  }
  for (const auto& [path, is_dir] : a)
    if (!e.count(path)) out.push_back("extra: " + path);
  return out;
}

std::vector<std::string> NamesStartingWith(const std::string& dir,
                                           const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(prefix, 0) == 0) names.push_back(name);
  }
  return names;
}

}  // namespace tool_run
