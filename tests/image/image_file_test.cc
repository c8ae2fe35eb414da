// The readers and writers on files the tests make themselves: round trips,
// the KCI forms, refusals, log lines, streams with a base, failures.
#include "image/kimagefile.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/kexcept.h"
#include "foundation/kfile.h"
#include "image_test_util.h"
#include "support/temp_dir.h"

namespace zorl {
namespace {

using image_testing::FillPattern;
using image_testing::LoadFile;
using image_testing::LogCapture;
using image_testing::Rgb;
using image_testing::Rgba;
using image_testing::SaveFile;
using image_testing::Writer;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

class ImageFileTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) { return dir_ / name; }
  std::string Bytes(const std::string& name) {
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(Path(name), &bytes));
    return bytes;
  }
  // A patterned picture of an odd size (rows need padding in a BMP).
  static void Make(KImage& image, std::uint32_t format) {
    ASSERT_TRUE(image.Create(13, 7, format));
    FillPattern(image);
  }
  TempDir dir_{"imagefile"};
};

// Alpha after a PNG/KCI round trip: the reader stores 255 - file alpha.
std::vector<unsigned char> InvertAlpha(std::vector<unsigned char> rgba) {
  for (std::size_t i = 3; i < rgba.size(); i += 4)
    rgba[i] = static_cast<unsigned char>(255 - rgba[i]);
  return rgba;
}

TEST_F(ImageFileTest, PngAndKciRoundTripsInEveryFormat) {
  for (std::uint32_t format = 0; format < 8; ++format) {
    for (Writer writer : {Writer::kPng, Writer::kKci}) {
      for (bool keep_alpha : {true, false}) {
        for (bool bottom_up : {false, true}) {
          SCOPED_TRACE(testing::Message()
                       << "format " << format << (writer == Writer::kKci ? " KCI" : " PNG")
                       << " keep alpha " << keep_alpha << " bottom-up " << bottom_up);
          KImageBottomUp bottom;
          KImage top;
          KImage& source = bottom_up ? static_cast<KImage&>(bottom) : top;
          Make(source, format);
          ASSERT_TRUE(SaveFile(Path("out"), source, writer, keep_alpha));
          KImage loaded;
          KImageFileType type;
          ASSERT_TRUE(LoadFile(Path("out"), loaded, &type));
          EXPECT_EQ(type, writer == Writer::kKci ? KImageFileType::kKciScrambled
                                                 : KImageFileType::kPng);
          EXPECT_EQ(loaded.Width(), 13u);
          EXPECT_EQ(loaded.Height(), 7u);
          if (keep_alpha && KImageFormatHasAlpha(format)) {
            EXPECT_EQ(loaded.Format(), KIMG_RGBA);
            EXPECT_EQ(Rgba(loaded), InvertAlpha(Rgba(source)));
          } else {
            EXPECT_EQ(loaded.Format(), KIMG_RGB);
            EXPECT_EQ(Rgb(loaded), Rgb(source));
          }
        }
      }
    }
  }
}

TEST_F(ImageFileTest, BmpRoundTripsInEveryFormat) {
  for (std::uint32_t format = 0; format < 8; ++format) {
    for (bool bottom_up : {false, true}) {
      SCOPED_TRACE(testing::Message() << "format " << format << " bottom-up "
                                      << bottom_up);
      KImageBottomUp bottom;
      KImage top;
      KImage& source = bottom_up ? static_cast<KImage&>(bottom) : top;
      Make(source, format);
      ASSERT_TRUE(SaveFile(Path("out.bmp"), source, Writer::kBmp));
      const std::string bytes = Bytes("out.bmp");
      // 24 bits, bottom-up, rows of 13 x 3 = 39 bytes padded to 40.
      ASSERT_EQ(bytes.size(), 54u + 7 * 40);
      EXPECT_EQ(bytes.substr(0, 2), "BM");
      EXPECT_EQ(bytes.substr(2, 4), std::string("\x4E\x01\0\0", 4));  // 334
      EXPECT_EQ(bytes.substr(10, 4), std::string("\x36\0\0\0", 4));  // 54
      EXPECT_EQ(bytes.substr(22, 4), std::string("\x07\0\0\0", 4));  // 7, up
      EXPECT_EQ(bytes[28], 24);
      for (int row = 0; row < 7; ++row)
        EXPECT_EQ(bytes[54 + row * 40 + 39], 0) << "padding of row " << row;
      KImage loaded;
      KImageFileType type;
      ASSERT_TRUE(LoadFile(Path("out.bmp"), loaded, &type));
      EXPECT_EQ(type, KImageFileType::kBmp);
      EXPECT_EQ(loaded.Format(), KIMG_RGBA);
      std::vector<unsigned char> expected = Rgba(source);
      for (std::size_t i = 3; i < expected.size(); i += 4) expected[i] = 255;
      EXPECT_EQ(Rgba(loaded), expected);
    }
  }
}

