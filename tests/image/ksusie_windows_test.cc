// The plug-in host under Wine, against the test plug-ins built beside this
// program (tests/image/plugins): which are registered and in what order,
// what each is given, and how its picture comes back.
#include "image/ksusie.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/kpath.h"
#include "foundation/ktext.h"
#include "image/kimagefile.h"
#include "image_test_util.h"
#include "platform/filesystem.h"
#include "platform/process.h"
#include "support/temp_dir.h"

namespace zorl {
namespace {

using image_testing::LogCapture;
using image_testing::Rgb;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

// The directory the host searches, as it spells it.
std::string ExecutableDir() {
  char path[platform::kMaxPath];
  char dir[kNameBufferSize];
  EXPECT_TRUE(platform::GetModulePath(path, sizeof path));
  SplitPath(path, dir, nullptr, nullptr);
  return dir;
}

// The *.spi names in the order the directory search returns them.
std::vector<std::string> SearchOrder() {
  std::vector<std::string> names;
  platform::FindData entry;
  const std::string pattern = ExecutableDir() + "*.spi";
  platform::FindHandle search = platform::FindFirst(pattern.c_str(), &entry);
  if (!search) return names;
  do {
    if (!entry.is_directory) names.push_back(entry.name);
  } while (platform::FindNext(search, &entry));
  platform::FindClose(search);
  return names;
}

// The 4 x 3 picture a test plug-in returns (see test_plugin.c), as R, G, B.
std::vector<unsigned char> Expected(int id, const std::string& data,
                                    unsigned long head_sum) {
  std::vector<unsigned char> rgb;
  const unsigned long length = data.size();
  auto byte = [&](std::size_t i) {
    return static_cast<unsigned char>(i < data.size() ? data[i] : 0);
  };
  const unsigned char row0[12] = {
      static_cast<unsigned char>(id), 0, 0,
      static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
      static_cast<unsigned char>(length >> 16),
      byte(0), byte(1), byte(2),
      static_cast<unsigned char>(head_sum), static_cast<unsigned char>(head_sum >> 8),
      static_cast<unsigned char>(head_sum >> 16)};
  rgb.assign(row0, row0 + 12);
  for (int y = 1; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      rgb.push_back(static_cast<unsigned char>(40 * x));
      rgb.push_back(static_cast<unsigned char>(60 * y));
      rgb.push_back(static_cast<unsigned char>(100 + id));
    }
  return rgb;
}

unsigned long Sum(const std::string& bytes, std::size_t count) {
  unsigned long sum = 0;
  for (std::size_t i = 0; i < count && i < bytes.size(); ++i)
    sum += static_cast<unsigned char>(bytes[i]);
  return sum;
}

std::string Filler(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 31 + 7);
  return s;
}

class SusieHostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir("susie");
    LogCapture log(*dir_ / "init.log");
    KSusieInit();
    init_log_ = new std::string(log.Text());
  }
  static void TearDownTestSuite() {
    KSusieFree();
    delete init_log_;
    delete dir_;
  }

  // Loads `bytes` from a file through the whole loader.
  static bool Load(const std::string& bytes, KImage& image) {
    const std::string path = *dir_ / "picture.bin";
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    KImageFileType type = KImageFileType::kNone;
    const bool ok = image_testing::LoadFile(path, image, &type);
    if (ok) {
      EXPECT_EQ(type, KImageFileType::kPlugin);
    }
    return ok;
  }

  static TempDir* dir_;
  static std::string* init_log_;
};

TempDir* SusieHostTest::dir_ = nullptr;
std::string* SusieHostTest::init_log_ = nullptr;

TEST_F(SusieHostTest, RegistersValidPluginsInSearchOrderAndLogsEachRefusal) {
  const std::string dir = ExecutableDir();
  const std::string& log = *init_log_;
  std::vector<std::string> loaded;
  for (const std::string& name : SearchOrder()) {
    const std::string path = dir + name;
    const std::string line_loaded = "[_KSusieInit] \"" + path + "\": loaded.\n";
    if (log.find(line_loaded) != std::string::npos) loaded.push_back(name);
  }
  const std::vector<std::string> valid = {
      "first.spi", "offset.spi", "dual_a.spi", "dual_b.spi", "bottomup.spi",
      "more.spi",  "fewer.spi",  "fails.spi",  "tiny.spi",   "notable.spi",
      "clrlie.spi", "bigsize.spi", "intmin.spi", "huge.spi"};
  EXPECT_EQ(KSusiePluginCount(), valid.size());
  // Every valid one is loaded; the "loaded." lines come in search order.
  EXPECT_EQ(loaded.size(), valid.size()) << log;
  std::size_t at = 0;
  for (const std::string& name : loaded) {
    const std::size_t next = log.find("\"" + dir + name + "\": loaded.");
    EXPECT_GE(next, at) << name;
    at = next;
  }
  for (const char* name : {"version.spi", "short.spi", "version0.spi"})
    EXPECT_NE(log.find("[_KSusieInit] \"" + dir + name + "\": version error.\n"),
              std::string::npos)
        << name << "\n" << log;
  EXPECT_NE(log.find("[_KSusieInit] \"" + dir + "nofunc.spi\": can't find functions.\n"),
            std::string::npos) << log;
  EXPECT_NE(log.find("[_KSusieInit] can't get \"GetPluginInfo\" in \"" + dir +
                     "noinfo.spi\"\n"),
            std::string::npos) << log;
  // A directory and a file that is no DLL pass silently.
  EXPECT_EQ(log.find("x.spi"), std::string::npos) << log;
  EXPECT_EQ(log.find("junk.spi"), std::string::npos) << log;
}

