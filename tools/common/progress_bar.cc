#include "progress_bar.h"

#include <string>

namespace tools {

ProgressBar::ProgressBar(std::FILE* out, bool enabled, int width)
    : out_(out), enabled_(enabled), width_(width) {}

void ProgressBar::Set(int position, int range) {
  if (!enabled_ || range <= 0) return;
  if (position < 0) position = 0;
  if (position > range) position = range;
  const int permille =
      static_cast<int>(static_cast<long long>(position) * 1000 / range);
  if (shown_ && permille == last_permille_) return;
  const int filled = permille * width_ / 1000;
  std::string bar = "\r[" + std::string(filled, '#') +
                    std::string(width_ - filled, '.') + "] ";
  std::fprintf(out_, "%s%3d.%d%%", bar.c_str(), permille / 10, permille % 10);
  std::fflush(out_);
  shown_ = true;
  last_permille_ = permille;
}

void ProgressBar::Clear() {
  if (!enabled_ || !shown_) return;
  std::fprintf(out_, "\r%*s\r", width_ + 10, "");
  std::fflush(out_);
  shown_ = false;
}

}  // namespace tools