TEST_F(ImageFileTest, KciIsPngScrambledBehindItsOwnSignature) {
  KImage image;
  Make(image, KIMG_RGBA);
  ASSERT_TRUE(SaveFile(Path("a.png"), image, Writer::kPng));
  ASSERT_TRUE(SaveFile(Path("a.kci"), image, Writer::kKci));
  const std::string png = Bytes("a.png");
  const std::string kci = Bytes("a.kci");
  ASSERT_EQ(png.size(), kci.size());
  EXPECT_EQ(kci.substr(0, 8), "\x4B\x43\x49\xCC\xBB\xAA\x99\x88");
  // Byte p of the datastream is stored XOR (p mod 256).
  for (std::size_t p = 8; p < png.size(); ++p)
    ASSERT_EQ(static_cast<unsigned char>(kci[p]),
              static_cast<unsigned char>(png[p] ^ (p & 0xFF)))
        << "offset " << p;

  // The plain form: the PNG datastream unchanged behind 4B 43 49 88 99 AA BB CC.
  ASSERT_TRUE(WriteFileBytes(Path("plain.kci"),
                             "\x4B\x43\x49\x88\x99\xAA\xBB\xCC" + png.substr(8)));
  KImage plain;
  KImageFileType type;
  ASSERT_TRUE(LoadFile(Path("plain.kci"), plain, &type));
  EXPECT_EQ(type, KImageFileType::kKciPlain);
  EXPECT_EQ(Rgba(plain), InvertAlpha(Rgba(image)));

  // A signature with the forms' halves mixed up is no KCI.
  ASSERT_TRUE(WriteFileBytes(Path("mixed.kci"),
                             "\x4B\x43\x49\xCC\x99\xAA\xBB\xCC" + png.substr(8)));
  KImage mixed;
  EXPECT_FALSE(LoadFile(Path("mixed.kci"), mixed));
  EXPECT_TRUE(mixed.IsEmpty());
}

TEST_F(ImageFileTest, StreamsAreReadAndWrittenFromTheirBase) {
  KImage image;
  Make(image, KIMG_BGRA);
  // 100 bytes of something else, then the picture, in a view from byte 100.
  ASSERT_TRUE(WriteFileBytes(Path("inside"), std::string(100, 'x')));
  KFile file;
  ASSERT_TRUE(file.Open(KFILE_READ | KFILE_WRITE, Path("inside").c_str()));
  for (Writer writer : {Writer::kKci, Writer::kPng, Writer::kBmp}) {
    KFile view;
    ASSERT_TRUE(view.OpenView(file, 100));
    switch (writer) {
      case Writer::kKci: ASSERT_TRUE(KimgWriteKCI(view, image, true)); break;
      case Writer::kPng: ASSERT_TRUE(KimgWritePNG(view, image, true)); break;
      case Writer::kBmp: ASSERT_TRUE(KimgWriteBitmap(view, image)); break;
    }
    view.Seek(KSEEK_END, 0);  // a reader rewinds first
    KImage loaded;
    ASSERT_TRUE(KimgLoad(view, loaded));
    EXPECT_EQ(Rgb(loaded), Rgb(image));
    std::uint32_t width = 0, height = 0, bits = 0;
    ASSERT_TRUE(KimgReadInfo(view, &width, &height, &bits));
    EXPECT_EQ(width, 13u);
    EXPECT_EQ(bits, writer == Writer::kBmp ? 24u : 32u);
  }
  file.Close();
  const std::string bytes = Bytes("inside");
  EXPECT_EQ(bytes.substr(0, 100), std::string(100, 'x'));
  // The scrambling counts from the view's base: the KCI signature and the
  // IHDR chunk's length (00 00 00 0D at offsets 8..11) XOR 8..11.
  KFile again;
  ASSERT_TRUE(again.Open(KFILE_READ | KFILE_WRITE, Path("inside").c_str()));
  KFile view;
  ASSERT_TRUE(view.OpenView(again, 100));
  ASSERT_TRUE(KimgWriteKCI(view, image, true));
  again.Close();
  const std::string kci = Bytes("inside").substr(100, 12);
  EXPECT_EQ(kci, std::string("\x4B\x43\x49\xCC\xBB\xAA\x99\x88"
                             "\x08\x09\x0A\x06", 12));
}

