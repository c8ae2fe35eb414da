#include "patchlib/console.h"

#include <cstdio>

#include "platform/clock.h"
#include "platform/filesystem.h"
#include "platform/process.h"
#include "console_text.h"
#include "display_name.h"
#include "interrupt.h"

namespace patchlib {

// Both tools speak to the console the way `kestrel-patch apply` does, with
// control characters and non-characters in names escaped.
std::string Show(const std::string& cp932) { return tools::ShowName(cp932); }

bool ArgToCp932(const std::string& arg, std::string* out) {
  return tools::ArgumentToCp932(arg.c_str(), out);
}

void PrintError(const std::string& tool, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", tool.c_str(), message.c_str());
  std::fflush(stderr);
}

std::string NotAFile(const std::string& path) {
  switch (platform::GetPathKind(path.c_str())) {
    case platform::PathKind::kNone: return "no such file";
    case platform::PathKind::kDirectory: return "a directory, not a file";
    case platform::PathKind::kOther: return "not a file (a FIFO, socket or device)";
    case platform::PathKind::kFile: break;
  }
  return "";
}

std::string HumanBytes(std::uint64_t bytes) {
  static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB"};
  double value = static_cast<double>(bytes);
  int unit = 0;
  while (value >= 1024.0 && unit < 3) {
    value /= 1024.0;
    ++unit;
  }
  char text[32];
  if (unit == 0)
    std::snprintf(text, sizeof text, "%llu B",
                  static_cast<unsigned long long>(bytes));
  else
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

ProgressBar::ProgressBar(const std::string& label)
    : label_(label), enabled_(platform::IsTerminal()) {}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Update(std::uint64_t done, std::uint64_t total) {
  tools::ThrowIfStopRequested();  // every long loop reports progress here
  if (!enabled_) return;
  const std::uint64_t now = platform::MonotonicMillis();
  if (drawn_ && now - last_ms_ < 100 && done < total) return;
  last_ms_ = now;
  constexpr int kWidth = 40;
  const double part = total ? static_cast<double>(done) / total : 1.0;
  const int filled = static_cast<int>(part * kWidth);
  std::string bar(filled, '#');
  bar.append(kWidth - filled, ' ');
  std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar.c_str(),
               static_cast<int>(part * 100));
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressBar::Finish() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r%*s\r", static_cast<int>(label_.size()) + 50, "");
  std::fflush(stderr);
  drawn_ = false;
}

}  // namespace patchlib
