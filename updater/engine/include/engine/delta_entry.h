// DeltaEntry: an archive entry rebuilt from a delta while the archive is
// saved, against the content the entry had in the old archive.
#ifndef ENGINE_DELTA_ENTRY_H_
#define ENGINE_DELTA_ENTRY_H_

#include "engine/delta_frames.h"
#include "engine/resource_archive.h"
#include "foundation/kfile.h"

namespace updater {

class DeltaEntry : public EntryBuilder {
 public:
  // Keeps views of `reference` (the old entry's content) and of `frames`
  // (the delta's frames, head.delta_size bytes from its position), so both
  // files stay open until the entry goes. Check opened() after.
  DeltaEntry(const DeltaHead& head, const zorl::KFile& reference, const zorl::KFile& frames);
  bool opened() const { return reference_.IsOpen() && frames_.IsOpen(); }

  std::uint32_t Size() const override { return head_.new_size; }
  // False on anything but a complete rebuild (RebuildFromDelta's result is
  // in result()).
  bool Build(const std::function<void(const unsigned char*, std::uint32_t)>& put) override;
  DeltaResult result() const { return result_; }

 private:
  DeltaHead head_;
  zorl::KFile reference_;
  zorl::KFile frames_;
  DeltaResult result_ = DeltaResult::kUnreadable;
};

}  // namespace updater

#endif  // ENGINE_DELTA_ENTRY_H_
