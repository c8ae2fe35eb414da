#include "engine/progress.h"

#include <cmath>

#include "platform/clock.h"

namespace updater {

int ProgressPosition(std::int64_t done, std::int64_t total) {
  if (total <= 0) return kProgressRange;
  // The bar's position is a float rounded to nearest-even: 0.5 gives 0.
  const float position = static_cast<float>(
      static_cast<double>(done) / static_cast<double>(total) * 30000.0);
  return static_cast<int>(std::nearbyint(position));
}

ProgressPacer::ProgressPacer(UpdateUi& ui, std::uint64_t budget_ms)
    : ui_(ui), budget_ms_(budget_ms), last_ms_(platform::MonotonicMillis()) {}

bool ProgressPacer::Due() {
  const std::uint64_t now = platform::MonotonicMillis();
  if (now - last_ms_ < budget_ms_) return false;
  last_ms_ = now;
  return true;
}

void ProgressPacer::Report(std::int64_t done, std::int64_t total) {
  if (done < total && !Due()) return;
  ui_.SetProgress(ProgressPosition(done, total));
  ui_.Pump();
}

void ProgressPacer::Tick() {
  if (Due()) ui_.Pump();
}

}  // namespace updater
