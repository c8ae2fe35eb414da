// Outside Windows the plug-in host is empty: start-up finds nothing, even
// with a "*.spi" beside the program, and decoding through it fails.
#include "image/ksusie.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/kexcept.h"
#include "foundation/kfile.h"
#include "image/kimagefile.h"
#include "support/temp_dir.h"

namespace zorl {
namespace {

TEST(SusieHostTest, EmptyOutsideWindows) {
  testing_support::WriteFileBytes("decoy.spi", "not a plug-in");
  KSusieInit();
  EXPECT_EQ(KSusiePluginCount(), 0u);
  testing_support::TempDir dir("susie");
  ASSERT_TRUE(testing_support::WriteFileBytes(dir / "x.bin", "KT0!"));
  KFile file;
  ASSERT_TRUE(file.Open(KFILE_READ, (dir / "x.bin").c_str()));
  KImage image;
  EXPECT_FALSE(KSusieDecode(image, file));
  EXPECT_TRUE(image.IsEmpty());
  KImageFileType type;
  EXPECT_FALSE(KimgLoad(file, image, &type));
  EXPECT_EQ(type, KImageFileType::kNone);
  // A stream that cannot be rewound still throws, as on Windows.
  KFile closed;
  EXPECT_THROW(KSusieDecode(image, closed), KExceptFile);
  KSusieFree();
}

}  // namespace
}  // namespace zorl
