// Progress arithmetic and the time budget for progress and pumping.
#ifndef ENGINE_PROGRESS_H_
#define ENGINE_PROGRESS_H_

#include <cstdint>

#include "engine/update_ui.h"

namespace updater {

// done / total * 30000, computed in double, stored as a float and rounded
// to the nearest integer, halves to even: (1, 3) -> 10000, (1, 60000) -> 0,
// (n, n) -> 30000. A total of 0 or less (nothing to do) gives 30000.
int ProgressPosition(std::int64_t done, std::int64_t total);

// How long long-running work may go without showing progress or pumping.
constexpr std::uint64_t kPumpBudgetMillis = 15;

// Shows progress and pumps on a time budget, so large buffers keep the
// window responsive without paying for a redraw per chunk.
class ProgressPacer {
 public:
  explicit ProgressPacer(UpdateUi& ui,
                         std::uint64_t budget_ms = kPumpBudgetMillis);

  // Sets the progress position for (done, total) and pumps, when the
  // budget has run out or the work is complete (done >= total): the last
  // position of each piece of work is always shown. May throw the
  // failure signal (from Pump).
  void Report(std::int64_t done, std::int64_t total);
  // Pumps when the budget has run out. May throw the failure signal.
  void Tick();

 private:
  bool Due();

  UpdateUi& ui_;
  std::uint64_t budget_ms_;
  std::uint64_t last_ms_;
};

}  // namespace updater

#endif  // ENGINE_PROGRESS_H_
