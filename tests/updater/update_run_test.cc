#include "engine/update_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/messages.h"
#include "engine/patch_commands.h"
#include "engine/patch_format.h"
#include "engine/progress.h"
#include "engine_fixture.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;
using fixture::Commands;
using fixture::Exists;
using fixture::Format;
using fixture::IsDirectory;
using fixture::Le32;
using fixture::ReadBytes;

const Entries kOldEntries = {
    {"data/a.txt", "old-a"}, {"keep.bin", "keep"}, {"gone.txt", "bye"}};

// A game directory with an archive and an updater executable.
struct Game {
  fixture::TempDir dir;
  std::string old_archive = fixture::MakeArchive(kOldEntries);
  std::string exe = dir / "patch.exe";

  Game() { fixture::WriteBytes(dir / "mareld.dat", old_archive); }
  bool Run(const std::string& exe_bytes, fixture::RecordingUi& ui) {
    fixture::WriteBytes(exe, exe_bytes);
    return updater::RunUpdate(ui, exe.c_str(), dir.path().c_str());
  }
  bool Run(const Commands& commands, fixture::RecordingUi& ui) {
    return Run(fixture::MakeUpdater(commands), ui);
  }
  std::string Archive() const { return ReadBytes(dir / "mareld.dat"); }
  bool HasTemporaryFiles() const {
    for (const auto& name : dir.List())
      if (name.rfind("qx", 0) == 0) return true;
    return false;
  }
};

TEST(UpdateRun, RunsAllSixCommandsRebuildsAndCompletes) {
  Game game;
  std::filesystem::create_directories(game.dir / "tree/sub");
  fixture::WriteBytes(game.dir / "tree/x.txt", "x");
  fixture::WriteBytes(game.dir / "tree/sub/y.txt", "y");
  fixture::WriteBytes(game.dir / "old.txt", "old");
  fixture::WriteBytes(game.dir / "empty.txt", "not empty yet");
  const std::string big(3 * 1024 * 1024 + 5, 'B');
  Commands c;
  c.WriteFile("new/dir/file.txt", "hello")
      .WriteFile("empty.txt", "")
      .WriteFileSized("negative.txt", 0xFFFFFFFFu, "")  // signed: empty
      .WriteFile("big.bin", big)
      .DeleteFile("old.txt")
      .MakeDirectory("made/deep")
      .MakeDirectory("made")
      .EmptyTree("tree")
      .EmptyTree("missing")
      .PutEntry("DATA/A.TXT", "new-a")   // replaces, moves to the end
      .PutEntry("Added.bin", "added")
      .RemoveEntry("GONE.txt")
      .PutEntry("temp", "t")
      .RemoveEntry("temp")                // a later command sees earlier ones
      .WriteFile("old.txt", "again");     // deleted, then written again
  fixture::RecordingUi ui;
  ASSERT_TRUE(game.Run(c, ui));

  EXPECT_EQ(ui.messages, std::vector<std::string>{updater::kMsgCompleted});
  EXPECT_EQ(ui.kinds[0], updater::MessageKind::kInformation);
  EXPECT_EQ(ReadBytes(game.dir / "new/dir/file.txt"), "hello");
  EXPECT_EQ(ReadBytes(game.dir / "empty.txt"), "");
  EXPECT_EQ(ReadBytes(game.dir / "negative.txt"), "");
  EXPECT_EQ(ReadBytes(game.dir / "big.bin"), big);
  EXPECT_EQ(ReadBytes(game.dir / "old.txt"), "again");
  EXPECT_TRUE(IsDirectory(game.dir / "made/deep"));
  EXPECT_FALSE(Exists(game.dir / "tree/x.txt"));
  EXPECT_FALSE(Exists(game.dir / "tree/sub/y.txt"));
  EXPECT_TRUE(IsDirectory(game.dir / "tree/sub"));
  EXPECT_EQ(game.Archive(),
            fixture::MakeArchive({{"keep.bin", "keep"},
                                  {"data/a.txt", "new-a"},
                                  {"added.bin", "added"}}));
  EXPECT_FALSE(Exists(game.dir / "mareld.bak"));
  EXPECT_FALSE(game.HasTemporaryFiles());

  const std::vector<std::string> names = {
      "new/dir/file.txt", "empty.txt", "negative.txt", "big.bin", "old.txt",
      "made/deep", "made", "tree", "missing", "DATA/A.TXT", "Added.bin",
      "GONE.txt", "temp", "temp", "old.txt", ""};
  EXPECT_EQ(ui.names, names) << "each name as read, emptied for the rebuild";
  EXPECT_EQ(ui.statuses, std::vector<std::string>{updater::kStatusRebuilding});
  ASSERT_FALSE(ui.progress.empty());
  EXPECT_EQ(ui.progress.back(), updater::kProgressRange);
  EXPECT_GE(ui.pumps, 2 * 15) << "pumped before every command";
}

