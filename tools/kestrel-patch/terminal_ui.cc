#include "terminal_ui.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

#include "console_text.h"
#include "display_name.h"
#include "engine/delta_frames.h"
#include "engine/patch_format.h"
#include "engine/resource_archive.h"
#include "interrupt.h"
#include "patchlib/console.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace kpatch {
namespace {

constexpr int kBarWidth = 20;
constexpr std::uint64_t kRedrawMillis = 50;

// The last `columns` columns of a cp932 name (a byte is a column: two-byte
// characters are full width), never half a character; "..." in front
// when cut.
std::string Tail(const std::string& cp932, std::size_t columns) {
  if (cp932.size() <= columns) return cp932;
  if (columns <= 3) return std::string(columns, '.');
  // Character starts from the front, so a trail byte is never taken for one.
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < cp932.size();) {
    starts.push_back(i);
    i += platform::IsLeadByte(static_cast<unsigned char>(cp932[i])) && i + 1 < cp932.size()
             ? 2 : 1;
  }
  const std::size_t want = cp932.size() - (columns - 3);
  for (std::size_t start : starts)
    if (start >= want) return "..." + cp932.substr(start);
  return "...";
}

}  // namespace

TerminalUi::TerminalUi(bool live, bool verbose, int columns)
    : live_(live), verbose_(verbose), columns_(columns < 40 ? 40 : columns),
      started_ms_(platform::MonotonicMillis()) {}

TerminalUi::~TerminalUi() { Clear(); }

void TerminalUi::Planned(const updater::PlannedCommand& c) {
  const std::uint64_t size = c.size > 0 ? static_cast<std::uint64_t>(c.size) : 0;
  std::uint64_t bytes = 8 + std::strlen(c.name);
  if (c.opcode == 0 || c.opcode == 4) bytes += 4 + size;
  if (c.opcode == updater::kOpPatchFile || c.opcode == updater::kOpPatchEntry)
    bytes += updater::kDeltaHeadSize + c.delta;
  starts_.push_back(total_);
  kinds_.push_back(c.opcode < updater::kOpcodeCount ? c.opcode : 0);
  sizes_.push_back(size);
  total_ += bytes;
}

std::uint64_t TerminalUi::Processed() const {
  if (rebuilding_ || current_ > starts_.size()) return total_;
  if (current_ == 0) return 0;
  const std::uint64_t start = starts_[current_ - 1];
  const std::uint64_t end = current_ < starts_.size() ? starts_[current_] : total_;
  // Within a file being written, its progress tells how far the copy is.
  return start + (end - start) * static_cast<std::uint64_t>(position_) /
                     updater::kProgressRange;
}

void TerminalUi::Draw(bool force) {
  if (!live_) return;
  const std::uint64_t now = platform::MonotonicMillis();
  if (!force && drawn_ && now - drawn_ms_ < kRedrawMillis) return;
  drawn_ms_ = now;
  int permille;
  std::string what;
  char count[48];
  if (rebuilding_) {
    // The payload is done; the rebuild shows its own share after the name.
    permille = 1000;
    std::snprintf(count, sizeof count, "%zu/%zu", starts_.size(), starts_.size());
    char share[32];
    std::snprintf(share, sizeof share, " %d%%", position_ * 100 / updater::kProgressRange);
    what = std::string("rebuilding ") + updater::kArchiveFileName + share;
  } else {
    const std::uint64_t done = Processed();
    permille = total_ ? static_cast<int>(done * 1000 / total_) : 0;
    std::snprintf(count, sizeof count, "%zu/%zu", current_, starts_.size());
    what = tools::EscapeName(name_);
  }
  if (permille > 1000) permille = 1000;
  const int filled = permille * kBarWidth / 1000;
  char head[96];
  std::snprintf(head, sizeof head, "[%s%s] %3d.%d%%  %s  ",
                std::string(filled, '#').c_str(),
                std::string(kBarWidth - filled, '.').c_str(), permille / 10,
                permille % 10, count);
  const std::size_t room =
      static_cast<std::size_t>(columns_ - 1) > std::strlen(head)
          ? static_cast<std::size_t>(columns_ - 1) - std::strlen(head)
          : 0;
  const std::string tail = Tail(what, room);
  const std::size_t width = std::strlen(head) + tail.size();
  // Spaces over what is left of a longer line drawn before.
  const std::string pad(drawn_width_ > width ? drawn_width_ - width : 0, ' ');
  std::printf("\r%s%s%s", head, tools::ToConsole(tail).c_str(), pad.c_str());
  std::fflush(stdout);
  drawn_ = true;
  drawn_width_ = width;
}

void TerminalUi::Clear() {
  if (!drawn_) return;
  std::printf("\r%s\r", std::string(drawn_width_, ' ').c_str());
  std::fflush(stdout);
  drawn_ = false;
  drawn_width_ = 0;
}

void TerminalUi::ShowName(const char* name) {
  if (!name[0]) return;  // the rebuild empties the name line
  if (current_ < starts_.size() || starts_.empty()) ++current_;
  name_ = name;
  position_ = 0;
  if (verbose_) {
    Clear();
    std::printf("%s\n", tools::ShowName(name).c_str());
    std::fflush(stdout);
  }
  Draw(false);
}

void TerminalUi::SetStatus(const char* text) {
  // The only status change of a run: the rebuild begins.
  rebuilding_ = true;
  position_ = 0;
  if (verbose_) {
    Clear();
    std::printf("%s\n", tools::ToConsole(text).c_str());
    std::fflush(stdout);
  }
  Draw(true);
}

void TerminalUi::SetProgress(int position) {
  position_ = position;
  Draw(false);
}

void TerminalUi::Pump() {
  if (tools::StopWasRequested()) throw updater::kFailureSignal;
}

void TerminalUi::ShowMessage(const char* text, updater::MessageKind kind) {
  Clear();
  const bool error = kind != updater::MessageKind::kInformation;
  if (error) error_ = text;
  std::FILE* out = error ? stderr : stdout;
  // The message may name a file of the payload: shown escaped like any name.
  std::fprintf(out, "%s\n", tools::ShowName(text).c_str());
  std::fflush(out);
}

bool TerminalUi::Interrupted() const { return tools::StopWasRequested(); }

std::string TerminalUi::Summary(std::uint32_t archive_entries,
                                std::uint64_t archive_bytes) const {
  static const char* const kKinds[] = {"write", "delete", "mkdir",       "clear",
                                       "put",   "remove", "patch file", "patch entry"};
  std::uint64_t counts[updater::kOpcodeCount] = {};
  std::uint64_t file_bytes = 0;
  for (std::size_t i = 0; i < kinds_.size(); ++i) {
    ++counts[kinds_[i]];
    if (kinds_[i] == 0 || kinds_[i] == updater::kOpPatchFile) file_bytes += sizes_[i];
  }
  std::string kinds;
  for (std::uint32_t op = 0; op < updater::kOpcodeCount; ++op)
    if (counts[op])
      kinds += (kinds.empty() ? "" : ", ") + std::to_string(counts[op]) + " " + kKinds[op];
  const double seconds = (platform::MonotonicMillis() - started_ms_) / 1000.0;
  char line[512];
  std::snprintf(line, sizeof line,
                "applied %zu commands (%s) in %.1f s: %s of files written, %s %u "
                "%s, %s",
                kinds_.size(), kinds.c_str(), seconds,
                patchlib::HumanBytes(file_bytes).c_str(), updater::kArchiveFileName,
                archive_entries, archive_entries == 1 ? "entry" : "entries",
                patchlib::HumanBytes(archive_bytes).c_str());
  return line;
}

}  // namespace kpatch
