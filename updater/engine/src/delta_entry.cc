#include "engine/delta_entry.h"

namespace updater {

DeltaEntry::DeltaEntry(const DeltaHead& head, const zorl::KFile& reference,
                       const zorl::KFile& frames)
    : head_(head) {
  reference_.OpenView(reference, 0, -1);
  frames_.OpenView(frames, -1, static_cast<std::int32_t>(head.delta_size));
}

bool DeltaEntry::Build(const std::function<void(const unsigned char*, std::uint32_t)>& put) {
  result_ = DeltaResult::kUnreadable;
  if (!opened() || !frames_.Seek(zorl::KSEEK_BEGIN, 0)) return false;
  // The views' own throw switches stay off: a failed read is a result.
  result_ = RebuildFromDelta(head_, reference_, frames_, put);
  return result_ == DeltaResult::kRebuilt;
}

}  // namespace updater