TEST(UpdateRun, EmptyPayloadStillRebuildsTheArchive) {
  Game game;
  // Upper-case names and loose packing come out lowered and packed.
  game.old_archive = "KMF " + Le32(1) + Le32(3) + "ABC" + Le32(0) + Le32(4);
  fixture::WriteBytes(game.dir / "mareld.dat", game.old_archive);
  fixture::RecordingUi ui;
  ASSERT_TRUE(game.Run(Commands(), ui));
  EXPECT_EQ(game.Archive(), fixture::MakeArchive({{"abc", "KMF "}}));
  EXPECT_EQ(ui.messages, std::vector<std::string>{updater::kMsgCompleted});
}

TEST(UpdateRun, StaleBackupIsReplaced) {
  Game game;
  fixture::WriteBytes(game.dir / "mareld.bak", "stale");
  fixture::RecordingUi ui;
  ASSERT_TRUE(game.Run(Commands().RemoveEntry("keep.bin"), ui));
  EXPECT_FALSE(Exists(game.dir / "mareld.bak"));
  EXPECT_EQ(game.Archive(), fixture::MakeArchive({{"data/a.txt", "old-a"},
                                                  {"gone.txt", "bye"}}));
}

struct FailureCase {
  const char* what;
  std::function<void(Game&)> setup;
  std::function<std::string(Game&)> exe;
  std::function<std::string(Game&)> message;
};

std::string Updater(const Commands& c) { return fixture::MakeUpdater(c); }
std::function<std::string(Game&)> With(const Commands& c) {
  return [c](Game&) { return Updater(c); };
}
std::function<std::string(Game&)> Says(const char* message) {
  return [message](Game&) { return std::string(message); };
}
std::function<std::string(Game&)> SaysPath(const char* message,
                                            const std::string& name) {
  return [message, name](Game& g) {
    return Format(message, name.empty() ? g.dir.path() : g.dir / name);
  };
}
void Nothing(Game&) {}

