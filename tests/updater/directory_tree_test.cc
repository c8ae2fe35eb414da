#include "engine/directory_tree.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine_fixture.h"
#include "platform/fault.h"

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
  char failed[264];
  EXPECT_TRUE(updater::EmptyDirectoryTree((dir / "t").c_str(),
                                          [&pumps] { ++pumps; }, failed));
  EXPECT_EQ(pumps, 4) << "once per directory listed";
  for (const char* f : {"t/a", "t/b.txt", "t/sub/c", "t/sub/deeper/d"})
    EXPECT_FALSE(Exists(dir / f)) << f;
  for (const char* d : {"t", "t/sub", "t/sub/deeper", "t/empty"})
    EXPECT_TRUE(IsDirectory(dir / d)) << d;
  EXPECT_TRUE(Exists(dir / "outside"));
  EXPECT_TRUE(updater::EmptyDirectoryTree((dir / "missing").c_str(), {}, failed));
}

TEST(EmptyDirectoryTree, AnExistingDirectoryThatCannotBeListedIsAFailure) {
  fixture::TempDir dir;
  fixture::WriteBytes(dir / "x", "x");
  char failed[264];
  platform::ArmFault(1);  // the search itself fails
  const bool ok = updater::EmptyDirectoryTree(dir.path().c_str(), {}, failed);
  platform::DisarmFault();
  EXPECT_FALSE(ok);
  EXPECT_EQ(std::string(failed), dir.path());
  EXPECT_TRUE(Exists(dir / "x"));
}

TEST(EmptyDirectoryTree, APumpThatThrowsEndsTheWalk) {
  fixture::TempDir dir;
  std::filesystem::create_directories(dir / "t/sub");
  fixture::WriteBytes(dir / "t/sub/x", "x");
  char failed[264];
  int pumps = 0;
  EXPECT_THROW(updater::EmptyDirectoryTree(
                   (dir / "t").c_str(),
                   [&pumps] {
                     if (++pumps == 2) throw updater::kFailureSignal;
                   },
                   failed),
               int);
  EXPECT_TRUE(Exists(dir / "t/sub/x"));
}

}  // namespace
