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

namespace {

std::uint32_t Le32At(const std::string& b, std::size_t at) {
  return std::uint32_t{static_cast<unsigned char>(b[at])} |
         std::uint32_t{static_cast<unsigned char>(b[at + 1])} << 8 |
         std::uint32_t{static_cast<unsigned char>(b[at + 2])} << 16 |
         std::uint32_t{static_cast<unsigned char>(b[at + 3])} << 24;
}

std::string Lowered(const std::string& name) {
  std::string out = name;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      ++i;  // the trail byte stays
    } else if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c + 32);
    }
  }
  return out;
}

// (name, content) in directory order; empty when not an archive.
std::vector<std::pair<std::string, std::string>> ArchiveEntries(const std::string& path) {
  const std::string b = Slurp(path);
  std::vector<std::pair<std::string, std::string>> entries;
  if (b.size() < 8 || b.compare(0, 4, "KMF ") != 0) return entries;
  const std::uint32_t count = Le32At(b, 4);
  std::size_t at = 8;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (at + 4 > b.size()) return {};
    const std::uint32_t n = Le32At(b, at);
    if (at + 12 + n > b.size()) return {};
    const std::string name = b.substr(at + 4, n);
    const std::uint32_t offset = Le32At(b, at + 4 + n), size = Le32At(b, at + 8 + n);
    if (std::uint64_t{offset} + size > b.size()) return {};
    entries.emplace_back(Lowered(name), b.substr(offset, size));
    at += 12 + n;
  }
  return entries;
}

}  // namespace

std::map<std::string, std::string> ArchiveByName(const std::string& path) {
  std::map<std::string, std::string> by_name;
  for (const auto& entry : ArchiveEntries(path)) by_name.insert(entry);
  return by_name;
}

std::vector<std::string> ArchiveOrder(const std::string& path) {
  std::vector<std::string> order;
  for (const auto& entry : ArchiveEntries(path)) order.push_back(entry.first);
  return order;
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
