// Terminal helpers for the tools: cp932 names shown as UTF-8, paths from
// the command line, one-line errors, and a progress bar on a terminal only.
#ifndef PATCHLIB_CONSOLE_H_
#define PATCHLIB_CONSOLE_H_

#include <cstdint>
#include <string>

namespace patchlib {

// A cp932 name or path as the console shows it (UTF-8 on Linux; unchanged
// on Windows, whose console speaks the system code page), with control
// characters and bytes that are no cp932 character escaped as "\xNN" (see
// tools::ShowName).
std::string Show(const std::string& cp932);

// A command-line argument as a cp932 path (from UTF-8 on Linux; unchanged
// on Windows). False when it has a character that cp932 cannot hold.
bool ArgToCp932(const std::string& arg, std::string* out);

// Prints "<tool>: <message>" and a newline on stderr (message in UTF-8).
void PrintError(const std::string& tool, const std::string& message);

// Why `path` (cp932) is no regular file to read, in words for an error
// line, or "" when it is one: "no such file", "a directory, not a file",
// "not a file (a FIFO, socket or device)".
std::string NotAFile(const std::string& path);

// "1.5 MiB"-style sizes for summaries.
std::string HumanBytes(std::uint64_t bytes);

// A one-line progress bar on stderr, drawn only when stdout is a terminal,
// at most every 100 ms. Update is where long loops notice Ctrl-C: it
// throws tools::StopRequested once one has arrived.
class ProgressBar {
 public:
  explicit ProgressBar(const std::string& label);
  ~ProgressBar();
  void Update(std::uint64_t done, std::uint64_t total);
  // Clears the line (when anything was drawn).
  void Finish();

 private:
  std::string label_;
  bool enabled_;
  bool drawn_ = false;
  std::uint64_t last_ms_ = 0;
};

}  // namespace patchlib

#endif  // PATCHLIB_CONSOLE_H_