TEST(UpdateRun, EveryFailureShowsOneMessageAndKeepsTheArchive) {
  using namespace updater;
  const std::string packed = fixture::Deflate(Commands().WriteFile("a", "b").bytes());
  const FailureCase cases[] = {
      {"no payload", Nothing,
       [](Game&) { return fixture::MakePe({{0x200, 0x200}}, ""); },
       Says(kMsgCannotOpen)},
      {"garbage payload", Nothing,
       [](Game&) { return fixture::MakePe({{0x200, 0x200}}, "garbage!"); },
       Says(kMsgCannotOpen)},
      {"truncated payload", Nothing,
       [packed](Game&) {
         return fixture::MakePe({{0x200, 0x200}}, packed.substr(0, packed.size() - 3));
       },
       Says(kMsgCannotOpen)},
      {"no archive",
       [](Game& g) { std::filesystem::remove(g.dir / "mareld.dat"); },
       With(Commands()), SaysPath(kMsgCannotOpenArchive, "mareld.dat")},
      {"not an archive",
       [](Game& g) {
         g.old_archive = "not an archive";
         fixture::WriteBytes(g.dir / "mareld.dat", g.old_archive);
       },
       With(Commands()), SaysPath(kMsgCannotOpenArchive, "mareld.dat")},
      {"archive with duplicate names",
       [](Game& g) {
         g.old_archive = fixture::MakeArchive({{"a", "1"}, {"A", "2"}});
         fixture::WriteBytes(g.dir / "mareld.dat", g.old_archive);
       },
       With(Commands()), SaysPath(kMsgCannotOpenArchive, "mareld.dat")},
      {"partial opcode", Nothing, With(Commands().Raw(std::string("\x02\x00", 2))),
       Says(kMsgCannotRead)},
      {"opcode 6", Nothing,
       With(Commands().Raw(Le32(6)).WriteFile("after.txt", "x")),
       Says(kMsgCannotRead)},
      {"negative opcode", Nothing, With(Commands().Raw(Le32(0xFFFFFFFFu))),
       Says(kMsgCannotRead)},
      {"name length 263", Nothing,
       With(Commands().DeleteFile(std::string(263, 'n'))), Says(kMsgCannotRead)},
      {"name length with top bit", Nothing,
       With(Commands().Raw(Le32(1) + Le32(0x80000003u) + "abc")),
       Says(kMsgCannotRead)},
      {"short name", Nothing, With(Commands().Raw(Le32(1) + Le32(10) + "abc")),
       Says(kMsgCannotRead)},
      {"short size field", Nothing,
       With(Commands().Raw(Le32(0) + Le32(1) + "a" + "\x01")),
       Says(kMsgCannotRead)},
      {"file content past the payload's end", Nothing,
       With(Commands().WriteFileSized("keep.txt", 100, "only ten..")),
       Says(kMsgCannotRead)},
      {"entry content past the payload's end", Nothing,
       With(Commands().PutEntrySized("keep.bin", 100, "only ten..")),
       Says(kMsgCannotRead)},
      {"entry size with top bit", Nothing,
       With(Commands().PutEntrySized("keep.bin", 0xFFFFFFF0u, "")),
       Says(kMsgCannotRead)},
      {"file cannot be created",
       [](Game& g) { std::filesystem::create_directory(g.dir / "sub"); },
       With(Commands().WriteFile("sub", "x")),
       SaysPath(kMsgCannotCreateFile, "sub")},
      {"directory cannot be created (opcode 2)",
       [](Game& g) { fixture::WriteBytes(g.dir / "f", "x"); },
       With(Commands().MakeDirectory("f/sub")), Says(kMsgCannotCreateDirectory)},
      {"directory cannot be created (opcode 0)",
       [](Game& g) { fixture::WriteBytes(g.dir / "f", "x"); },
       With(Commands().WriteFile("f/sub/x.txt", "x")),
       Says(kMsgCannotCreateDirectory)},
      {"missing file", Nothing, With(Commands().DeleteFile("missing.txt")),
       SaysPath(kMsgCannotDelete, "missing.txt")},
      {"empty name deletes the directory", Nothing,
       With(Commands().DeleteFile("")), SaysPath(kMsgCannotDelete, "")},
      {"loose file over the loaded archive", Nothing,
       With(Commands().WriteFile("mareld.dat", "garbage")),
       SaysPath(kMsgCannotCreateFile, "mareld.dat")},
      {"loose delete of the loaded archive", Nothing,
       With(Commands().DeleteFile("mareld.dat")),
       SaysPath(kMsgCannotDelete, "mareld.dat")},
      {"missing entry", Nothing, With(Commands().RemoveEntry("Nope.txt")),
       [](Game&) { return Format(kMsgCannotDelete, "Nope.txt"); }},
      {"entry content unreadable",
       [](Game& g) {
         g.old_archive = "KMF " + Le32(1) + Le32(1) + "a" + Le32(999) + Le32(5);
         fixture::WriteBytes(g.dir / "mareld.dat", g.old_archive);
       },
       With(Commands().PutEntry("b", "new")), Says(kMsgCannotWriteArchive)},
      {"backup name taken by a directory",
       [](Game& g) { std::filesystem::create_directory(g.dir / "mareld.bak"); },
       With(Commands().PutEntry("b", "new")), Says(kMsgCannotSwapArchive)},
  };
  for (const FailureCase& c : cases) {
    Game game;
    fixture::WriteBytes(game.dir / "keep.txt", "precious");
    c.setup(game);
    const std::string archive_before =
        Exists(game.dir / "mareld.dat") ? game.Archive() : "";
    fixture::WriteBytes(game.exe, c.exe(game));
    const fixture::Snapshot before = fixture::TakeSnapshot(game.dir.path(), true);
    fixture::RecordingUi ui;
    EXPECT_FALSE(updater::RunUpdate(ui, game.exe.c_str(), game.dir.path().c_str())) << c.what;
    ASSERT_EQ(ui.messages.size(), 1u) << c.what;
    EXPECT_EQ(ui.messages[0], c.message(game)) << c.what;
    EXPECT_EQ(ui.kinds[0], MessageKind::kError) << c.what;
    EXPECT_FALSE(game.HasTemporaryFiles()) << c.what;
    if (!archive_before.empty()) {
      EXPECT_EQ(game.Archive(), archive_before) << c.what;
    }
    EXPECT_EQ(ReadBytes(game.dir / "keep.txt"), "precious") << c.what;
    EXPECT_FALSE(Exists(game.dir / "after.txt")) << c.what;
    // Nothing else changed either: the run undid what it had done.
    const fixture::Snapshot after = fixture::TakeSnapshot(game.dir.path(), true);
    EXPECT_TRUE(after == before) << c.what << "\n" << fixture::Diff(before, after);
  }
}

