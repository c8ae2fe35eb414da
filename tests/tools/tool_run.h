// Running a built tool as a process, and comparing directory trees, for
// the producer tools' tests.
#ifndef TESTS_TOOLS_TOOL_RUN_H_
#define TESTS_TOOLS_TOOL_RUN_H_

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tool_run {

// A fresh directory "/tmp/kt-<tag>-XXXXXX", removed with everything in it.
struct Scratch {
  explicit Scratch(const std::string& tag);
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  // The path of `rel` (UTF-8) below the directory.
  std::string operator/(const std::string& rel) const;
  std::filesystem::path path;
};

// Writes `bytes` to `path`, making its parent directories.
void Write(const std::string& path, const std::string& bytes);

struct Result {
  int status = -1;
  std::string out, err;
};

// Runs `exe ARGS` through the shell in `cwd`, output captured.
Result Run(const std::string& exe, const std::string& args,
           const std::string& cwd = ".");

// Single-quotes `s` for the shell.
std::string Quote(const std::string& s);

// Differences between two trees (files by bytes, directories by name), as
// readable lines; empty when they are identical.
std::vector<std::string> TreeDifferences(const std::string& actual,
                                         const std::string& expected);

// The entries of the archive file at `path` as the game finds them: name
// (ASCII letters lowered, cp932 two-byte characters left whole) ->
// content. Read here from the bytes, independently of the engine. Empty
// when the file is not an archive.
std::map<std::string, std::string> ArchiveByName(const std::string& path);

// The entries' names in directory order (lowered the same way).
std::vector<std::string> ArchiveOrder(const std::string& path);

// Names directly in `dir` whose name starts with `prefix`.
std::vector<std::string> NamesStartingWith(const std::string& dir,
                                           const std::string& prefix);

}  // namespace tool_run

#endif  // TESTS_TOOLS_TOOL_RUN_H_