TEST_F(ImageFileTest, WritingRgbWhenAlphaIsNotWanted) {
  // IHDR's colour type (byte 25): 6 with alpha, 2 without.
  struct Case {
    std::uint32_t format;
    bool keep_alpha;
    char color_type;
  } cases[] = {{KIMG_RGBA, true, 6},      {KIMG_RGBA, false, 2},
               {KIMG_RGB, true, 2},       {KIMG_BGRA, true, 6},
               {KIMG_ARGB1555, true, 6},  {KIMG_ARGB4444, true, 6},
               {KIMG_RGB565, true, 2},    {KIMG_YCBCR, true, 2},
               {KIMG_BGR, true, 2}};
  for (const Case& c : cases) {
    KImage image;
    Make(image, c.format);
    ASSERT_TRUE(SaveFile(Path("t.png"), image, Writer::kPng, c.keep_alpha));
    EXPECT_EQ(Bytes("t.png")[25], c.color_type) << "format " << c.format;
  }
}

// An uncompressed 8-bit BMP: 3 x 2 pixels, `stored` palette entries after
// the header, header field "colours used" = `colors_used`. Entry i is
// (B, G, R) = (i, 2i, 3i); the pixels use indices 0, 1, 2 / 255, 3, 1.
std::string Bmp8(std::uint32_t colors_used, std::uint32_t stored,
                 std::uint32_t data_offset) {
  std::string header(54, '\0');
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) header[at + i] = static_cast<char>(v >> (8 * i));
  };
  header[0] = 'B';
  header[1] = 'M';
  put32(10, data_offset);
  put32(14, 40);
  put32(18, 3);
  put32(22, 2);
  header[26] = 1;
  header[28] = 8;
  put32(46, colors_used);
  std::string palette;
  for (std::uint32_t i = 0; i < stored; ++i)
    palette += std::string{static_cast<char>(i), static_cast<char>(2 * i),
                           static_cast<char>(3 * i), 0};
  // Bottom-up: the file's first row is the picture's last.
  std::string rows = std::string("\xFF\x03\x01\x00", 4) +
                     std::string("\x00\x01\x02\x00", 4);
  return header + palette + rows;
}

TEST_F(ImageFileTest, EightBitBmpPalettes) {
  struct Case {
    std::uint32_t colors_used, stored, data_offset;
    bool loads;
  } cases[] = {
      {0, 256, 0, true},              // 0: 256 entries
      {300, 256, 0, true},            // above 256: 256 entries
      {4, 4, 0, true},                // 4 entries; index 255 reads black
      {4, 4, 54 + 16, true},          // the same, data offset given
      {0, 4, 0, false},               // 256 expected, 4 there: short read
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "colours used " << c.colors_used
                                    << ", stored " << c.stored);
    ASSERT_TRUE(WriteFileBytes(Path("p.bmp"),
                               Bmp8(c.colors_used, c.stored, c.data_offset)));
    KImage image;
    ASSERT_EQ(LoadFile(Path("p.bmp"), image), c.loads);
    if (!c.loads) continue;
    const int last = c.stored == 256 ? 255 : 0;  // entry 255, or black
    const std::vector<unsigned char> expected = {
        0, 0, 0, 255,  3, 2, 1, 255,  6, 4, 2, 255,
        static_cast<unsigned char>(3 * last), static_cast<unsigned char>(2 * last),
        static_cast<unsigned char>(last), 255,
        9, 6, 3, 255,  3, 2, 1, 255};
    EXPECT_EQ(Rgba(image), expected);
  }
}

