#include "engine/path_resolve.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Resolve(const std::string& dir, const std::string& name) {
  return updater::ResolvedPath(dir.c_str(), name.c_str());
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

TEST(ResolvePath, APathThatDoesNotFitIsRefusedNeverCut) {
  const std::string dir = "/" + std::string(250, 'd');  // 251 bytes
  char out[264];
  // 251 + "/" + 11 = 263 bytes: fits exactly.
  EXPECT_TRUE(updater::ResolvePath(dir.c_str(), std::string(11, 'n').c_str(), out));
  EXPECT_EQ(std::string(out), dir + "/" + std::string(11, 'n'));
  // One more byte, or a two-byte character across the end: refused, and
  // nothing that could name another file is left in `out`.
  for (const std::string& name :
       {std::string(12, 'n'), std::string(10, 'n') + "\x83\x41",
        std::string("precious.txt_obsolete_copy")}) {
    std::fill(out, out + sizeof out, 'x');
    EXPECT_FALSE(updater::ResolvePath(dir.c_str(), name.c_str(), out)) << name;
    EXPECT_STREQ(out, "") << name;
    EXPECT_EQ(updater::ResolvedPath(dir.c_str(), name.c_str()), dir + "/" + name);
  }
}

TEST(JoinPath, AddsOneSeparatorAndRefusesWhatDoesNotFit) {
  char out[264];
  struct Case {
    const char* dir;
    const char* name;
    const char* expected;
  } cases[] = {
      {"/g/tree", "a.txt", "/g/tree/a.txt"},
      {"/g/tree/", "a.txt", "/g/tree/a.txt"},
      {"C:\\g\\", "a", "C:\\g\\a"},
      {"", "a", "a"},
      {"/g/\x83\x5c", "a", "/g/\x83\x5c/a"},  // a trail byte 0x5C is no separator
      {"/g", "*", "/g/*"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(updater::JoinPath(c.dir, c.name, out)) << c.dir;
    EXPECT_STREQ(out, c.expected) << c.dir;
  }
  // A directory of exactly 263 bytes has no room for "/*": the join that
  // used to lose its "/*" and list the directory itself again.
  const std::string full = "/" + std::string(262, 'd');
  EXPECT_FALSE(updater::JoinPath(full.c_str(), "*", out));
  EXPECT_STREQ(out, "");
  const std::string room = "/" + std::string(260, 'd');
  EXPECT_TRUE(updater::JoinPath(room.c_str(), "*", out));
  EXPECT_EQ(std::string(out), room + "/*");
}

}  // namespace
