#include "foundation/kpath.h"

#include <gtest/gtest.h>

#include <string>

namespace zorl {
namespace {

const std::string kHyo = "\x95\x5C";  // trail byte is "\"

TEST(MakePathTest, JoinsWithForwardSlashes) {
  struct Case {
    std::string dir, base, ext, expected;
  } cases[] = {
      {"data", "mareld", "dat", "data/mareld.dat"},
      {"data\\", "mareld", "bak", "data/mareld.bak"},
      {"data/", "readme", "", "data/readme"},
      {"", "readme", "txt", "readme.txt"},
      {"C:\\games\\x\\", "", "", "C:/games/x/"},
      {"a\\b", "c", "", "a/b/c"},
      // The trail byte of the last directory character is no separator, and
      // it is never turned into "/".
      {"dir" + kHyo, "f", "", "dir" + kHyo + "/f"},
      {"", "", "", ""},
  };
  for (const Case& c : cases) {
    char out[264];
    EXPECT_EQ(MakePath(c.dir.c_str(), c.base.c_str(), c.ext.c_str(), out), out);
    EXPECT_EQ(std::string(out), c.expected) << c.dir << "|" << c.base;
  }
  EXPECT_EQ(MakePath("a", "b", "c", nullptr), nullptr);
}

TEST(MakePathTest, CutsAt263Characters) {
  std::string dir(260, 'd');
  char out[264];
  MakePath(dir.c_str(), "basename", "ext", out);
  std::string result(out);
  EXPECT_EQ(result.size(), 263u);
  EXPECT_EQ(result, dir + "/ba");
}

TEST(SplitPathTest, SplitsDirectoryBaseAndExtension) {
  struct Case {
    std::string path, dir, base, ext;
  } cases[] = {
      {"file", "", "file", ""},
      {"dir/file.txt", "dir/", "file", "txt"},
      {"a\\b/c.tar.gz", "a/b/", "c.tar", "gz"},
      {"C:\\games\\x\\update.exe", "C:/games/x/", "update", "exe"},
      {"dir.d/noext", "dir.d/", "noext", ""},
      {"trailing/", "trailing/", "", ""},
      {"dir/" + kHyo + ".txt", "dir/", kHyo, "txt"},
      {kHyo + "\\" + kHyo, kHyo + "/", kHyo, ""},
  };
  for (const Case& c : cases) {
    char dir[264], base[264], ext[264];
    SplitPath(c.path.c_str(), dir, base, ext);
    EXPECT_EQ(std::string(dir), c.dir) << c.path;
    EXPECT_EQ(std::string(base), c.base) << c.path;
    EXPECT_EQ(std::string(ext), c.ext) << c.path;
  }
  char base[264];
  SplitPath("only/base.x", nullptr, base, nullptr);
  EXPECT_STREQ(base, "base");
}

}  // namespace
}  // namespace zorl
