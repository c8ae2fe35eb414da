// A one-line progress bar for terminals: "[#####.....]  50%", redrawn in
// place with a carriage return, only when what it shows changes.
#ifndef TOOLS_COMMON_PROGRESS_BAR_H_
#define TOOLS_COMMON_PROGRESS_BAR_H_

#include <cstdio>

namespace tools {

class ProgressBar {
 public:
  // `enabled` false makes every call do nothing (output is not a terminal).
  ProgressBar(std::FILE* out, bool enabled, int width = 40);
  // Shows `position` of `range`.
  void Set(int position, int range);
  // Erases the bar so that a line of text can be printed; the next Set
  // draws it again.
  void Clear();

 private:
  std::FILE* out_;
  bool enabled_;
  int width_;
  bool shown_ = false;
  int last_permille_ = -1;
};

}  // namespace tools

#endif  // TOOLS_COMMON_PROGRESS_BAR_H_