TEST_F(ImageFileTest, BmpHeadersTheReaderRefuses) {
  const std::string good = Bmp8(0, 256, 0);
  auto with = [&](std::size_t at, const std::string& bytes) {
    std::string b = good;
    b.replace(at, bytes.size(), bytes);
    return b;
  };
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"16 bits", with(28, std::string("\x10\x00", 2))},
      {"4 bits", with(28, std::string("\x04\x00", 2))},
      {"run-length", with(30, std::string("\x01\x00\x00\x00", 4))},
      {"core header", with(14, std::string("\x0C\x00\x00\x00", 4))},
      {"zero width", with(18, std::string("\x00\x00\x00\x00", 4))},
      {"negative width", with(18, std::string("\xFD\xFF\xFF\xFF", 4))},
      {"huge height", with(22, std::string("\x00\x00\x00\x40", 4))},
      {"short header", good.substr(0, 53)},
      {"no rows", good.substr(0, 54 + 1024 + 4)},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteFileBytes(Path("bad.bmp"), c.bytes));
    KImage image;
    EXPECT_FALSE(LoadFile(Path("bad.bmp"), image)) << c.what;
    EXPECT_TRUE(image.IsEmpty()) << c.what;
  }
}

TEST_F(ImageFileTest, ProbesReportSizeAndBits) {
  KImage rgba, rgb;
  Make(rgba, KIMG_RGBA);
  Make(rgb, KIMG_RGB);
  ASSERT_TRUE(SaveFile(Path("a.png"), rgba, Writer::kPng));
  ASSERT_TRUE(SaveFile(Path("b.png"), rgb, Writer::kPng));
  ASSERT_TRUE(SaveFile(Path("c.kci"), rgba, Writer::kKci));
  ASSERT_TRUE(SaveFile(Path("d.bmp"), rgba, Writer::kBmp));
  ASSERT_TRUE(WriteFileBytes(Path("e.bmp"),
                             Bmp8(0, 256, 0).replace(28, 1, "\x04")));
  ASSERT_TRUE(WriteFileBytes(Path("junk"), "not a picture at all"));
  struct Case {
    const char* name;
    bool known;
    std::uint32_t bits;
    KImageFileType type;
  } cases[] = {{"a.png", true, 32, KImageFileType::kPng},
               {"b.png", true, 24, KImageFileType::kPng},
               {"c.kci", true, 32, KImageFileType::kKciScrambled},
               {"d.bmp", true, 24, KImageFileType::kBmp},
               {"e.bmp", true, 4, KImageFileType::kBmp},  // header's bits
               {"junk", false, 0, KImageFileType::kNone}};
  for (const Case& c : cases) {
    KFile file;
    ASSERT_TRUE(file.Open(KFILE_READ, Path(c.name).c_str()));
    std::uint32_t width = 99, height = 99, bits = 99;
    KImageFileType type;
    EXPECT_EQ(KimgReadInfo(file, &width, &height, &bits, &type), c.known)
        << c.name;
    EXPECT_EQ(bits, c.bits) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(KimgReadBitDepth(file), c.bits) << c.name;
    if (c.known && c.type != KImageFileType::kBmp) {
      EXPECT_EQ(width, 13u);
      EXPECT_EQ(height, 7u);
    }
    EXPECT_EQ(KimgReadSize(file, &width, &height), c.known);
  }
}

