// The kill sweep: the applier is killed (SIGKILL) before each file
// operation of a sample update in turn; `kestrel-patch recover` then leaves
// the game folder as it was byte for byte (its files' times included), or,
// when the kill came after the swap, as the update makes it; and, in a
// second pass, the next `kestrel-patch apply` finishes the update. Nothing
// else is left in the folder.
//
// The power-cut sweep does the same with the power going before each flush
// of the run (platform/power_cut.h), and the second-level sweep kills the
// recovery itself at each of its operations before recovering again. Both
// run a sample of their points; KESTREL_LONG_SWEEPS=1 runs every point.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "delta_payloads.h"
#include "engine/patch_format.h"
#include "engine_fixture.h"
#include "platform/file.h"
#include "platform/filesystem.h"
#include "platform/power_cut.h"

namespace {

using fixture::Commands;

struct Exit {
  bool killed = false;  // by SIGKILL
  int status = -1;      // when it exited
  std::string out;
};

// Runs `argv` directly (no shell), stdout captured.
Exit Spawn(const std::vector<std::string>& argv) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipe_fds[1], 1);
    ::dup2(pipe_fds[1], 2);
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(pipe_fds[1]);
  Exit e;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) e.out.append(buffer, n);
  ::close(pipe_fds[0]);
  int raw = 0;
  ::waitpid(pid, &raw, 0);
  e.killed = WIFSIGNALED(raw) && WTERMSIG(raw) == SIGKILL;
  if (WIFEXITED(raw)) e.status = WEXITSTATUS(raw);
  return e;
}

// The sample: every kind of change (a file and an entry patched by deltas
// that the manifest vouches for among them), a stale backup, an archive to
// swap. Its loose files change in batches that the journal records ahead
// (one ended by a file written twice); `many` more new files make the
// commit flush the whole volume instead of file by file.
void MakeOld(const std::string& dir, int many = 0) {
  const std::string keep(3000, 'k');
  const std::string patched = std::string(1000, 'k') + "patched" + std::string(2000, 'k');
  std::filesystem::create_directories(dir + "/tree/sub");
  fixture::WriteBytes(dir + "/mareld.dat",
                      fixture::MakeArchive({{"data/a.txt", "old-a"},
                                            {"keep.bin", keep},
                                            {"gone.txt", "bye"}}));
  fixture::WriteBytes(dir + "/mareld.bak", "a stale backup");
  fixture::WriteBytes(dir + "/old.txt", "old");
  fixture::WriteBytes(dir + "/over.txt", "to be overwritten");
  fixture::WriteBytes(dir + "/delta.txt", "to be patched by a delta");
  fixture::WriteBytes(dir + "/tree/x", "x");
  fixture::WriteBytes(dir + "/tree/sub/y", "y");
  fixture::WriteBytes(dir + "/old2.txt", "old too");
  fixture::WriteBytes(dir + "/over2.txt", "to be overwritten too");
  Commands commands;
  commands.WriteFile("new/deep/file.txt", "hello")
      .WriteFile("over.txt", "overwritten")
      .WriteFile("second.txt", "two")
      .DeleteFile("old2.txt")
      .WriteFile("over2.txt", "overwritten too")
      .WriteFile("second.txt", "two, again");
  for (int i = 0; i < many; ++i)
    commands.WriteFile("many" + std::to_string(i) + ".txt", std::string(100 + i, 'm'));
  commands
          .Raw(fixture::DeltaCommand(updater::kOpPatchFile, "delta.txt",
                                     "to be patched by a delta", "patched by a delta, as it was to be"))
          .DeleteFile("old.txt")
          .MakeDirectory("made/deep")
          .EmptyTree("tree")
          .WriteFile("tree/again.txt", "again")
          .PutEntry("DATA/A.TXT", "new-a")
          .PutEntry("big.bin", std::string(200000, 'b'))
          .Raw(fixture::DeltaCommand(updater::kOpPatchEntry, "keep.bin", keep, patched))
          .RemoveEntry("gone.txt");
  updater::Manifest m;
  m.inflated_size = commands.bytes().size();
  using Record = updater::ManifestRecord;
  m.records = {{Record::Kind::kLooseFile, "delta.txt",
                fixture::FileState("to be patched by a delta"),
                fixture::FileState("patched by a delta, as it was to be")},
               {Record::Kind::kArchiveEntry, "keep.bin", fixture::FileState(keep),
                fixture::FileState(patched)}};
  fixture::WriteBytes(dir + "/patch.exe",
                      fixture::MakeUpdater(commands) + fixture::ManifestBytes(m));
}

bool LongSweeps() {
  const char* on = std::getenv("KESTREL_LONG_SWEEPS");
  return on && *on && std::string(on) != "0";
}

