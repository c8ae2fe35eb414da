// The updater stub the windows tree builds carries nothing after its
// image (it is linked stripped), so kestrel-patch pack takes it as it is.
#include <gtest/gtest.h>

#include "engine/payload.h"
#include "foundation/kfile.h"
#include "patchlib/pe_overlay.h"

namespace {

TEST(UpdaterStub, CarriesNothingAfterItsImage) {
  zorl::KFile exe;
  ASSERT_TRUE(exe.Open(zorl::KFILE_READ, KESTREL_UPDATE_EXE));
  std::uint32_t image_end = 0;
  ASSERT_TRUE(updater::FindImageEnd(exe, &image_end));
  EXPECT_EQ(static_cast<std::int64_t>(image_end), exe.GetSize());
  const patchlib::OverlayParts parts = patchlib::ExamineOverlay(exe, image_end);
  EXPECT_FALSE(parts.symbol_table);
  EXPECT_FALSE(parts.certificate);
}

}  // namespace
