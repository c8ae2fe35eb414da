#include "image/kconvert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/ktables.h"

namespace zorl {
namespace {

using Bytes = std::vector<int>;

// Converts one pixel given as bytes in `from` into `to`; returns its bytes.
Bytes ConvertPixel(std::uint32_t from, const Bytes& pixel, std::uint32_t to) {
  KImage source, dest;
  EXPECT_TRUE(source.Create(1, 1, from));
  EXPECT_TRUE(dest.Create(1, 1, to));
  for (size_t i = 0; i < pixel.size(); ++i)
    source.Bits()[i] = static_cast<unsigned char>(pixel[i]);
  EXPECT_TRUE(KConvertImage(source, dest));
  return Bytes(dest.Bits(), dest.Bits() + dest.BytesPerPixel());
}

// Every expected value below was worked out by hand from the layouts in
// kimage.h and the rules in kconvert.h and ktables.h (16-bit words are
// written low byte first).
TEST(KConvertTest, HandWorkedTable) {
  struct Case {
    std::uint32_t from;
    Bytes pixel;
    std::uint32_t to;
    Bytes expected;
  } cases[] = {
      // Byte orders and alpha filling.
      {KIMG_RGBA, {10, 20, 30, 40}, KIMG_RGB, {10, 20, 30}},
      {KIMG_RGBA, {10, 20, 30, 40}, KIMG_BGRA, {30, 20, 10, 40}},
      {KIMG_RGBA, {10, 20, 30, 40}, KIMG_BGR, {30, 20, 10}},
      {KIMG_BGRA, {30, 20, 10, 40}, KIMG_RGBA, {10, 20, 30, 40}},
      {KIMG_RGB, {10, 20, 30}, KIMG_RGBA, {10, 20, 30, 255}},
      {KIMG_BGR, {30, 20, 10}, KIMG_RGBA, {10, 20, 30, 255}},
      {KIMG_RGB, {10, 20, 30}, KIMG_BGR, {30, 20, 10}},
      // 5-6-5: R in the top five bits.
      {KIMG_RGB, {255, 0, 0}, KIMG_RGB565, {0x00, 0xF8}},
      {KIMG_RGB, {0, 255, 0}, KIMG_RGB565, {0xE0, 0x07}},
      {KIMG_RGB, {0, 0, 255}, KIMG_RGB565, {0x1F, 0x00}},
      // 132 -> 16 of 31, 130 -> 32 of 63, 8 -> 1 of 31: word 0x8401; and
      // back by bit replication: 16 -> 132, 32 -> 130, 1 -> 8.
      {KIMG_RGB, {132, 130, 8}, KIMG_RGB565, {0x01, 0x84}},
      {KIMG_RGB565, {0x01, 0x84}, KIMG_RGB, {132, 130, 8}},
      {KIMG_RGB565, {0x00, 0xF8}, KIMG_BGRA, {0, 0, 255, 255}},
      // 1-5-5-5: alpha bit from 128 up.
      {KIMG_RGBA, {255, 0, 0, 200}, KIMG_ARGB1555, {0x00, 0xFC}},
      {KIMG_RGBA, {0, 0, 255, 127}, KIMG_ARGB1555, {0x1F, 0x00}},
      {KIMG_RGBA, {0, 0, 255, 128}, KIMG_ARGB1555, {0x1F, 0x80}},
      {KIMG_ARGB1555, {0xE0, 0x83}, KIMG_RGBA, {0, 255, 0, 255}},
      {KIMG_ARGB1555, {0xE0, 0x03}, KIMG_RGBA, {0, 255, 0, 0}},
      // 4-4-4-4: 68 -> 4, 136 -> 8 of 15: word 0x4F80; back: 4 x 17, 8 x 17.
      {KIMG_RGBA, {255, 136, 0, 68}, KIMG_ARGB4444, {0x80, 0x4F}},
      {KIMG_ARGB4444, {0x80, 0x4F}, KIMG_RGBA, {255, 136, 0, 68}},
      {KIMG_ARGB4444, {0x80, 0x4F}, KIMG_BGR, {0, 136, 255}},
      {KIMG_RGB, {255, 255, 255}, KIMG_ARGB4444, {0xFF, 0xFF}},
      // Y, Cb, Cr. Red: Y = (38 x 255 + 64) >> 7 = 76,
      // Cb = (-22 x 255 + 64 + 16384) >> 7 = 84, Cr = 32768 >> 7 = 256 -> 255.
      {KIMG_RGB, {255, 0, 0}, KIMG_YCBCR, {76, 84, 255}},
      {KIMG_RGB, {128, 128, 128}, KIMG_YCBCR, {128, 128, 128}},
      {KIMG_RGB, {0, 0, 0}, KIMG_YCBCR, {0, 128, 128}},
      // And back: R = 76 + floor((179 x 127 + 64) / 128) = 254,
      // G = 76 - floor((44 x -44 + 91 x 127 + 64) / 128) = 1,
      // B = 76 + floor((227 x -44 + 64) / 128) = -2 -> 0.
      {KIMG_YCBCR, {76, 84, 255}, KIMG_RGB, {254, 1, 0}},
      {KIMG_YCBCR, {255, 128, 128}, KIMG_RGBA, {255, 255, 255, 255}},
      {KIMG_YCBCR, {255, 128, 128}, KIMG_ARGB1555, {0xFF, 0xFF}},
      {KIMG_RGB565, {0x00, 0xF8}, KIMG_YCBCR, {76, 84, 255}},
      // The same format is a plain copy.
      {KIMG_RGB565, {0x34, 0x12}, KIMG_RGB565, {0x34, 0x12}},
      {KIMG_ARGB4444, {0x34, 0x12}, KIMG_ARGB4444, {0x34, 0x12}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ConvertPixel(c.from, c.pixel, c.to), c.expected)
        << "format " << c.from << " -> " << c.to;
}

TEST(KConvertTest, ClipsToBothImagesInEitherStorageOrder) {
  for (bool source_bottom_up : {false, true}) {
    for (bool dest_bottom_up : {false, true}) {
      KImageBottomUp bottom_source;
      KImage top_source;
      KImage& source = source_bottom_up ? static_cast<KImage&>(bottom_source)
                                        : top_source;
      ASSERT_TRUE(source.Create(4, 3, KIMG_RGB));
      for (std::uint32_t y = 0; y < 3; ++y)
        for (std::uint32_t x = 0; x < 4; ++x) {
          unsigned char* p = source.PixelAddress(x, y);
          p[0] = static_cast<unsigned char>(x);
          p[1] = static_cast<unsigned char>(y);
          p[2] = 7;
        }
      KImageBottomUp bottom_dest;
      KImage top_dest;
      KImage& dest =
          dest_bottom_up ? static_cast<KImage&>(bottom_dest) : top_dest;
      ASSERT_TRUE(dest.Create(3, 3, KIMG_BGRA));
      for (std::uint32_t y = 0; y < 3; ++y)
        for (std::uint32_t x = 0; x < 3; ++x)
          *reinterpret_cast<std::uint32_t*>(dest.PixelAddress(x, y)) =
              0xEEEEEEEE;

      // The 5 x 5 rectangle at source (-1, 1) lands at dest (1, 0); clipped
      // to both images it is the source's (0, 1) 1 x 2 at dest (2, 0).
      ASSERT_TRUE(KConvertRect(source, -1, 1, 5, 5, dest, 1, 0));
      for (std::uint32_t y = 0; y < 3; ++y)
        for (std::uint32_t x = 0; x < 3; ++x) {
          const unsigned char* p = dest.PixelAddress(x, y);
          SCOPED_TRACE(testing::Message() << source_bottom_up << dest_bottom_up
                                          << " at " << x << "," << y);
          if (x == 2 && y < 2) {
            // from source (0, y + 1), as B, G, R, A
            EXPECT_EQ(p[0], 7);
            EXPECT_EQ(p[1], y + 1);
            EXPECT_EQ(p[2], 0);
            EXPECT_EQ(p[3], 255);
          } else {
            EXPECT_EQ(p[0], 0xEE);
          }
        }
      // Nothing left after clipping, or an empty side: false.
      EXPECT_FALSE(KConvertRect(source, 4, 0, 2, 2, dest, 0, 0));
      EXPECT_FALSE(KConvertRect(source, 0, 0, 2, 2, dest, 3, 0));
      EXPECT_FALSE(KConvertRect(source, 0, 0, 0, 2, dest, 0, 0));
      KImage empty;
      EXPECT_FALSE(KConvertRect(empty, 0, 0, 2, 2, dest, 0, 0));
      EXPECT_FALSE(KConvertRect(source, 0, 0, 2, 2, empty, 0, 0));
    }
  }
}

TEST(KConvertTest, WideRowsConvertInChunks) {
  // Wider than the converter's 256-pixel chunk.
  KImage source, dest;
  ASSERT_TRUE(source.Create(600, 2, KIMG_RGBA));
  ASSERT_TRUE(dest.Create(600, 2, KIMG_BGR));
  for (std::uint32_t y = 0; y < 2; ++y)
    for (std::uint32_t x = 0; x < 600; ++x) {
      unsigned char* p = source.PixelAddress(x, y);
      p[0] = static_cast<unsigned char>(x);
      p[1] = static_cast<unsigned char>(x >> 8);
      p[2] = static_cast<unsigned char>(y);
      p[3] = 1;
    }
  ASSERT_TRUE(KConvertImage(source, dest));
  for (std::uint32_t y = 0; y < 2; ++y)
    for (std::uint32_t x = 0; x < 600; ++x) {
      const unsigned char* p = dest.PixelAddress(x, y);
      ASSERT_EQ(p[2] | (p[1] << 8), static_cast<int>(x));
      ASSERT_EQ(p[0], y);
    }
}

TEST(KTablesTest, SineAndSquareRoot) {
  KInitMathTables();
  KInitColorTables();
  EXPECT_EQ(KSin(0), 0);
  EXPECT_EQ(KSin(1024), 65536);
  EXPECT_EQ(KSin(2048), 0);
  EXPECT_EQ(KSin(3072), -65536);
  EXPECT_EQ(KSin(4096 + 1024), 65536);  // the turn repeats
  EXPECT_EQ(KSin(512), 46341);          // sin 45 degrees = 0.70711
  EXPECT_EQ(KCos(0), 65536);
  EXPECT_EQ(KCos(2048), -65536);
  EXPECT_EQ(KSqrt(0), 0u);
  EXPECT_EQ(KSqrt(1), 256u);
  EXPECT_EQ(KSqrt(2), 362u);  // 1.41421 x 256 = 362.04
  EXPECT_EQ(KSqrt(4), 512u);
  EXPECT_EQ(KSqrt(65535), 65535u);
  EXPECT_EQ(KSqrt(1000000), 65535u);
}

}  // namespace
}  // namespace zorl
