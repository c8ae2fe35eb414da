// Game trees as the tools take them in: links, devices, names Windows
// cannot hold or keep apart, and removing a scratch tree without ever
// following a link. Runs in every tree (links where the system can make
// them; Wine here cannot, and those parts skip).
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

#include "interrupt.h"
#include "patchlib/entry_name.h"
#include "patchlib/game_tree.h"
#include "patchlib/tree_copy.h"
#include "patchlib/windows_name.h"
#include "platform/file.h"
#include "platform/filesystem.h"
#include "support/links.h"
#include "support/temp_dir.h"

namespace patchlib {
namespace {

using testing_support::TempDir;
using testing_support::WriteFileBytes;

std::vector<std::string> Paths(const std::vector<TreeItem>& items) {
  std::vector<std::string> paths;
  for (const TreeItem& item : items) paths.push_back(item.path + (item.is_directory ? "/" : ""));
  return paths;
}

// Whether every component of `rel` is listed under its exact name below
// `root` (Windows may have written another name, or a device).
bool Holds(const std::string& root, const std::string& rel) {
  std::string at = root;
  for (const std::string& part : SplitComponents(rel)) {
    const std::vector<std::string> listed = testing_support::ListDirectory(at);
    if (std::find(listed.begin(), listed.end(), part) == listed.end()) return false;
    at += "/" + part;
  }
  return true;
}

// WalkTree's verdict on a tree: "" when accepted, else its error.
std::string Refusal(const std::string& root, const WalkOptions& options = {}) {
  std::vector<TreeItem> items;
  std::string error;
  return WalkTree(root, &items, &error, options) ? "" : error;
}

TEST(WindowsName, DeviceNamesAndTrailingDotsOrSpaces) {
  for (const char* bad : {"con", "CON", "aux.txt", "nul.png", "Nul.tar.gz", "com1",
                          "LPT9.log", "conin$", "prn ", "con .txt", "a.", "a ", "...x."})
    EXPECT_NE(WindowsNameProblem(bad), "") << bad;
  for (const char* good : {"console", "auxiliary.txt", "com0", "com10", "lpt", "nul_",
                           "a.b", ".hidden", "x.con"})
    EXPECT_EQ(WindowsNameProblem(good), "") << good;
  std::string why;
  EXPECT_FALSE(ValidComponent("aux.txt", &why));
  EXPECT_NE(why.find("device"), std::string::npos) << why;
  EXPECT_FALSE(SafeRelativePath("data/con/x.txt", &why));
}

TEST(WindowsName, KeysJoinWhatWindowsCannotKeepApart) {
  struct Case {
    std::string a, b;
    bool same;
  } cases[] = {
      {"Config/Settings.ini", "config/settings.INI", true},
      {"\x82\x60.txt", "\x82\x81.txt", true},          // full-width Ａ and ａ
      {"\x83\x9F", "\x83\xBF", true},                  // Greek Α and α
      {"\x84\x40", "\x84\x70", true},                  // Cyrillic А and а
      {"\x87\x54", "\xFA\x4A", true},                  // Ⅰ: NEC and IBM codes
      {"\x87\x54", "\xFA\x40", true},                  // Ⅰ and ⅰ (IBM)
      {"\x95\x5C", "\x95\x5D", false},                 // 表 and another kanji
      {"a\x85\x40", "a\x85\x41", false},               // non-characters stay apart
      {"a.txt", "a.txt ", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FileNameKey(c.a) == FileNameKey(c.b), c.same) << c.a << " / " << c.b;
}

TEST(GamePathTest, TheUpdatersReadingOfAName) {
  struct Case {
    const char* name;
    const char* place;  // nullptr: outside or the game directory itself
  } cases[] = {
      {"cache", "cache"},          {"./cache", "cache"},
      {"cache/.", "cache"},        {"cache\\", "cache"},
      {"cache/", "cache"},         {"cache/deep/..", "cache"},
      {"a//b\\c/", "a/b/c"},       {"\x95\x5C/x", "\x95\x5C/x"},
      {".", nullptr},              {"", nullptr},
      {"a/..", nullptr},           {"../cache", nullptr},
      {"/cache", nullptr},         {"C:cache", nullptr},
  };
  for (const Case& c : cases) {
    std::string place;
    EXPECT_EQ(GamePath(c.name, &place), c.place != nullptr) << c.name;
    if (c.place) {
      EXPECT_EQ(place, c.place) << c.name;
    }
  }
}

TEST(TreeWalk, RefusesNamesWindowsCannotHoldOrKeepApart) {
  struct Case {
    std::vector<std::string> files;
    const char* says;
  } cases[] = {
      {{"config/Settings.ini", "config/settings.ini"}, "letter case"},
      {{"Data/a", "data/b"}, "letter case"},
      {{"con"}, "device"},
      {{"sub/aux.txt"}, "device"},
      {{"nul.png"}, "device"},
      {{"dot."}, "dot or a space"},
      {{"space "}, "dot or a space"},
  };
  for (const Case& c : cases) {
    TempDir dir("walk");
    bool made = true;
    for (const std::string& file : c.files) {
      const std::string::size_type slash = file.rfind('/');
      const std::string parent = slash == std::string::npos ? "" : file.substr(0, slash);
      if (!parent.empty()) platform::MakeDirectory((dir / parent).c_str());
      WriteFileBytes(dir / file, "x");
      made = made && Holds(dir.path(), file);
    }
    // Windows itself cannot make these names (it writes a device, drops
    // the dot, or opens the other file): what it cannot make, no tree
    // there holds.
    if (!made) continue;
    const std::string error = Refusal(dir.path());
    EXPECT_NE(error.find(c.says), std::string::npos) << c.files[0] << ": " << error;
  }
}

TEST(TreeWalk, LinksAreRefusedOrFollowedWithoutLooping) {
  TempDir dir("walk");
  TempDir outside("secret");
  ASSERT_TRUE(WriteFileBytes(outside / "shadow", "secret"));
  ASSERT_TRUE(platform::MakeDirectory((dir / "config").c_str()));
  ASSERT_TRUE(WriteFileBytes(dir / "config/plain.cfg", "p"));
  EXPECT_EQ(Refusal(dir.path()), "");
  if (!testing_support::MakeFileLink(outside / "shadow", dir / "config/leak.cfg"))
    GTEST_SKIP() << "this system cannot make links";
  std::string error = Refusal(dir.path());
  EXPECT_NE(error.find("config/leak.cfg"), std::string::npos) << error;
  EXPECT_NE(error.find("link"), std::string::npos) << error;

  // Followed, the link counts as the file it points to.
  WalkOptions follow;
  follow.follow_links = true;
  std::vector<TreeItem> items;
  ASSERT_TRUE(WalkTree(dir.path(), &items, &error, follow)) << error;
  EXPECT_EQ(Paths(items), (std::vector<std::string>{"config/", "config/leak.cfg",
                                                    "config/plain.cfg"}));
  EXPECT_EQ(items[1].size, 6u);

  // Dangling, and a loop of three links to ".": refused either way.
  ASSERT_TRUE(testing_support::MakeFileLink(outside / "nothing", dir / "dangling"));
  EXPECT_NE(Refusal(dir.path(), follow).find("points nowhere"), std::string::npos);
  platform::RemoveFile((dir / "dangling").c_str());
  for (const char* name : {"l1", "l2", "l3"})
    ASSERT_TRUE(testing_support::MakeDirectoryLink(dir.path(), dir / "config/" + name));
  error = Refusal(dir.path(), follow);
  EXPECT_NE(error.find("loop"), std::string::npos) << error;
}

TEST(TreeWalk, FifosAreRefusedWithoutBeingOpened) {
  TempDir dir("walk");
  if (!testing_support::MakeFifo(dir / "pipe")) GTEST_SKIP() << "no FIFOs here";
  const std::string error = Refusal(dir.path());  // would block if opened
  EXPECT_NE(error.find("pipe"), std::string::npos) << error;
  EXPECT_NE(error.find("FIFO"), std::string::npos) << error;
}

TEST(TreeWalk, RemoveTreeNeverFollowsALink) {
  TempDir victim("victim");
  ASSERT_TRUE(WriteFileBytes(victim / "keep", "keep me"));
  TempDir dir("scratch");
  const std::string scratch = dir / "tree";
  ASSERT_TRUE(platform::MakeDirectory(scratch.c_str()));
  ASSERT_TRUE(platform::MakeDirectory((scratch + "/sub").c_str()));
  ASSERT_TRUE(WriteFileBytes(scratch + "/sub/f", "f"));
  const bool links = testing_support::MakeDirectoryLink(victim.path(), scratch + "/sub/in") &&
                     testing_support::MakeDirectoryLink(victim.path(), dir / "link");
  EXPECT_TRUE(RemoveTree(scratch));
  EXPECT_EQ(platform::GetPathKind(scratch.c_str()), platform::PathKind::kNone);
  if (links) {
    EXPECT_TRUE(RemoveTree(dir / "link"));  // the link goes, not its target
    EXPECT_FALSE(platform::IsLink((dir / "link").c_str()));
  }
  std::string bytes;
  ASSERT_TRUE(testing_support::ReadFileBytes(victim / "keep", &bytes));
  EXPECT_EQ(bytes, "keep me");
}

// Large files are cut short before they are deleted: never through a link, whose target is
// not the tools' to touch.
TEST(TreeWalk, RemovingLargeFilesNeverCutsALinkedFileShort) {
  constexpr std::uint64_t kLarge = 200u << 20;  // sparse: quick to make
  auto make_large = [](const std::string& path) {
    const platform::FileHandle file =
        platform::FileOpen(path.c_str(), platform::kFileWrite | platform::kFileCreate);
    const bool made = file != platform::kInvalidFile && platform::FileTruncate(file, kLarge);
    platform::FileClose(file);
    return made;
  };
  auto size_of = [](const std::string& path) {
    const platform::FileHandle file = platform::FileOpen(path.c_str(), 0);
    const std::int64_t size = platform::FileSize(file);
    platform::FileClose(file);
    return size;
  };
  TempDir victim("victim");
  ASSERT_TRUE(make_large(victim / "big"));
  TempDir dir("scratch");
  const std::string scratch = dir / "tree";
  ASSERT_TRUE(platform::MakeDirectory(scratch.c_str()));
  ASSERT_TRUE(make_large(scratch + "/own.bin"));
  ASSERT_TRUE(make_large(dir / "alone.bin"));
  const bool links = testing_support::MakeFileLink(victim / "big", scratch + "/linked.bin") &&
                     testing_support::MakeFileLink(victim / "big", dir / "link.bin");
  EXPECT_TRUE(RemoveTree(scratch));
  EXPECT_EQ(platform::GetPathKind(scratch.c_str()), platform::PathKind::kNone);
  EXPECT_TRUE(RemoveMadeFile(dir / "alone.bin"));
  EXPECT_EQ(platform::GetPathKind((dir / "alone.bin").c_str()), platform::PathKind::kNone);
  if (links) {
    EXPECT_TRUE(RemoveMadeFile(dir / "link.bin"));
    EXPECT_FALSE(platform::IsLink((dir / "link.bin").c_str()));
  }
  EXPECT_EQ(size_of(victim / "big"), static_cast<std::int64_t>(kLarge));
}

TEST(TreeWalk, AStopRequestEndsTheWalk) {
  TempDir dir("walk");
  ASSERT_TRUE(WriteFileBytes(dir / "a", "a"));
  std::vector<TreeItem> items;
  std::string error;
  {
    // Ctrl-C while the front door listens.
    tools::InterruptListener listener;
    ASSERT_EQ(std::raise(SIGINT), 0);
    EXPECT_TRUE(tools::StopWasRequested());
    EXPECT_THROW(WalkTree(dir.path(), &items, &error), tools::StopRequested);
  }
  // The next listener starts without the old request.
  tools::InterruptListener listener;
  EXPECT_TRUE(WalkTree(dir.path(), &items, &error)) << error;
}

}  // namespace
}  // namespace patchlib
