#include "engine/planned_files.h"

#include <gtest/gtest.h>

namespace {

TEST(PathKey, ReadsPathsAsTheFileSystemDoes) {
  struct Case {
    const char* path;
    bool fold;
    const char* key;
  } cases[] = {
      {"/g/a.txt", false, "/g/a.txt"},
      {"/g//a.txt", false, "/g/a.txt"},
      {"/g/./sub/../a.txt", false, "/g/a.txt"},
      {"/g\\sub\\..\\a.txt", false, "/g/a.txt"},
      {"/g/A.TXT", false, "/g/A.TXT"},        // every byte counts
      {"/g/A.TXT", true, "/g/a.txt"},         // Windows: case folded
      {"/g/a.txt. ", true, "/g/a.txt"},       // and trailing dots and spaces
      {"/g/a.txt.", false, "/g/a.txt."},
      {"C:\\G\\x", true, "c:/g/x"},
      {"/..", false, "/"},                     // the root's parent is the root
      {"/", false, "/"},
      {"a/../../b", false, "../b"},            // relative paths keep what is left
      {"", false, "."},
      {"/g/\x83\x5c/x", false, "/g/\x83\x5c/x"},  // a trail byte 0x5C is no separator
      {"/g/\x83\x41", true, "/g/\x83\x41"},       // nor folded
  };
  for (const Case& c : cases)
    EXPECT_EQ(updater::PathKey(c.path, c.fold), c.key) << c.path << " fold " << c.fold;
}

TEST(PathKey, InsideIsTheDirectoryOrBelowIt) {
  EXPECT_TRUE(updater::PathIsInside("/g", "/g", false));
  EXPECT_TRUE(updater::PathIsInside("/g/a/../b", "/g", false));
  EXPECT_TRUE(updater::PathIsInside("/g/x", "/g/", false));
  EXPECT_FALSE(updater::PathIsInside("/g/../x", "/g", false));
  EXPECT_FALSE(updater::PathIsInside("/gx", "/g", false)) << "a prefix is no parent";
  EXPECT_FALSE(updater::PathIsInside("C:/g/x", "/g", false));
  EXPECT_TRUE(updater::PathIsInside("c:\\G\\X", "C:/g", true));
  EXPECT_FALSE(updater::PathIsInside("D:x", "C:/g", true));
  EXPECT_TRUE(updater::PathIsInside("/anything", "/", false));
}

}  // namespace
