// The readers against files made by an independent tool: every fixture of
// make-fixtures is decoded here and compared, pixel by pixel, with
// ImageMagick's own decoding of the same file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "foundation/kfile.h"
#include "image/kimagefile.h"
#include "image_test_util.h"
#include "support/temp_dir.h"

namespace zorl {
namespace {

using image_testing::Fixture;
using image_testing::LoadFile;
using image_testing::Reference;
using image_testing::Rgba;

struct Expectation {
  const char* name;
  KImageFileType type;
  std::uint32_t format;  // what the reader stores
  int tolerance;         // largest difference per sample (JPEG only)
};

// Formats: PNG with alpha or a transparency chunk and BMP load as RGBA,
// PNG without as RGB, JPEG as RGB.
const Expectation kFixtures[] = {
    {"grey1.png", KImageFileType::kPng, KIMG_RGB, 0},
    {"grey2.png", KImageFileType::kPng, KIMG_RGB, 0},
    {"grey4.png", KImageFileType::kPng, KIMG_RGB, 0},
    {"grey8.png", KImageFileType::kPng, KIMG_RGB, 0},
    {"grey16.png", KImageFileType::kPng, KIMG_RGB, 0},
    {"grey8-trns.png", KImageFileType::kPng, KIMG_RGBA, 0},
    {"grey16-trns.png", KImageFileType::kPng, KIMG_RGBA, 0},
    {"grey-alpha8.png", KImageFileType::kPng, KIMG_RGBA, 0},
    {"grey-alpha16.png", KImageFileType::kPng, KIMG_RGBA, 0},
    {"rgb8.png", KImageFileType::kPng, KIMG_RGB, 0},
    {"rgb16.png", KImageFileType::kPng, KIMG_RGB, 0},
    {"rgb8-trns.png", KImageFileType::kPng, KIMG_RGBA, 0},
    {"rgba8.png", KImageFileType::kPng, KIMG_RGBA, 0},
    {"rgba16.png", KImageFileType::kPng, KIMG_RGBA, 0},
    {"palette1.png", KImageFileType::kPng, KIMG_RGB, 0},
    {"palette2.png", KImageFileType::kPng, KIMG_RGB, 0},
    {"palette4.png", KImageFileType::kPng, KIMG_RGB, 0},
    {"palette8.png", KImageFileType::kPng, KIMG_RGB, 0},
    {"palette8-trns.png", KImageFileType::kPng, KIMG_RGBA, 0},
    {"palette8-alpha.png", KImageFileType::kPng, KIMG_RGBA, 0},
    {"rgba8-interlaced.png", KImageFileType::kPng, KIMG_RGBA, 0},
    {"palette8-interlaced.png", KImageFileType::kPng, KIMG_RGB, 0},
    {"grey2-interlaced.png", KImageFileType::kPng, KIMG_RGB, 0},
    {"big-rgb8.png", KImageFileType::kPng, KIMG_RGB, 0},
    {"palette8.bmp", KImageFileType::kBmp, KIMG_RGBA, 0},
    {"palette8-topdown.bmp", KImageFileType::kBmp, KIMG_RGBA, 0},
    {"palette8-v5.bmp", KImageFileType::kBmp, KIMG_RGBA, 0},
    {"palette8-v5-topdown.bmp", KImageFileType::kBmp, KIMG_RGBA, 0},
    {"rgb24.bmp", KImageFileType::kBmp, KIMG_RGBA, 0},
    {"rgb24-topdown.bmp", KImageFileType::kBmp, KIMG_RGBA, 0},
    {"rgba32.bmp", KImageFileType::kBmp, KIMG_RGBA, 0},
    {"rgba32-topdown.bmp", KImageFileType::kBmp, KIMG_RGBA, 0},
    {"rgba32-v5.bmp", KImageFileType::kBmp, KIMG_RGBA, 0},
    {"rgba32-v5-topdown.bmp", KImageFileType::kBmp, KIMG_RGBA, 0},
    // ImageMagick decodes with libjpeg's integer inverse DCT, the library
    // with the floating-point one: a few levels apart at most.
    {"baseline.jpg", KImageFileType::kJpeg, KIMG_RGB, 4},
    {"progressive.jpg", KImageFileType::kJpeg, KIMG_RGB, 4},
    {"grey.jpg", KImageFileType::kJpeg, KIMG_RGB, 4},
};

TEST(ImageMagickTest, EveryFixtureDecodesAsImageMagickDecodesIt) {
  for (const Expectation& e : kFixtures) {
    SCOPED_TRACE(e.name);
    Reference ref;
    ASSERT_TRUE(image_testing::ReadReference(Fixture(e.name) + ".ref", &ref));
    KImage image;
    KImageFileType type;
    ASSERT_TRUE(LoadFile(Fixture(e.name), image, &type));
    EXPECT_EQ(type, e.type);
    EXPECT_EQ(image.Format(), e.format);
    ASSERT_EQ(image.Width(), ref.width);
    ASSERT_EQ(image.Height(), ref.height);
    const std::vector<unsigned char> got = Rgba(image);
    const bool png_alpha = e.type == KImageFileType::kPng && e.format == KIMG_RGBA;
    int worst = 0;
    std::size_t transparent = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
      int want = ref.At8(i);
      if (i % 4 == 3) {
        if (e.format != KIMG_RGBA) continue;  // RGB: no alpha to compare
        if (want < 255) ++transparent;
        // The PNG reader stores 255 - file alpha.
        if (png_alpha) want = 255 - want;
      }
      const int difference = std::abs(got[i] - want);
      if (difference > worst) worst = difference;
      if (difference > e.tolerance) {
        ADD_FAILURE() << "pixel " << i / 4 % ref.width << "," << i / 4 / ref.width
                      << " sample " << i % 4 << ": " << int{got[i]} << ", "
                      << "ImageMagick " << want;
        break;
      }
    }
    // The alpha fixtures do have transparent pixels to compare.
    if (e.format == KIMG_RGBA && e.type == KImageFileType::kPng) {
      EXPECT_GT(transparent, 0u);
    }
    if (e.tolerance > 0) RecordProperty(e.name, worst);
  }
}

TEST(ImageMagickTest, FilesTheBmpReaderRefuses) {
  // Refused by the BMP reader and by every reader after it.
  for (const char* name : {"refused-4bit.bmp", "refused-1bit.bmp",
                           "refused-rle8.bmp", "refused-16bit.bmp"}) {
    KImage image;
    EXPECT_FALSE(LoadFile(Fixture(name), image)) << name;
    // The probe still reads the header.
    KFile file;
    ASSERT_TRUE(file.Open(KFILE_READ, Fixture(name).c_str()));
    std::uint32_t bits = KimgReadBitDepth(file);
    EXPECT_NE(bits, 0u) << name;
  }
}

TEST(ImageMagickTest, ProbesAgreeWithTheReaders) {
  for (const Expectation& e : kFixtures) {
    KFile file;
    ASSERT_TRUE(file.Open(KFILE_READ, Fixture(e.name).c_str()));
    std::uint32_t width = 0, height = 0, bits = 0;
    KImageFileType type;
    ASSERT_TRUE(KimgReadInfo(file, &width, &height, &bits, &type)) << e.name;
    EXPECT_EQ(type, e.type) << e.name;
    KImage image;
    ASSERT_TRUE(KimgLoad(file, image));
    EXPECT_EQ(width, image.Width()) << e.name;
    EXPECT_EQ(height, image.Height()) << e.name;
    if (e.type == KImageFileType::kPng) {
      EXPECT_EQ(bits, e.format == KIMG_RGBA ? 32u : 24u) << e.name;
    } else if (e.type == KImageFileType::kJpeg) {
      EXPECT_EQ(bits, 24u) << e.name;
    }
  }
}

TEST(ImageMagickTest, TruncatedAndEmptyJpeg) {
  std::string jpeg;
  ASSERT_TRUE(testing_support::ReadFileBytes(Fixture("baseline.jpg"), &jpeg));
  ASSERT_GT(jpeg.size(), 4096u + 1000);
  testing_support::TempDir dir("jpeg");
  KImage whole;
  ASSERT_TRUE(LoadFile(Fixture("baseline.jpg"), whole));

  // Cut after the first input buffer: libjpeg's end of data fills the rest,
  // and the picture comes out whole in size, its top rows as before.
  ASSERT_TRUE(testing_support::WriteFileBytes(dir / "cut.jpg", jpeg.substr(0, 4096 + 100)));
  KImage cut;
  ASSERT_TRUE(LoadFile(dir / "cut.jpg", cut));
  ASSERT_EQ(cut.Width(), whole.Width());
  ASSERT_EQ(cut.Height(), whole.Height());
  const std::vector<unsigned char> a = Rgba(whole), b = Rgba(cut);
  const std::size_t row = whole.Width() * 4;
  EXPECT_EQ(std::vector<unsigned char>(a.begin(), a.begin() + 8 * row),
            std::vector<unsigned char>(b.begin(), b.begin() + 8 * row));
  EXPECT_NE(a, b);

  // An empty file and one cut inside its header fail.
  for (std::size_t size : {std::size_t{0}, std::size_t{300}}) {
    ASSERT_TRUE(testing_support::WriteFileBytes(dir / "short.jpg", jpeg.substr(0, size)));
    KImage image;
    EXPECT_FALSE(LoadFile(dir / "short.jpg", image)) << size;
    EXPECT_TRUE(image.IsEmpty());
  }
}

TEST(ImageMagickTest, TruncatedPngFails) {
  std::string png;
  ASSERT_TRUE(testing_support::ReadFileBytes(Fixture("big-rgb8.png"), &png));
  testing_support::TempDir dir("png");
  for (std::size_t size : {png.size() - 12 /* IEND */, png.size() / 2, std::size_t{40}}) {
    ASSERT_TRUE(testing_support::WriteFileBytes(dir / "cut.png", png.substr(0, size)));
    KImage image;
    EXPECT_FALSE(LoadFile(dir / "cut.png", image)) << size;
    EXPECT_TRUE(image.IsEmpty()) << size;
  }
}

}  // namespace
}  // namespace zorl