TEST(UpdateRun, EmptyingTheGameDirectoryStopsAtFilesTheRunReads) {
  // The archive's entries and the command stream are read until the end,
  // and the updater is running: none of them may be deleted. The check
  // before the first change finds them, so nothing else goes either.
  Game game;
  fixture::WriteBytes(game.dir / "other.txt", "other");
  fixture::WriteBytes(game.exe, fixture::MakeUpdater(Commands().EmptyTree("").PutEntry("x", "y")));
  const fixture::Snapshot before = fixture::TakeSnapshot(game.dir.path());
  fixture::RecordingUi ui;
  EXPECT_FALSE(updater::RunUpdate(ui, game.exe.c_str(), game.dir.path().c_str()));
  ASSERT_EQ(ui.messages.size(), 1u);
  const std::string head = fixture::Format(updater::kMsgCannotDelete, "");
  const std::string& shown = ui.messages[0];
  EXPECT_TRUE(shown == Format(updater::kMsgCannotDelete, game.dir / "mareld.dat") ||
              shown == Format(updater::kMsgCannotDelete, game.exe) ||
              (shown.find(game.dir / "qx") != std::string::npos &&
               shown.compare(0, head.find('('), head, 0, head.find('(')) == 0))
      << shown;
  EXPECT_EQ(fixture::TakeSnapshot(game.dir.path()), before)
      << fixture::Diff(before, fixture::TakeSnapshot(game.dir.path()));
}

TEST(UpdateRun, QuittingAtAnyPumpEndsSilentlyAndCleansUp) {
  const Commands c = Commands()
                         .WriteFile("a.txt", std::string(100000, 'a'))
                         .PutEntry("new", "n")
                         .RemoveEntry("gone.txt");
  Game probe;
  fixture::RecordingUi counting;
  ASSERT_TRUE(probe.Run(c, counting));
  const std::string new_archive = probe.Archive();
  const fixture::Snapshot new_tree = fixture::TakeSnapshot(probe.dir.path());
  ASSERT_GT(counting.pumps, 5);
  // Some pumps come from a time budget, so a slower run may pump less
  // often: a quit that never arrives must leave a completed update.
  long quits = 0;
  for (long k = 1; k <= counting.pumps + 1000; k += k > counting.pumps ? 1000 : 1) {
    Game game;
    fixture::WriteBytes(game.exe, fixture::MakeUpdater(c));
    const fixture::Snapshot old_tree = fixture::TakeSnapshot(game.dir.path());
    fixture::RecordingUi ui;
    ui.quit_at_pump = k;
    const bool completed = game.Run(c, ui);
    EXPECT_FALSE(game.HasTemporaryFiles()) << k;
    // A quit before the swap undoes everything; after it, nothing.
    const fixture::Snapshot tree = fixture::TakeSnapshot(game.dir.path());
    EXPECT_TRUE(tree == (game.Archive() == new_archive ? new_tree : old_tree))
        << k << "\n" << fixture::Diff(old_tree, tree);
    EXPECT_FALSE(Exists(game.dir / "mareld.bak")) << k;
    const std::string archive = game.Archive();
    if (ui.pumps >= k) {
      ++quits;
      EXPECT_FALSE(completed) << k;
      EXPECT_TRUE(ui.messages.empty()) << k;
      EXPECT_TRUE(archive == game.old_archive || archive == new_archive) << k;
    } else {
      EXPECT_TRUE(completed) << k;
      EXPECT_EQ(ui.messages.size(), 1u) << k;  // the completion message
      EXPECT_EQ(archive, new_archive) << k;
    }
  }
  // The pumps between commands are not timed: those quits always arrive.
  EXPECT_GE(quits, 5);
}

