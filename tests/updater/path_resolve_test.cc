#include "engine/path_resolve.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Resolve(const std::string& dir, const std::string& name) {
  char out[264];
  updater::ResolvePath(dir.c_str(), name.c_str(), out);
  return out;
}

TEST(ResolvePath, Table) {
  struct Case {
    const char* dir;
    const char* name;
    const char* expected;
  } cases[] = {
      {"/g", "", "/g"},
      {"", "a/b.txt", "a/b.txt"},
      {"/g", "a/b.txt", "/g/a/b.txt"},
      {"/g/", "a.txt", "/g/a.txt"},
      {"C:\\Games\\K", "data/a.txt", "C:/Games/K/data/a.txt"},
      {"C:\\Games", "D:x.txt", "D:x.txt"},            // other drive: unchanged
      {"C:\\Games", "c:x.txt", "C:/Games/x.txt"},     // same drive, any case
      {"C:\\Games", "/abs/x", "C:/abs/x"},            // rooted name
      {"C:\\Games", "\\abs\\x", "C:\\abs\\x"},
      {"\\Games", "D:x", "D:/Games/x"},               // the name's drive
      {"relative/dir", "a.txt", "a.txt"},             // unrooted directory
      {"C:rel", "a.txt", "C:a.txt"},
      {"/a/b/c", "./x.txt", "/a/b/c/x.txt"},
      {"/a/b/c", "../x.txt", "/a/b/x.txt"},
      {"/a/b/c", ".../x.txt", "/a/x.txt"},
      {"/a/b/c", "../.././x.txt", "/a/x.txt"},
      {"/a/b/c", "../../../x.txt", "/x.txt"},
      {"/a/b/c", "../../../../x.txt", "/../../../../x.txt"},  // ran out
      {"C:\\a", "..\\..\\x", "C:/..\\..\\x"},
      {"/a/b/c", "..x/y.txt", "/a/b/c/..x/y.txt"},    // not all dots
      {"/a/b/c", "d/../e.txt", "/a/b/c/d/../e.txt"},  // only leading ones
      {"/a/b/c", "..", "/a/b/c/.."},                  // a file name, not a dir
      // cp932: "\x83\x5c" is one character whose trail byte is "\".
      {"/g/\x83\x5c", "../x", "/g/x"},
      {"/g", "\x83\x5c/a.txt", "/g/\x83\x5c/a.txt"},
      {"C:\\\x83\x5c", "a", "C:/\x83\x5c/a"},
      {"/g/\x83\x5c", "\x83\x5c\\..\\x", "/g/\x83\x5c/\x83\x5c\\..\\x"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Resolve(c.dir, c.name), c.expected)
        << "dir " << c.dir << " name " << c.name;
}

TEST(ResolvePath, CutsAt263WithoutSplittingACharacter) {
  const std::string dir = "/" + std::string(250, 'd');
  EXPECT_EQ(Resolve(dir, std::string(40, 'n')).size(), 263u);
  // 252 bytes of directory and "/", then 10 bytes: a two-byte character
  // at bytes 262-263 must not be split, so the result stops at 262.
  const std::string name = std::string(10, 'n') + "\x83\x41" + "zz";
  EXPECT_EQ(Resolve(dir, name), dir + "/" + std::string(10, 'n'));
}

}  // namespace
