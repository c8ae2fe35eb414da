// The readers against files that claim far more than they hold: the pixel
// limit, the PNG/KCI inflate ratio on the image's own bytes, the JPEG scan
// limit, and probes that read headers only.
#include <gtest/gtest.h>

#include <string>

#include "foundation/kfile.h"
#include "hostile_files.h"
#include "image/kimagefile.h"
#include "image_test_util.h"
#include "support/temp_dir.h"

namespace zorl {
namespace {

using image_testing::LogCapture;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

constexpr int kGrey = 0;

class ImageLimitsTest : public ::testing::Test {
 protected:
  ~ImageLimitsTest() override { KimgSetMaxPixels(0); }

  // Loads `bytes` from a file; the type found goes to `type`.
  bool Load(const std::string& bytes, KImage& image,
            KImageFileType* type = nullptr) {
    const std::string path = dir_ / "picture";
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return image_testing::LoadFile(path, image, type);
  }
  bool Probe(const std::string& bytes, std::uint32_t* width,
             std::uint32_t* height) {
    const std::string path = dir_ / "probed";
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    KFile file;
    EXPECT_TRUE(file.Open(KFILE_READ, path.c_str()));
    return KimgReadSize(file, width, height);
  }
  TempDir dir_{"imagelimits"};
};

TEST_F(ImageLimitsTest, DefaultLimitIsDocumentedAndRestoredByZero) {
  EXPECT_EQ(KimgMaxPixels(), kKimgDefaultMaxPixels);
  EXPECT_EQ(kKimgDefaultMaxPixels, std::uint64_t{16384} * 16384);
  KimgSetMaxPixels(12);
  EXPECT_EQ(KimgMaxPixels(), 12u);
  EXPECT_TRUE(KimgPixelsAllowed(3, 4));
  EXPECT_FALSE(KimgPixelsAllowed(13, 1));
  EXPECT_FALSE(KimgPixelsAllowed(0, 1));
  KimgSetMaxPixels(0);
  EXPECT_EQ(KimgMaxPixels(), kKimgDefaultMaxPixels);
  // Width x height does not wrap in 32 bits.
  EXPECT_FALSE(KimgPixelsAllowed(0x10000, 0x10000));
}

// Every reader checks the limit before it creates the image: a picture of
// exactly the limit loads, one pixel more is refused.
TEST_F(ImageLimitsTest, EveryReaderKeepsThePixelLimit) {
  struct Case {
    const char* name;
    std::string bytes;
    KImageFileType type;
  } cases[] = {
      {"BMP", image_testing::Bmp8(40, 25), KImageFileType::kBmp},
      {"PNG", image_testing::ZeroPng(40, 25, 8, kGrey), KImageFileType::kPng},
      {"KCI", image_testing::ZeroPng(40, 25, 1, kGrey, true),
       KImageFileType::kKciPlain},
      {"JPEG", image_testing::BaselineJpeg(40, 25), KImageFileType::kJpeg},
      {"progressive JPEG", image_testing::ProgressiveJpeg(40, 25, 3),
       KImageFileType::kJpeg},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KimgSetMaxPixels(1000);
    KImage image;
    KImageFileType type = KImageFileType::kNone;
    ASSERT_TRUE(Load(c.bytes, image, &type));
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(image.Width(), 40u);
    EXPECT_EQ(image.Height(), 25u);

    KimgSetMaxPixels(999);
    KImage refused;
    LogCapture log(dir_ / "log.txt");
    EXPECT_FALSE(Load(c.bytes, refused, &type));
    EXPECT_EQ(type, KImageFileType::kNone);
    EXPECT_TRUE(refused.IsEmpty());
    EXPECT_NE(log.Text().find("\": Load Error\n"), std::string::npos);
    // The probe still reports what the header says.
    std::uint32_t width = 0, height = 0;
    EXPECT_TRUE(Probe(c.bytes, &width, &height));
    EXPECT_EQ(width, 40u);
    EXPECT_EQ(height, 25u);
  }
}

// Small files declaring huge pictures, refused under the default limits.
TEST_F(ImageLimitsTest, SmallFilesDeclaringHugePicturesAreRefused) {
  // KCI plain is the PNG's chunks behind a signature of its own.
  auto kci = [](std::string png) {
    return png.replace(0, 8, "\x4B\x43\x49\x88\x99\xAA\xBB\xCC", 8);
  };
  const std::string png_32767 = image_testing::ZeroPng(32767, 32767, 1, kGrey);
  const std::string png_16000 = image_testing::ZeroPng(16000, 16000, 1, kGrey);
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      // 1.4 G pixels in 300 bytes.
      {"baseline JPEG 37837 x 37837", image_testing::BaselineJpeg(37837, 37837)},
      // 1.07 G pixels of 1-bit zeros: a valid file of 130 KB.
      {"PNG 1-bit 32767 x 32767", png_32767},
      {"KCI 1-bit 32767 x 32767", kci(png_32767)},
      // Within the pixel limit, but its 768 MB of RGB would come from 31 KB:
      // more than deflate's ratio allows for the image (not the file's
      // 1-bit rows, which the data does hold).
      {"PNG 1-bit 16000 x 16000", png_16000},
      {"KCI 1-bit 16000 x 16000", kci(png_16000)},
      // A picture no larger than the file's data allows, cut short: the
      // remaining bytes, not the header, bound it.
      {"PNG 8-bit 8192 x 8192, 100 rows",
       image_testing::ZeroPng(8192, 8192, 8, kGrey, false, 100)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_LT(c.bytes.size(), 200u * 1024);
    KImage image;
    EXPECT_FALSE(Load(c.bytes, image));
    EXPECT_TRUE(image.IsEmpty());
  }
}

// A flat picture of a game's size compresses beyond deflate's ratio for its
// RGB image, and still loads.
TEST_F(ImageLimitsTest, FlatPicturesWithinTheAllowanceLoad) {
  for (int depth : {1, 8}) {
    SCOPED_TRACE(depth);
    const std::string bytes = image_testing::ZeroPng(4096, 4096, depth, kGrey);
    ASSERT_LT(bytes.size() * 1032, std::uint64_t{4096} * 4096 * 3);
    KImage image;
    ASSERT_TRUE(Load(bytes, image));
    EXPECT_EQ(image.Width(), 4096u);
    EXPECT_EQ(image.Format(), static_cast<std::uint32_t>(KIMG_RGB));
    EXPECT_EQ(image.PixelAddress(4095, 4095)[2], 0);
  }
}

TEST_F(ImageLimitsTest, ProgressiveJpegScanLimit) {
  KImage within;
  ASSERT_TRUE(Load(image_testing::ProgressiveJpeg(64, 64, kKimgMaxJpegScans),
                   within));
  EXPECT_EQ(within.Width(), 64u);

  KImage beyond;
  EXPECT_FALSE(Load(
      image_testing::ProgressiveJpeg(64, 64, kKimgMaxJpegScans + 1), beyond));
  EXPECT_TRUE(beyond.IsEmpty());
}

// Beyond the scan count, the scans' blocks together may cover the picture
// 32 times plus 32 Mi blocks: here 160 passes over 4096 x 4096 grey.
TEST_F(ImageLimitsTest, ProgressiveJpegBlockBudget) {
  KImage within;
  ASSERT_TRUE(Load(image_testing::ProgressiveJpeg(4096, 4096, 160), within));
  EXPECT_EQ(within.Height(), 4096u);

  KImage beyond;
  EXPECT_FALSE(Load(image_testing::ProgressiveJpeg(4096, 4096, 161), beyond));
  EXPECT_TRUE(beyond.IsEmpty());
}

// A probe reads the header only: a picture with more scans than the reader
// takes, or more pixels than it creates, still tells its size.
TEST_F(ImageLimitsTest, ProbesReadHeadersOnly) {
  std::uint32_t width = 0, height = 0;
  EXPECT_TRUE(Probe(image_testing::ProgressiveJpeg(4096, 2048, 600), &width,
                    &height));
  EXPECT_EQ(width, 4096u);
  EXPECT_EQ(height, 2048u);
  EXPECT_TRUE(Probe(image_testing::BaselineJpeg(37837, 30000), &width, &height));
  EXPECT_EQ(width, 37837u);
  EXPECT_EQ(height, 30000u);
}

}  // namespace
}  // namespace zorl