TEST_F(ImageFileTest, RefusalsAndTheirLogLines) {
  KImage image;
  Make(image, KIMG_RGB);
  ASSERT_TRUE(SaveFile(Path("good.png"), image, Writer::kPng));
  const std::string png = Bytes("good.png");
  LogCapture log(Path("log.txt"));

  // The first four signature bytes match, the other four do not: libpng
  // refuses the file.
  ASSERT_TRUE(WriteFileBytes(Path("badsig.png"),
                             png.substr(0, 4) + "\x0D\x0A\x1A\x0B" + png.substr(8)));
  KImage loaded;
  EXPECT_FALSE(LoadFile(Path("badsig.png"), loaded));
  EXPECT_TRUE(loaded.IsEmpty());
  std::string text = log.Text();
  EXPECT_NE(text.find("[Error] "), std::string::npos) << text;
  EXPECT_NE(text.find("[KimgLoad] \"" + Path("badsig.png") + "\": Load Error\n"),
            std::string::npos)
      << text;

  // Cut in the middle of the image data.
  ASSERT_TRUE(WriteFileBytes(Path("cut.png"), png.substr(0, png.size() / 2)));
  EXPECT_FALSE(LoadFile(Path("cut.png"), loaded));
  EXPECT_TRUE(loaded.IsEmpty());
  EXPECT_NE(log.Text().find("[KimgLoad] \"" + Path("cut.png") + "\": Load Error\n"),
            std::string::npos);

  // A stream without a name leaves the name out.
  KFile memory;
  ASSERT_TRUE(memory.OpenMemory("", 16, KMEM_READ | KMEM_WRITE));
  memory.Write("0123456789abcdef", 16);
  memory.SetName("");
  EXPECT_FALSE(KimgLoad(memory, loaded));
  EXPECT_NE(log.Text().find("[KimgLoad] \"\": Load Error\n"), std::string::npos);
}

TEST_F(ImageFileTest, WriteFailures) {
  KImage image;
  Make(image, KIMG_RGBA);
  ASSERT_TRUE(WriteFileBytes(Path("ro"), "x"));
  LogCapture log(Path("log.txt"));
  KFile read_only;
  ASSERT_TRUE(read_only.Open(KFILE_READ, Path("ro").c_str()));

  EXPECT_FALSE(KimgWritePNG(read_only, image, true));
  EXPECT_FALSE(KimgWriteKCI(read_only, image, true));
  EXPECT_FALSE(KimgWriteBitmap(read_only, image));
  const std::string name = Path("ro");
  std::string text = log.Text();
  EXPECT_NE(text.find("[Error] can't write data.\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[KimgWritePNG] \"" + name + "\": Write Error\n"),
            std::string::npos) << text;
  EXPECT_NE(text.find("[KimgWriteKCI] \"" + name + "\": Write Error\n"),
            std::string::npos) << text;
  EXPECT_NE(text.find("[KimgWriteBitmap] \"" + name + "\": Write Error\n"),
            std::string::npos) << text;
  EXPECT_FALSE(read_only.GetThrowMode());

  // With the stream's throw switch on, the BMP writer lets the exception
  // through, logs nothing and leaves the switch on.
  read_only.SetThrowMode(true);
  const std::size_t logged = log.Text().size();
  EXPECT_THROW(KimgWriteBitmap(read_only, image), KExceptFile);
  EXPECT_TRUE(read_only.GetThrowMode());
  EXPECT_EQ(log.Text().size(), logged);
  // The PNG writer's failures stay results, whatever the switch says.
  EXPECT_FALSE(KimgWritePNG(read_only, image, true));
  read_only.SetThrowMode(false);

  // libpng refuses an empty image.
  KFile out;
  ASSERT_TRUE(out.Open(15, Path("empty.png").c_str()));
  EXPECT_FALSE(KimgWritePNG(out, KImage(), true));
  EXPECT_NE(log.Text().find("zero in IHDR"), std::string::npos) << log.Text();
}

TEST_F(ImageFileTest, AStreamThatCannotBeRewoundThrows) {
  KFile closed;
  KImage image;
  EXPECT_THROW(KimgLoad(closed, image), KExceptFile);
  EXPECT_THROW(KimgReadInfo(closed, nullptr, nullptr, nullptr), KExceptFile);
  EXPECT_THROW(KimgWritePNG(closed, image, true), KExceptFile);
}

TEST_F(ImageFileTest, ReadersRefuseWhatTheyDoNotKnow) {
  LogCapture log(Path("log.txt"));
  for (const std::string& bytes :
       {std::string(), std::string("BM"), std::string("\x89PNG", 4),
        std::string("KCI\x88", 4), std::string("\xFF\xD8\xFF", 3),
        std::string(5000, '\0')}) {
    ASSERT_TRUE(WriteFileBytes(Path("x"), bytes));
    KImage image;
    KImageFileType type = KImageFileType::kPng;
    EXPECT_FALSE(LoadFile(Path("x"), image, &type)) << bytes.size();
    EXPECT_EQ(type, KImageFileType::kNone);
    EXPECT_TRUE(image.IsEmpty());
  }
}

}  // namespace
}  // namespace zorl
