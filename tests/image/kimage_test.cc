#include "image/kimage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace zorl {
namespace {

// Fills every byte of every row (padding included) with row * 16 + column,
// so a row copied to the wrong place shows.
void FillRows(KImage& image) {
  unsigned char* row = image.BeginAccess();
  for (std::uint32_t y = 0; y < image.Height(); ++y, row = image.NextRow(row))
    for (std::uint32_t i = 0; i < image.Stride(); ++i)
      row[i] = static_cast<unsigned char>(y * 16 + i);
  image.EndAccess();
}

TEST(KImageTest, CreateGeometry) {
  KImage image;
  EXPECT_TRUE(image.IsEmpty());
  ASSERT_TRUE(image.Create(3, 2, 0, KIMG_RGB));
  EXPECT_EQ(image.Stride(), 12u);  // 9 rounded up to 12
  EXPECT_EQ(image.BitsPerPixel(), 24u);
  EXPECT_EQ(image.BytesPerPixel(), 3u);
  EXPECT_EQ(image.Width(), 3u);
  EXPECT_EQ(image.Height(), 2u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(image.Bits()) % 16, 0u);

  struct Case {
    std::uint32_t format, bits, stride_for_width_5;
  } cases[] = {{0, 32, 20}, {1, 24, 16}, {2, 32, 20}, {3, 24, 16},
               {4, 16, 12}, {5, 16, 12}, {6, 16, 12}, {7, 24, 16}};
  for (const Case& c : cases) {
    KImage im;
    ASSERT_TRUE(im.Create(5, 1, c.format)) << c.format;
    EXPECT_EQ(im.BitsPerPixel(), c.bits) << c.format;
    EXPECT_EQ(im.BytesPerPixel(), c.bits / 8) << c.format;
    EXPECT_EQ(im.Stride(), c.stride_for_width_5) << c.format;
    EXPECT_EQ(im.Format(), c.format);
  }
}

TEST(KImageTest, CreateRefusals) {
  KImage image;
  EXPECT_FALSE(image.Create(0, 5, 0, KIMG_RGB));
  EXPECT_FALSE(image.Create(5, 0, 0, KIMG_RGB));
  EXPECT_FALSE(image.Create(5, 5, 0, 8));           // unknown format
  EXPECT_FALSE(image.Create(5, 5, 14, KIMG_RGB));   // below 15 bytes
  EXPECT_TRUE(image.IsEmpty());
  // An explicit stride equal to the row size needs no rounding.
  ASSERT_TRUE(image.Create(5, 5, 15, KIMG_RGB));
  EXPECT_EQ(image.Stride(), 15u);
  // Sizes whose bytes do not fit in 32 bits are refused, not wrapped.
  KImage huge;
  EXPECT_FALSE(huge.Create(0x40000000, 2, 0, KIMG_RGBA));
  EXPECT_FALSE(huge.Create(65536, 65536, 0, KIMG_RGBA));
  EXPECT_TRUE(huge.IsEmpty());
}

TEST(KImageTest, RecreateKeepsPixelsOnlyForTheSameGeometry) {
  KImage image;
  ASSERT_TRUE(image.Create(4, 3, 0, KIMG_RGBA));  // stride 16
  unsigned char* bits = image.Bits();
  std::memset(bits, 0x5A, 16 * 3);
  // Same height and stride: another width and format on the same memory.
  ASSERT_TRUE(image.Create(5, 3, 16, KIMG_RGB));
  EXPECT_EQ(image.Bits(), bits);
  EXPECT_EQ(image.Width(), 5u);
  EXPECT_EQ(image.Format(), KIMG_RGB);
  EXPECT_EQ(image.BytesPerPixel(), 3u);
  EXPECT_EQ(bits[47], 0x5A);
  // Another height fails while pixels are held, and changes nothing.
  EXPECT_FALSE(image.Create(5, 4, 16, KIMG_RGB));
  EXPECT_FALSE(image.Create(5, 3, 0, KIMG_ARGB1555));  // stride 12 now
  EXPECT_EQ(image.Height(), 3u);
  EXPECT_EQ(image.BytesPerPixel(), 3u);
  EXPECT_EQ(image.Format(), KIMG_RGB);
  // After Release it works.
  EXPECT_TRUE(image.Release());
  EXPECT_TRUE(image.IsEmpty());
  EXPECT_EQ(image.Width(), 0u);
  EXPECT_EQ(image.Stride(), 0u);
  EXPECT_EQ(image.BytesPerPixel(), 0u);
  EXPECT_FALSE(image.Release());  // nothing left to release
  EXPECT_TRUE(image.Create(5, 4, 16, KIMG_RGB));
}

TEST(KImageTest, TopDownAddressing) {
  KImage image;
  ASSERT_TRUE(image.Create(4, 3, 0, KIMG_RGB));  // stride 12
  unsigned char* bits = image.Bits();
  EXPECT_EQ(image.TopRow(), bits);
  EXPECT_EQ(image.BeginAccess(), bits);
  EXPECT_EQ(image.RawMemory(), bits);
  EXPECT_EQ(image.PixelAddress(2, 1), bits + 12 + 6);
  EXPECT_EQ(image.NextRow(bits), bits + 12);
  EXPECT_EQ(image.RowsDown(bits, 2), bits + 24);
  EXPECT_EQ(image.Offset(bits + 3, 1, 2), bits + 3 + 3 + 24);
  EXPECT_EQ(image.Offset(bits + 30, -1, -2), bits + 30 - 3 - 24);
}

TEST(KImageTest, BottomUpAddressing) {
  KImageBottomUp image;
  ASSERT_TRUE(image.Create(4, 3, 0, KIMG_BGRA));  // stride 16
  unsigned char* bits = image.Bits();
  EXPECT_EQ(image.TopRow(), bits + 2 * 16);
  EXPECT_EQ(image.BeginAccess(), bits + 2 * 16);
  EXPECT_EQ(image.RawMemory(), bits);
  EXPECT_EQ(image.PixelAddress(0, 0), bits + 32);
  EXPECT_EQ(image.PixelAddress(3, 2), bits + 12);
  EXPECT_EQ(image.NextRow(bits + 32), bits + 16);
  EXPECT_EQ(image.RowsDown(bits + 32, 2), bits);
  EXPECT_EQ(image.Offset(bits + 32, 1, 1), bits + 16 + 4);
  // Through the base class the bottom-up rules still hold.
  const KImage& base = image;
  EXPECT_EQ(base.TopRow(), bits + 32);
  EXPECT_EQ(base.PixelAddress(0, 1), bits + 16);
}

// The copying constructor, for each pair of storage orders: the copy holds
// the same picture rows in the same geometry, with its own memory.
TEST(KImageTest, CopiesKeepThePictureInEveryStorageOrder) {
  KImage top;
  ASSERT_TRUE(top.Create(3, 4, 0, KIMG_RGB));
  FillRows(top);
  KImageBottomUp bottom;
  ASSERT_TRUE(bottom.Create(3, 4, 0, KIMG_RGB));
  FillRows(bottom);

  auto same_picture = [](const KImage& a, const KImage& b) {
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.Height(), b.Height());
    ASSERT_EQ(a.Stride(), b.Stride());
    ASSERT_EQ(a.Format(), b.Format());
    ASSERT_NE(a.Bits(), b.Bits());
    for (std::uint32_t y = 0; y < a.Height(); ++y)
      ASSERT_EQ(std::memcmp(a.PixelAddress(0, y), b.PixelAddress(0, y),
                            a.Stride()),
                0)
          << "row " << y;
  };
  same_picture(KImage(top), top);
  same_picture(KImage(bottom), bottom);  // bottom-up source: row by row
  same_picture(KImageBottomUp(top), top);
  same_picture(KImageBottomUp(bottom), bottom);
  // The bottom-up copy of a top-down source stores its top row last.
  KImageBottomUp flipped(top);
  EXPECT_EQ(flipped.Bits()[0], 3 * 16);

  KImage assigned;
  ASSERT_TRUE(assigned.Create(1, 1, KIMG_RGBA));
  assigned = bottom;
  same_picture(assigned, bottom);

  // Copying an empty image gives an empty image.
  KImage empty;
  KImage copy(empty);
  EXPECT_TRUE(copy.IsEmpty());
}

}  // namespace
}  // namespace zorl