// Quits met while the rebuild waits: for the new archive's flush (before
// the renames: abandoned like a quit during the save) and for the backup's
// deletion (after the renames: the swap finishes, then the run ends).
TEST(UpdateRun, QuitsWhileTheSwapWaitsEndTheRunOnTheRightSideOfTheRenames) {
  struct QuittingUi : fixture::RecordingUi {
    enum When { kDuringFlush, kDuringBackupDeletion } when;
    std::string backup;
    bool rebuilding = false;
    int pumps_since_progress = 0;
    bool quit_sent = false;
    void SetStatus(const char* text) override {
      RecordingUi::SetStatus(text);
      rebuilding = statuses.back() == updater::kStatusRebuilding;
    }
    void SetProgress(int position) override {
      RecordingUi::SetProgress(position);
      pumps_since_progress = 0;
    }
    void Pump() override {
      ++pumps;
      ++pumps_since_progress;
      if (quit_sent || !rebuilding) return;
      bool now = false;
      if (when == kDuringBackupDeletion) {
        now = Exists(backup);
      } else {
        // The save's last report pumps once; the next pump is the flush's.
        now = !progress.empty() && progress.back() == updater::kProgressRange &&
              pumps_since_progress == 2;
        EXPECT_FALSE(now && Exists(backup));
      }
      if (now) {
        quit_sent = true;
        throw updater::kFailureSignal;
      }
    }
  };
  const Commands c = Commands().PutEntry("new", std::string(70000, 'n'));
  Game probe;
  fixture::RecordingUi plain;
  ASSERT_TRUE(probe.Run(c, plain));
  const std::string new_archive = probe.Archive();

  for (const auto when :
       {QuittingUi::kDuringFlush, QuittingUi::kDuringBackupDeletion}) {
    SCOPED_TRACE(when);
    Game game;
    QuittingUi ui;
    ui.when = when;
    ui.backup = game.dir / "mareld.bak";
    EXPECT_FALSE(game.Run(c, ui));
    EXPECT_TRUE(ui.quit_sent);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(game.Archive(), when == QuittingUi::kDuringFlush
                                  ? game.old_archive
                                  : new_archive);
    EXPECT_FALSE(Exists(game.dir / "mareld.bak"));
    EXPECT_FALSE(game.HasTemporaryFiles());
  }
}

TEST(UpdateRun, OtherExceptionsPassThroughAfterCleanUp) {
  struct ThrowingUi : fixture::RecordingUi {
    void Pump() override { throw std::runtime_error("out of something"); }
  };
  Game game;
  ThrowingUi ui;
  EXPECT_THROW(game.Run(Commands().PutEntry("x", "y"), ui), std::runtime_error);
  EXPECT_FALSE(game.HasTemporaryFiles());
  EXPECT_EQ(game.Archive(), game.old_archive);
}

TEST(PatchCommand, AnEntryThatCannotBeAddedIsReportedWithItsName) {
  // The run removes an entry before adding it, so only an archive that is
  // not open refuses the add.
  fixture::TempDir dir;
  zorl::KFile payload;
  const std::string record = Le32(5) + "E.bin" + Le32(1) + "x";
  ASSERT_TRUE(payload.OpenMemory("p", record.size(), zorl::KMEM_READ | zorl::KMEM_WRITE));
  payload.Write(record.data(), static_cast<std::uint32_t>(record.size()));
  payload.Seek(zorl::KSEEK_BEGIN, 0);
  updater::ResourceArchive closed;
  fixture::RecordingUi ui;
  updater::ProgressPacer pacer(ui);
  updater::UpdateContext context{ui, pacer, payload, closed, dir.path().c_str()};
  EXPECT_THROW(updater::RunPatchCommand(updater::kOpPutEntry, context), int);
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{Format(updater::kMsgCannotAddEntry, "E.bin")});
}

}  // namespace