TEST_F(SusieHostTest, AcceptedAtTheStartWithTheHeadZeroPadded) {
  // Shorter than the head, exactly the head, longer: the plug-in always
  // reads 4096 bytes, which are the data and then zeros.
  for (std::size_t size : {std::size_t{4}, std::size_t{100}, std::size_t{4096},
                           std::size_t{5000}}) {
    const std::string data = "KT0!" + Filler(size - 4);
    KImage image;
    ASSERT_TRUE(Load(data, image)) << size;
    EXPECT_EQ(image.Format(), KIMG_BGR);
    EXPECT_EQ(image.Width(), 4u);
    EXPECT_EQ(image.Height(), 3u);
    EXPECT_EQ(image.Stride(), 12u);
    // first.spi delivers 8-bit palette pixels: GDI made them 24-bit.
    EXPECT_EQ(Rgb(image), Expected(1, data, Sum(data, 4096))) << size;
  }
}

TEST_F(SusieHostTest, AcceptedAfterA128ByteHeader) {
  const std::string data = Filler(128) + "KT8!" + Filler(60);
  KImage image;
  ASSERT_TRUE(Load(data, image));
  // The data and its length come without the first 128 bytes.
  EXPECT_EQ(Rgb(image), Expected(2, data.substr(128), Sum(data.substr(128), 4096)));

  // Too short to skip 128 bytes: accepted on the second call, nothing
  // skipped.
  const std::string short_data = "KT8s" + Filler(20);
  KImage short_image;
  ASSERT_TRUE(Load(short_data, short_image));
  EXPECT_EQ(Rgb(short_image), Expected(2, short_data, 0));
}

TEST_F(SusieHostTest, TheFirstPluginFoundWins) {
  std::string first;
  for (const std::string& name : SearchOrder())
    if (name == "dual_a.spi" || name == "dual_b.spi") {
      first = name;
      break;
    }
  ASSERT_FALSE(first.empty());
  const std::string data = "DUAL" + Filler(10);
  KImage image;
  ASSERT_TRUE(Load(data, image));
  EXPECT_EQ(Rgb(image), Expected(first == "dual_a.spi" ? 3 : 4, data, Sum(data, 14)))
      << "first found: " << first;
}

TEST_F(SusieHostTest, PicturesComeBackTopDown) {
  const std::string bottom_up = "BOTU" + Filler(10);
  KImage image;
  ASSERT_TRUE(Load(bottom_up, image));
  EXPECT_EQ(Rgb(image), Expected(5, bottom_up, Sum(bottom_up, 14)));
}

TEST_F(SusieHostTest, BitsBeyondOrShortOfTheRows) {
  // More than the rows need: the rows only.
  const std::string more = "MORE" + Filler(10);
  KImage image;
  ASSERT_TRUE(Load(more, image));
  EXPECT_EQ(Rgb(image), Expected(6, more, Sum(more, 14)));

  // Only 18 of 36 bytes: row 0, two pixels of row 1; the rest stays black.
  const std::string fewer = "FEWR" + Filler(10);
  KImage cut;
  ASSERT_TRUE(Load(fewer, cut));
  std::vector<unsigned char> expected = Expected(7, fewer, Sum(fewer, 14));
  std::fill(expected.begin() + 18, expected.end(), 0);
  EXPECT_EQ(Rgb(cut), expected);
}

TEST_F(SusieHostTest, RefusedAndFailingPluginsDecodeNothing) {
  for (const char* magic : {"FAIL", "VERS", "SHRT", "VER0", "NOFN", "NOIN", "none"}) {
    KImage image;
    EXPECT_FALSE(Load(std::string(magic) + Filler(20), image)) << magic;
    EXPECT_TRUE(image.IsEmpty()) << magic;
  }
}

// The information block is checked against the size of the handle it came
// in and against the pixel limit before GDI or the image sees it.
TEST_F(SusieHostTest, LyingInformationBlocksAreRefused) {
  for (const char* magic : {"TINY", "NOTB", "CLRL", "BSIZ", "IMIN", "HUGE"}) {
    KImage image;
    EXPECT_FALSE(Load(std::string(magic) + Filler(20), image)) << magic;
    EXPECT_TRUE(image.IsEmpty()) << magic;
  }
}

TEST_F(SusieHostTest, PluginPicturesKeepThePixelLimit) {
  const std::string data = "KT0!" + Filler(20);
  KImage image;
  KimgSetMaxPixels(11);  // the test plug-ins' pictures are 4 x 3
  EXPECT_FALSE(Load(data, image));
  EXPECT_TRUE(image.IsEmpty());
  KimgSetMaxPixels(12);
  EXPECT_TRUE(Load(data, image));
  KimgSetMaxPixels(0);
}

TEST_F(SusieHostTest, ShutDownEmptiesTheRegistry) {
  KSusieFree();
  EXPECT_EQ(KSusiePluginCount(), 0u);
  KImage image;
  EXPECT_FALSE(Load("KT0!", image));
  KSusieInit();  // as it was, for the other tests of this run
  EXPECT_EQ(KSusiePluginCount(), 14u);
  EXPECT_TRUE(Load("KT0!", image));
}

}  // namespace
}  // namespace zorl
