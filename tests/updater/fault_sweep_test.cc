// Makes each file operation of a sample update fail in turn and checks that
// the run always ends with one known message, the archive is whole (old or
// new), no backup is left without an intact archive, and no temporary file
// stays behind. Whatever fails, the whole game directory ends as it was
// (byte for byte, untouched files with their times) or, when the run
// completed, as the update makes it; no "qx" name is left.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "delta_payloads.h"
#include "engine/messages.h"
#include "engine/patch_format.h"
#include "engine/update_run.h"
#include "engine_fixture.h"
#include "platform/fault.h"

namespace {

using fixture::Commands;
using fixture::Exists;

struct Sample {
  fixture::TempDir dir;
  std::string old_archive = fixture::MakeArchive(
      {{"data/a.txt", "old-a"}, {"keep.bin", "keep"}, {"gone.txt", "bye"}});
  std::string exe = dir / "patch.exe";

  // With `delta`, a file and an entry are patched by deltas that a
  // manifest vouches for.
  explicit Sample(bool delta = false) {
    fixture::WriteBytes(dir / "mareld.dat", old_archive);
    fixture::WriteBytes(dir / "old.txt", "old");
    fixture::WriteBytes(dir / "over.txt", "to be overwritten");
    std::filesystem::create_directories(dir / "tree/sub");
    fixture::WriteBytes(dir / "tree/sub/y.txt", "y");
    if (!delta) {
      fixture::WriteBytes(
          exe, fixture::MakeUpdater(Commands()
                                        .WriteFile("new/file.txt", "hello")
                                        .WriteFile("over.txt", "overwritten")
                                        .DeleteFile("old.txt")
                                        .MakeDirectory("made/deep")
                                        .EmptyTree("tree")
                                        .PutEntry("DATA/A.TXT", "new-a")
                                        .RemoveEntry("gone.txt")));
      return;
    }
    const Commands commands =
        Commands()
            .WriteFile("new/file.txt", "hello")
            .Raw(fixture::DeltaCommand(updater::kOpPatchFile, "over.txt", "to be overwritten",
                                       "to be overwritten, then patched"))
            .DeleteFile("old.txt")
            .MakeDirectory("made/deep")
            .EmptyTree("tree")
            .Raw(fixture::DeltaCommand(updater::kOpPatchEntry, "KEEP.BIN", "keep",
                                       "keep, patched"))
            .RemoveEntry("gone.txt");
    updater::Manifest m;
    m.inflated_size = commands.bytes().size();
    using Record = updater::ManifestRecord;
    m.records = {{Record::Kind::kLooseFile, "over.txt", fixture::FileState("to be overwritten"),
                  fixture::FileState("to be overwritten, then patched")},
                 {Record::Kind::kArchiveEntry, "keep.bin", fixture::FileState("keep"),
                  fixture::FileState("keep, patched")}};
    fixture::WriteBytes(exe, fixture::MakeUpdater(commands) + fixture::ManifestBytes(m));
  }
  bool Run(fixture::RecordingUi& ui) {
    return updater::RunUpdate(ui, exe.c_str(), dir.path().c_str());
  }
};

void SweepFaults(bool delta) {
  std::string new_archive;
  fixture::Snapshot new_tree;
  long operations = 0;
  {
    Sample sample(delta);
    fixture::RecordingUi ui;
    platform::DisarmFault();
    platform::ResetOperationCount();
    ASSERT_TRUE(sample.Run(ui));
    operations = platform::CountedOperations();
    new_archive = fixture::ReadBytes(sample.dir / "mareld.dat");
    new_tree = fixture::TakeSnapshot(sample.dir.path());
  }
  ASSERT_GT(operations, 20);
  testing::Test::RecordProperty("file_operations", static_cast<int>(operations));
  ASSERT_NE(new_archive, Sample(delta).old_archive);

  using namespace updater;
  const std::set<std::string> known = {
      kMsgCannotOpen,
      fixture::Format(kMsgCannotOpenArchive, "*"),
      kMsgCannotRead,
      kMsgCannotWrite,
      fixture::Format(kMsgCannotCreateFile, "*"),
      kMsgCannotCreateDirectory,
      fixture::Format(kMsgCannotDelete, "*"),
      fixture::Format(kMsgCannotAddEntry, "*"),
      kMsgCannotWriteArchive,
      kMsgCannotSwapArchive,
      // A manifest's item that cannot be read is not the version it needs.
      fixture::Format(kMsgWrongVersion, "*"),
      kMsgCompleted};
  std::set<std::string> seen;
  long untouched = 0;
  for (long k = 1; k <= operations + 1; ++k) {
    Sample sample(delta);
    const fixture::Snapshot old_tree = fixture::TakeSnapshot(sample.dir.path(), true);
    fixture::RecordingUi ui;
    platform::ArmFault(k);
    const bool completed = sample.Run(ui);
    const bool fired = platform::FaultFired();
    platform::DisarmFault();

    EXPECT_EQ(fired, k <= operations) << k;
    ASSERT_EQ(ui.messages.size(), 1u) << "operation " << k;
    // Messages are compared with their "%s" argument blanked out.
    std::string message = ui.messages[0];
    for (const char* format : {kMsgCannotOpenArchive, kMsgCannotCreateFile,
                               kMsgCannotDelete, kMsgCannotAddEntry, kMsgWrongVersion}) {
      const std::string f = format;
      const auto at = f.find("%s");
      const std::string head = f.substr(0, at), tail = f.substr(at + 2);
      if (message.size() >= head.size() + tail.size() &&
          message.compare(0, head.size(), head) == 0 &&
          message.compare(message.size() - tail.size(), tail.size(), tail) == 0)
        message = head + "*" + tail;
    }
    EXPECT_TRUE(known.count(message)) << "operation " << k << ": " << ui.messages[0];
    seen.insert(message);
    EXPECT_EQ(completed, message == kMsgCompleted) << k;

    bool ok = false;
    const std::string archive = fixture::ReadBytes(sample.dir / "mareld.dat", &ok);
    EXPECT_TRUE(ok) << "mareld.dat missing after operation " << k;
    EXPECT_TRUE(archive == sample.old_archive || archive == new_archive)
        << "operation " << k;
    if (completed) {
      EXPECT_EQ(archive, new_archive) << k;
    }
    for (const auto& name : sample.dir.List())
      EXPECT_NE(name.rfind("qx", 0), 0u) << name << " left after operation " << k;
    // A failure leaves the folder as it was; a completed run as the update
    // makes it. (Some faults only make a listing end early or a link look
    // like a file; the run then goes on and completes.)
    if (completed) {
      const fixture::Snapshot tree = fixture::TakeSnapshot(sample.dir.path());
      EXPECT_TRUE(tree == new_tree) << "operation " << k << "\n" << fixture::Diff(new_tree, tree);
    } else {
      ++untouched;
      const fixture::Snapshot tree = fixture::TakeSnapshot(sample.dir.path(), true);
      EXPECT_TRUE(tree == old_tree) << "operation " << k << "\n" << fixture::Diff(old_tree, tree);
    }
  }
  EXPECT_GT(untouched, operations / 4);
  // The sweep reaches the swap and the archive's own failures.
  EXPECT_TRUE(seen.count(kMsgCannotSwapArchive));
  EXPECT_TRUE(seen.count(kMsgCannotWriteArchive));
  EXPECT_TRUE(seen.count(kMsgCannotRead));
  EXPECT_TRUE(seen.count(kMsgCannotWrite)) << "a chunk of a loose file that cannot be written";
  EXPECT_TRUE(seen.count(kMsgCompleted));
}

TEST(FaultSweep, EveryFailingFileOperationEndsCleanly) { SweepFaults(false); }

// A file rebuilt into a temporary file and an entry rebuilt during the
// archive's save: old or new, byte for byte, whatever fails.
TEST(FaultSweep, EveryFailingFileOperationOfARunWithDeltasEndsCleanly) { SweepFaults(true); }

}  // namespace
