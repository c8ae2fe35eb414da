#include "engine/directory_tree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "platform/fault.h"
#include "platform/filesystem.h"
#include "support/links.h"

namespace {

using fixture::Exists;
using fixture::IsDirectory;

TEST(MakeDirectoryTree, CreatesMissingLevelsAndAcceptsExistingOnes) {
  fixture::TempDir dir;
  EXPECT_TRUE(updater::MakeDirectoryTree((dir / "a/b\\c/d/").c_str()));
  EXPECT_TRUE(IsDirectory(dir / "a/b/c/d"));
  EXPECT_TRUE(updater::MakeDirectoryTree((dir / "a/b").c_str()));
  EXPECT_TRUE(updater::MakeDirectoryTree(dir.path().c_str()));
  fixture::WriteBytes(dir / "file", "x");
  EXPECT_FALSE(updater::MakeDirectoryTree((dir / "file/sub").c_str()));
  EXPECT_FALSE(updater::MakeDirectoryTree((dir / "file").c_str()));
  EXPECT_TRUE(updater::MakeDirectoryTree("/")) << "the root stays the root";
}

TEST(EmptyDirectoryTree, DeletesFilesAtEveryLevelAndKeepsDirectories) {
  fixture::TempDir dir;
  std::filesystem::create_directories(dir / "t/sub/deeper");
  std::filesystem::create_directories(dir / "t/empty");
  for (const char* f : {"t/a", "t/b.txt", "t/sub/c", "t/sub/deeper/d"})
    fixture::WriteBytes(dir / f, f);
  fixture::WriteBytes(dir / "outside", "stays");
  int pumps = 0;
  std::string failed;
  EXPECT_TRUE(updater::EmptyDirectoryTree((dir / "t").c_str(),
                                          [&pumps] { ++pumps; }, &failed));
  EXPECT_EQ(pumps, 12) << "once per directory listed, in each of three walks: one that "
                           "deletes and two that find nothing left";
  for (const char* f : {"t/a", "t/b.txt", "t/sub/c", "t/sub/deeper/d"})
    EXPECT_FALSE(Exists(dir / f)) << f;
  for (const char* d : {"t", "t/sub", "t/sub/deeper", "t/empty"})
    EXPECT_TRUE(IsDirectory(dir / d)) << d;
  EXPECT_TRUE(Exists(dir / "outside"));
  EXPECT_TRUE(updater::EmptyDirectoryTree((dir / "missing").c_str(), {}, &failed));
}

TEST(EmptyDirectoryTree, AnExistingDirectoryThatCannotBeListedIsAFailure) {
  fixture::TempDir dir;
  fixture::WriteBytes(dir / "x", "x");
  std::string failed;
  platform::ArmFault(1);  // the search itself fails
  const bool ok = updater::EmptyDirectoryTree(dir.path().c_str(), {}, &failed);
  platform::DisarmFault();
  EXPECT_FALSE(ok);
  EXPECT_EQ(failed, dir.path());
  EXPECT_TRUE(Exists(dir / "x"));
}

TEST(EmptyDirectoryTree, APumpThatThrowsEndsTheWalk) {
  fixture::TempDir dir;
  std::filesystem::create_directories(dir / "t/sub");
  fixture::WriteBytes(dir / "t/sub/x", "x");
  std::string failed;
  int pumps = 0;
  EXPECT_THROW(updater::EmptyDirectoryTree(
                   (dir / "t").c_str(),
                   [&pumps] {
                     if (++pumps == 2) throw updater::kFailureSignal;
                   },
                   &failed),
               int);
  EXPECT_TRUE(Exists(dir / "t/sub/x"));
}

TEST(EmptyDirectoryTree, DeletesLinksThemselvesAndNeverDescendsThroughThem) {
  fixture::TempDir dir;
  std::filesystem::create_directories(dir / "elsewhere/deep");
  fixture::WriteBytes(dir / "elsewhere/precious", "p");
  fixture::WriteBytes(dir / "elsewhere/deep/also", "a");
  std::filesystem::create_directories(dir / "tree/sub");
  fixture::WriteBytes(dir / "tree/sub/x", "x");
  if (!testing_support::MakeDirectoryLink(dir / "elsewhere", dir / "tree/link"))
    GTEST_SKIP() << "this system cannot make directory links";
  const bool file_links =
      testing_support::MakeFileLink(dir / "elsewhere/precious", dir / "tree/sub/file-link") &&
      testing_support::MakeFileLink(dir / "nowhere", dir / "tree/dangling");
  (void)file_links;
  std::string failed;
  EXPECT_TRUE(updater::EmptyDirectoryTree((dir / "tree").c_str(), {}, &failed)) << failed;
  for (const char* gone : {"tree/link", "tree/sub/file-link", "tree/dangling", "tree/sub/x"})
    EXPECT_FALSE(platform::IsLink((dir / gone).c_str()) || Exists(dir / gone)) << gone;
  EXPECT_EQ(fixture::ReadBytes(dir / "elsewhere/precious"), "p");
  EXPECT_EQ(fixture::ReadBytes(dir / "elsewhere/deep/also"), "a");
  EXPECT_TRUE(IsDirectory(dir / "tree/sub"));

  // The tree the caller names is entered even when it is a link itself.
  ASSERT_TRUE(testing_support::MakeDirectoryLink(dir / "elsewhere/deep", dir / "named"));
  EXPECT_TRUE(updater::EmptyDirectoryTree((dir / "named").c_str(), {}, &failed));
  EXPECT_FALSE(Exists(dir / "elsewhere/deep/also"));
  EXPECT_TRUE(platform::IsLink((dir / "named").c_str()));
}

TEST(EmptyDirectoryTree, PathsThatDoNotFitAreFailuresNeverCut) {
  // A tree whose path is exactly 263 bytes: its listing pattern is longer
  // than a path buffer (once cut, it listed the tree itself again and
  // recursed until the process crashed), and so is every file's path.
  fixture::TempDir dir;
  std::string tree = dir.path();
  while (tree.size() < 263) {
    const std::size_t room = 263 - tree.size() - 1;
    tree += "/" + std::string(room > 100 ? 100 : room, 'd');
  }
  ASSERT_EQ(tree.size(), 263u);
  ASSERT_TRUE(std::filesystem::create_directories(tree));
  std::string failed;
  EXPECT_TRUE(updater::EmptyDirectoryTree(tree.c_str(), {}, &failed))
      << "an empty tree lists without a cut";
  fixture::WriteBytes(tree + "/f", "f");
  EXPECT_FALSE(updater::EmptyDirectoryTree(tree.c_str(), {}, &failed));
  EXPECT_EQ(failed, tree + "/f") << "named whole";
  EXPECT_EQ(fixture::ReadBytes(tree + "/f"), "f");

  // One level up the files fit; a long name below does not.
  const std::string parent = tree.substr(0, tree.rfind('/'));
  fixture::WriteBytes(parent + "/short", "s");
  EXPECT_FALSE(updater::EmptyDirectoryTree(parent.c_str(), {}, &failed));
  EXPECT_EQ(failed, tree + "/f");
}

TEST(EmptyDirectoryTree, FilesToKeepStopTheWalkAndRemovalCanBeReplaced) {
  fixture::TempDir dir;
  std::filesystem::create_directories(dir / "t");
  fixture::WriteBytes(dir / "t/a", "a");
  fixture::WriteBytes(dir / "t/keep", "k");
  std::string failed;
  std::vector<std::string> removed;
  EXPECT_FALSE(updater::EmptyDirectoryTree(
      (dir / "t").c_str(), {}, &failed,
      [](const updater::TreeFile& f) {
        return std::string(f.path).find("keep") != std::string::npos;
      },
      [&removed](const char* path) {
        removed.push_back(path);
        return true;
      }));
  EXPECT_EQ(failed, dir / "t/keep");
  EXPECT_TRUE(Exists(dir / "t/a")) << "the replacement did the removing";
  EXPECT_LE(removed.size(), 1u);
}

}  // namespace