// The operations and flushes a run printed.
std::pair<long, long> Counts(const std::string& out) {
  long operations = 0, flushes = 0;
  std::sscanf(out.c_str(), "%ld %ld", &operations, &flushes);
  return {operations, flushes};
}

// Compares a folder after recovery with OLD (times too) and NEW.
struct Outcome {
  fixture::Snapshot old_tree, new_tree;
  long olds = 0, news = 0;
  // False (with a failure added) when the folder is neither.
  bool Check(const std::string& game, const std::string& what) {
    const fixture::Snapshot contents = fixture::TakeSnapshot(game);
    if (fixture::TakeSnapshot(game, true) == old_tree) {
      ++olds;
      return true;
    }
    if (contents == new_tree) {
      ++news;
      return true;
    }
    ADD_FAILURE() << what << ": neither OLD nor NEW\n"
                  << fixture::Diff(old_tree, fixture::TakeSnapshot(game, true));
    return false;
  }
};

TEST(KillSweep, RecoverOrTheNextApplyLeavesOldOrNewAndNothingElse) {
  fixture::TempDir root;
  const std::string probe = root / "probe";
  MakeOld(probe);
  const Exit done = Spawn({KESTREL_KILL_APPLIER, "0", probe + "/patch.exe", probe});
  ASSERT_EQ(done.status, 0) << "the sample update completes";
  const long operations = Counts(done.out).first;
  ASSERT_GT(operations, 50);
  const fixture::Snapshot new_tree = fixture::TakeSnapshot(probe);
  ASSERT_EQ(new_tree.count("mareld.bak"), 0u);
  ASSERT_EQ(new_tree.count("old.txt"), 0u);

  bool passed_commit = false;
  long old_results = 0, new_results = 0;
  for (long k = 1; k <= operations; ++k) {
    const std::string game = root / ("k" + std::to_string(k));
    MakeOld(game);
    const fixture::Snapshot old_tree = fixture::TakeSnapshot(game, true);
    const Exit killed = Spawn({KESTREL_KILL_APPLIER, std::to_string(k), game + "/patch.exe", game});
    ASSERT_TRUE(killed.killed) << "operation " << k;

    const Exit recover = Spawn({KESTREL_PATCH_EXE, "recover", "--dir", game});
    EXPECT_EQ(recover.status, 0) << "operation " << k << ": " << recover.out;
    const fixture::Snapshot tree = fixture::TakeSnapshot(game, true);
    const fixture::Snapshot contents = fixture::TakeSnapshot(game);
    if (tree == old_tree) {
      ++old_results;
      EXPECT_FALSE(passed_commit) << "operation " << k << ": back to OLD after a kill past the swap";
    } else if (contents == new_tree) {
      ++new_results;
      passed_commit = true;
    } else {
      ADD_FAILURE() << "operation " << k << ": neither OLD nor NEW\n"
                    << fixture::Diff(old_tree, tree) << recover.out;
    }
    std::filesystem::remove_all(game);
  }
  EXPECT_GT(old_results, operations / 2);
  EXPECT_GT(new_results, 0) << "kills after the swap finish the update";

  // Second pass: the next apply recovers first, then applies.
  for (long k = 1; k <= operations; k += 3) {
    const std::string game = root / ("a" + std::to_string(k));
    MakeOld(game);
    ASSERT_TRUE(Spawn({KESTREL_KILL_APPLIER, std::to_string(k), game + "/patch.exe", game}).killed)
        << k;
    const Exit apply = Spawn({KESTREL_PATCH_EXE, "apply", game + "/patch.exe"});
    const fixture::Snapshot tree = fixture::TakeSnapshot(game);
    EXPECT_TRUE(tree == new_tree) << "operation " << k << ": status " << apply.status << "\n"
                                  << fixture::Diff(new_tree, tree) << apply.out;
    std::filesystem::remove_all(game);
  }
}

// A folder for the model's own tests: "d" holding the files "old", "gone"
// and "moved", and the empty holding folder for deleted files.
struct ModelFolder {
  fixture::TempDir root;
  const std::string dir = root / "d", held = root / "held";
  ModelFolder() {
    std::filesystem::create_directories(dir);
    std::filesystem::create_directories(held);
    for (const char* name : {"old", "gone", "moved"}) fixture::WriteBytes(dir + "/" + name, name);
  }
};

