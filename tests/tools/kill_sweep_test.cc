// The kill sweep: the applier is killed (SIGKILL) before each file
// operation of a sample update in turn; `kestrel-patch recover` then leaves
// the game folder as it was byte for byte (its files' times included), or,
// when the kill came after the swap, as the update makes it; and, in a
// second pass, the next `kestrel-patch apply` finishes the update. Nothing
// else is left in the folder.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "delta_payloads.h"
#include "engine/patch_format.h"
#include "engine_fixture.h"

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
// swap.
void MakeOld(const std::string& dir) {
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
  const Commands commands =
      Commands()
          .WriteFile("new/deep/file.txt", "hello")
          .WriteFile("over.txt", "overwritten")
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

TEST(KillSweep, RecoverOrTheNextApplyLeavesOldOrNewAndNothingElse) {
  fixture::TempDir root;
  const std::string probe = root / "probe";
  MakeOld(probe);
  const Exit done = Spawn({KESTREL_KILL_APPLIER, "0", probe + "/patch.exe", probe});
  ASSERT_EQ(done.status, 0) << "the sample update completes";
  const long operations = std::atol(done.out.c_str());
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

}  // namespace
