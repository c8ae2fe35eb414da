// The check before the first change: what it plans for each command, what
// it accepts because earlier commands make it so, and that a dry run
// changes nothing.
#include "engine/command_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "engine/update_run.h"
#include "engine_fixture.h"
#include "platform/filesystem.h"
#include "support/links.h"

namespace {

using fixture::Commands;
using updater::PlannedAction;

struct Game {
  fixture::TempDir dir;
  std::string exe = dir / "patch.exe";
  Game() {
    fixture::WriteBytes(dir / "mareld.dat",
                        fixture::MakeArchive({{"data/a.txt", "old-a"}, {"gone.txt", "bye"}}));
    fixture::WriteBytes(dir / "old.txt", "old");
    std::filesystem::create_directories(dir / "tree/sub");
    fixture::WriteBytes(dir / "tree/a", "a");
    fixture::WriteBytes(dir / "tree/sub/b", "b");
  }
  bool Run(const Commands& c, fixture::RecordingUi& ui, const updater::RunOptions& o = {}) {
    fixture::WriteBytes(exe, fixture::MakeUpdater(c));
    return updater::RunUpdate(ui, exe.c_str(), dir.path().c_str(), o);
  }
};

struct Seen {
  std::uint32_t opcode;
  PlannedAction action;
  std::string name, path;
  std::int64_t size;
  std::uint64_t files;
  bool operator==(const Seen& o) const {
    return opcode == o.opcode && action == o.action && name == o.name && path == o.path &&
           size == o.size && files == o.files;
  }
};
std::ostream& operator<<(std::ostream& out, const Seen& s) {
  return out << s.opcode << "/" << static_cast<int>(s.action) << " " << s.name << " ["
             << s.path << "] size " << s.size << " files " << s.files;
}

TEST(CommandCheck, ADryRunPlansEveryCommandAndChangesNothing) {
  Game game;
  const Commands c = Commands()
                         .WriteFile("new/file.txt", "hello")    // create
                         .WriteFile("old.txt", "again")         // overwrite
                         .WriteFile("tree/w", "w")              // create, in the tree
                         .DeleteFile("old.txt")
                         .MakeDirectory("made")
                         .MakeDirectory("tree")                 // exists
                         .EmptyTree("tree")                     // a, sub/b, w
                         .EmptyTree("missing")
                         .PutEntry("DATA/A.TXT", "new-a")       // replaces
                         .PutEntry("new.bin", "nn")
                         .RemoveEntry("gone.txt")
                         .WriteFileSized("empty.txt", 0xFFFFFFFFu, "");
  fixture::WriteBytes(game.exe, fixture::MakeUpdater(c));
  const fixture::Snapshot before = fixture::TakeSnapshot(game.dir.path(), true);
  std::vector<Seen> seen;
  bool checked = false;
  updater::RunOptions options;
  options.planned = [&seen](const updater::PlannedCommand& p) {
    seen.push_back({p.opcode, p.action, p.name, p.path, p.size, p.files});
  };
  options.checked = [&checked] { checked = true; };
  options.dry_run = true;
  fixture::RecordingUi ui;
  EXPECT_TRUE(updater::RunUpdate(ui, game.exe.c_str(), game.dir.path().c_str(), options));
  EXPECT_TRUE(checked);
  EXPECT_TRUE(ui.messages.empty()) << "a dry run shows no completion message";
  const std::string d = game.dir.path();
  const std::vector<Seen> want = {
      {0, PlannedAction::kCreateFile, "new/file.txt", d + "/new/file.txt", 5, 0},
      {0, PlannedAction::kOverwriteFile, "old.txt", d + "/old.txt", 5, 0},
      {0, PlannedAction::kCreateFile, "tree/w", d + "/tree/w", 1, 0},
      {1, PlannedAction::kDeleteFile, "old.txt", d + "/old.txt", 0, 0},
      {2, PlannedAction::kMakeDirectory, "made", d + "/made", 0, 0},
      {2, PlannedAction::kDirectoryExists, "tree", d + "/tree", 0, 0},
      {3, PlannedAction::kEmptyTree, "tree", d + "/tree", 0, 3},
      {3, PlannedAction::kEmptyTree, "missing", d + "/missing", 0, 0},
      {4, PlannedAction::kReplaceEntry, "DATA/A.TXT", "", 5, 0},
      {4, PlannedAction::kPutNewEntry, "new.bin", "", 2, 0},
      {5, PlannedAction::kRemoveEntry, "gone.txt", "", 0, 0},
      {0, PlannedAction::kCreateFile, "empty.txt", d + "/empty.txt", -1, 0},
  };
  EXPECT_EQ(seen, want);
  const fixture::Snapshot after = fixture::TakeSnapshot(game.dir.path(), true);
  EXPECT_EQ(after, before) << fixture::Diff(before, after);
}

TEST(CommandCheck, AcceptsWhatEarlierCommandsMake) {
  const Commands cases[] = {
      Commands().WriteFile("a.txt", "a").DeleteFile("a.txt"),
      Commands().EmptyTree("tree").WriteFile("tree/x", "x").DeleteFile("tree/x"),
      Commands().DeleteFile("old.txt").WriteFile("old.txt", "2").DeleteFile("./old.txt"),
      Commands().PutEntry("n.bin", "n").RemoveEntry("N.BIN"),
      Commands().RemoveEntry("gone.txt").PutEntry("gone.txt", "back").RemoveEntry("gone.txt"),
      Commands().WriteFile("tree/sub/../c", "c").DeleteFile("tree/c"),
      Commands().EmptyTree("tree/sub").EmptyTree("tree").WriteFile("tree/sub/b", "b").DeleteFile(
          "tree/sub/b"),
  };
  for (const Commands& c : cases) {
    Game game;
    fixture::RecordingUi ui;
    EXPECT_TRUE(game.Run(c, ui)) << (ui.messages.empty() ? "" : ui.messages[0]);
  }
}

TEST(CommandCheck, AnEmptiedTreeNeverReachesThroughALink) {
  Game game;
  std::filesystem::create_directories(game.dir / "elsewhere");
  fixture::WriteBytes(game.dir / "elsewhere/precious", "p");
  if (!testing_support::MakeDirectoryLink(game.dir / "elsewhere", game.dir / "tree/link"))
    GTEST_SKIP() << "this system cannot make directory links";
  std::uint64_t files = 0;
  updater::RunOptions options;
  options.planned = [&files](const updater::PlannedCommand& p) { files = p.files; };
  fixture::RecordingUi ui;
  ASSERT_TRUE(game.Run(Commands().EmptyTree("tree"), ui, options));
  EXPECT_EQ(files, 3u) << "a, sub/b and the link itself";
  EXPECT_FALSE(platform::IsLink((game.dir / "tree/link").c_str()));
  EXPECT_EQ(fixture::ReadBytes(game.dir / "elsewhere/precious"), "p");
}

TEST(CommandCheck, PathsOf262And263BytesFit) {
  if (platform::NamesIgnoreCase()) GTEST_SKIP() << "Windows takes no path of 262 bytes";
  fixture::TempDir root;
  const std::string dir = root.path() + "/" + std::string(150, 'g');
  ASSERT_TRUE(std::filesystem::create_directory(dir));
  fixture::WriteBytes(dir + "/mareld.dat", fixture::MakeArchive({}));
  for (const std::size_t total : {262u, 263u}) {
    const std::string file = std::string(total - dir.size() - 1, 'f');
    const std::string made = std::string(total - dir.size() - 1, 'm');
    const std::string exe = dir + "/patch.exe";
    fixture::WriteBytes(exe, fixture::MakeUpdater(Commands()
                                                      .WriteFile(file, "x")
                                                      .DeleteFile(file)
                                                      .WriteFile(file, "y")
                                                      .MakeDirectory(made)
                                                      .EmptyTree(made)));
    fixture::RecordingUi ui;
    EXPECT_TRUE(updater::RunUpdate(ui, exe.c_str(), dir.c_str()))
        << total << ": " << (ui.messages.empty() ? "" : ui.messages[0]);
    EXPECT_EQ(fixture::ReadBytes(dir + "/" + file), "y") << total;
    EXPECT_TRUE(fixture::IsDirectory(dir + "/" + made)) << total;
  }
}

}  // namespace