// The model itself: in a child process, data and names not flushed are
// lost at the cut, flushed ones stay; with names kept only data is lost.
TEST(PowerCutModel, LosesExactlyWhatWasNotFlushed) {
  for (const bool names_kept : {false, true}) {
    SCOPED_TRACE(names_kept ? "names kept" : "names lost");
    const ModelFolder folder;
    const std::string& dir = folder.dir;
    const std::string& held = folder.held;
    const pid_t pid = ::fork();
    if (pid == 0) {
      platform::StartPowerCutModel(held.c_str(), platform::LostData::kDropped, names_kept);
      auto write = [](const std::string& path, const char* bytes, bool flush) {
        const platform::FileHandle f = platform::FileOpen(
            path.c_str(), platform::kFileWrite | platform::kFileCreate | platform::kFileNew);
        platform::FileWriteAt(f, 0, bytes, static_cast<std::uint32_t>(std::strlen(bytes)));
        if (flush) platform::FileFlush(f);
        platform::FileClose(f);
      };
      write(dir + "/durable", "durable", true);  // data and name flushed
      platform::FlushDirectory(dir.c_str());
      write(dir + "/old", "rewritten", false);   // data not flushed
      write(dir + "/fresh", "fresh", true);      // name not flushed
      platform::RemoveFile((dir + "/gone").c_str());
      platform::RenameFile((dir + "/moved").c_str(), (dir + "/renamed").c_str());
      platform::PowerCutNow();
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(fixture::ReadBytes(dir + "/durable"), "durable");
    EXPECT_EQ(fixture::ReadBytes(dir + "/old"), "old");
    if (names_kept) {
      EXPECT_EQ(fixture::ReadBytes(dir + "/fresh"), "fresh") << "its data was flushed";
      EXPECT_FALSE(fixture::Exists(dir + "/gone"));
      EXPECT_EQ(fixture::ReadBytes(dir + "/renamed"), "moved");
    } else {
      EXPECT_FALSE(fixture::Exists(dir + "/fresh"));
      EXPECT_EQ(fixture::ReadBytes(dir + "/gone"), "gone") << "the deletion taken back";
      EXPECT_EQ(fixture::ReadBytes(dir + "/moved"), "moved") << "the rename taken back";
      EXPECT_FALSE(fixture::Exists(dir + "/renamed"));
    }
  }
}

// A flush of the whole volume keeps every change made before it, data and
// names alike (and counts as a flush point); what follows it is lost.
TEST(PowerCutModel, AFlushOfTheVolumeKeepsEverythingBeforeIt) {
  const ModelFolder folder;
  const std::string& dir = folder.dir;
  const std::string& held = folder.held;
  const pid_t pid = ::fork();
  if (pid == 0) {
    platform::StartPowerCutModel(held.c_str(), platform::LostData::kDropped, false);
    const platform::FileHandle f = platform::FileOpen(
        (dir + "/old").c_str(), platform::kFileWrite | platform::kFileCreate | platform::kFileNew);
    platform::FileWriteAt(f, 0, "rewritten", 9);
    platform::FileClose(f);
    platform::RemoveFile((dir + "/gone").c_str());
    const long before = platform::FlushesSeen();
    if (!platform::FlushFileSystem(dir.c_str()) || platform::FlushesSeen() != before + 1)
      ::_exit(3);
    platform::RenameFile((dir + "/old").c_str(), (dir + "/late").c_str());
    platform::PowerCutNow();
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the volume flush failed or was not counted";
  EXPECT_EQ(fixture::ReadBytes(dir + "/old"), "rewritten");
  EXPECT_FALSE(fixture::Exists(dir + "/gone"));
  EXPECT_FALSE(fixture::Exists(dir + "/late")) << "the rename after the flush is lost";
}

// The power goes before each flush of the run in turn (and once after
// it), losing what was not flushed in every way the model knows; the
// recovery then finds OLD or NEW, byte for byte. Over the sample whose
// commit flushes its new files one by one, and over one with enough new
// files for a flush of the whole volume.
TEST(PowerCutSweep, EveryFlushPointRecoversToOldOrNew) {
  for (const int many : {0, 10}) {
    SCOPED_TRACE(many ? "the commit flushes the volume" : "the commit flushes file by file");
    fixture::TempDir root;
    const std::string probe = root / "probe";
    MakeOld(probe, many);
    std::filesystem::create_directory(root / "probe-held");
    const Exit done = Spawn({KESTREL_KILL_APPLIER, "--power-cut", "dropped", "lost",
                             root / "probe-held", "0", probe + "/patch.exe", probe});
    ASSERT_EQ(done.status, 0) << done.out;
    const long flushes = Counts(done.out).second;
    ASSERT_GT(flushes, 10) << "records, new files and directories are flushed";
    Outcome outcome;
    outcome.new_tree = fixture::TakeSnapshot(probe);
    {
      const std::string old_game = root / "old";
      MakeOld(old_game, many);
      // Times differ from folder to folder: OLD is compared by contents.
      outcome.old_tree = fixture::TakeSnapshot(old_game);
      std::filesystem::remove_all(old_game);
    }

    const struct {
      const char* data;
      const char* names;
    } kModes[] = {{"dropped", "lost"}, {"zeroed", "lost"}, {"torn", "lost"},
                  {"dropped", "kept"}, {"zeroed", "kept"}, {"torn", "kept"}};
    const long step = LongSweeps() ? 1 : 3;
    long cuts = 0;
    for (const auto& mode : kModes) {
      for (long k = 1; k <= flushes + 1; k += step) {
        const std::string game = root / "g", held = root / "held";
        MakeOld(game, many);
        std::filesystem::create_directory(held);
        const Exit cut = Spawn({KESTREL_KILL_APPLIER, "--power-cut", mode.data, mode.names, held,
                                std::to_string(k), game + "/patch.exe", game});
        ASSERT_TRUE(cut.killed) << k << " " << cut.out;
        ++cuts;
        const Exit recover = Spawn({KESTREL_PATCH_EXE, "recover", "--dir", game});
        const std::string what = std::string(mode.data) + "/" + mode.names + " before flush " +
                                 std::to_string(k);
        EXPECT_EQ(recover.status, 0) << what << ": " << recover.out;
        // Contents only: a power cut may leave times as they were.
        const fixture::Snapshot contents = fixture::TakeSnapshot(game);
        if (contents == outcome.old_tree) {
          ++outcome.olds;
        } else if (contents == outcome.new_tree) {
          ++outcome.news;
        } else {
          ADD_FAILURE() << what << ": neither OLD nor NEW\n"
                        << fixture::Diff(outcome.old_tree, contents) << recover.out;
        }
        std::filesystem::remove_all(game);
        std::filesystem::remove_all(held);
      }
    }
    RecordProperty(many ? "power_cuts_volume_flush" : "power_cuts", static_cast<int>(cuts));
    EXPECT_GT(outcome.olds, 0);
    EXPECT_GT(outcome.news, 0) << "a cut after the commit keeps the update";
  }
}

// Apply killed at an operation, the recovery killed at each of its own,
// recovery again: OLD or NEW.
TEST(KillSweep, ARecoveryKilledAnywhereRecoversAgain) {
  fixture::TempDir root;
  const std::string probe = root / "probe";
  MakeOld(probe);
  const Exit done = Spawn({KESTREL_KILL_APPLIER, "0", probe + "/patch.exe", probe});
  ASSERT_EQ(done.status, 0);
  const long operations = Counts(done.out).first;
  Outcome outcome;
  outcome.new_tree = fixture::TakeSnapshot(probe);

  // The sample: three kills of the apply (before, around and after its
  // swap's half), every fifth operation of each recovery.
  const long apply_step = LongSweeps() ? 1 : operations / 3;
  const long recover_step = LongSweeps() ? 1 : 5;
  long pairs = 0;
  for (long k = LongSweeps() ? 1 : operations / 4; k <= operations; k += apply_step) {
    // The recovery's own operations after this kill.
    const std::string probe_game = root / "p";
    MakeOld(probe_game);
    ASSERT_TRUE(Spawn({KESTREL_KILL_APPLIER, std::to_string(k), probe_game + "/patch.exe",
                       probe_game})
                    .killed);
    const Exit whole = Spawn({KESTREL_KILL_APPLIER, "--recover", "0", "-", probe_game});
    ASSERT_EQ(whole.status, 0) << k;
    const long recover_ops = Counts(whole.out).first;
    std::filesystem::remove_all(probe_game);
    for (long j = 1; j <= recover_ops; j += recover_step) {
      const std::string game = root / "g";
      MakeOld(game);
      outcome.old_tree = fixture::TakeSnapshot(game, true);
      ASSERT_TRUE(
          Spawn({KESTREL_KILL_APPLIER, std::to_string(k), game + "/patch.exe", game}).killed);
      const Exit killed = Spawn({KESTREL_KILL_APPLIER, "--recover", std::to_string(j), "-", game});
      EXPECT_TRUE(killed.killed) << k << "/" << j;
      const Exit again = Spawn({KESTREL_PATCH_EXE, "recover", "--dir", game});
      EXPECT_EQ(again.status, 0) << k << "/" << j << ": " << again.out;
      outcome.Check(game, "apply killed at " + std::to_string(k) + ", recover at " +
                              std::to_string(j));
      ++pairs;
      std::filesystem::remove_all(game);
    }
  }
  RecordProperty("pairs", static_cast<int>(pairs));
  EXPECT_GT(outcome.olds, 0);
  EXPECT_GT(outcome.news, 0);
}

}  // namespace
