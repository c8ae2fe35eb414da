// The undo journal: its record file, undoing a run's changes, and what the
// next run finds of a run that was killed.
#include "engine/undo_journal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/journal_record.h"
#include "engine/journal_recovery.h"
#include "engine/messages.h"
#include "engine/update_run.h"
#include "engine_fixture.h"
#include "platform/fault.h"
#include "platform/filesystem.h"

namespace {

using fixture::Commands;
using updater::JournalKind;
using updater::JournalRecord;
using updater::Recovery;
using updater::UndoJournal;

std::vector<JournalRecord> SampleRecords() {
  std::vector<JournalRecord> records(7);
  records[0] = {JournalKind::kMoved, 1, "/g/a.txt", "", {}};
  records[1] = {JournalKind::kCreatedFile, 0, "/g/a.txt", "", {}};
  records[2] = {JournalKind::kCreatedDirectory, 0, "/g/\x83\x5c", "", {}};
  records[3] = {JournalKind::kRenamed, 0, "/g/mareld.dat", "/g/mareld.bak", {}};
  records[4] = {JournalKind::kCommit, 0, "/g/mareld.dat", "", {7, 0x1122334455667788u}};
  records[5] = {JournalKind::kCancelled, 0, "/g/d", "", {}};
  records[6] = {JournalKind::kTemporary, 0, "/g/qx1A.tmp", "", {}};
  return records;
}

bool Same(const JournalRecord& a, const JournalRecord& b) {
  return a.kind == b.kind && a.slot == b.slot && a.path == b.path && a.other == b.other &&
         a.identity == b.identity;
}

TEST(JournalRecord, ReadsBackWhatWasWrittenAndDropsOnlyACutTail) {
  const std::vector<JournalRecord> records = SampleRecords();
  std::string file = updater::kJournalMagic;
  std::vector<std::size_t> ends;
  for (const JournalRecord& r : records) {
    file += updater::EncodeJournalRecord(r);
    ends.push_back(file.size());
  }
  std::vector<JournalRecord> read;
  ASSERT_EQ(updater::DecodeJournal(file, &read), updater::JournalReadResult::kWhole);
  ASSERT_EQ(read.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) EXPECT_TRUE(Same(read[i], records[i])) << i;

  // Killed while writing: every cut of the file reads as the whole
  // records before the cut.
  for (std::size_t cut = 0; cut < file.size(); ++cut) {
    ASSERT_EQ(updater::DecodeJournal(file.substr(0, cut), &read),
              updater::JournalReadResult::kWhole)
        << cut;
    std::size_t whole = 0;
    while (whole < ends.size() && ends[whole] <= cut) ++whole;
    EXPECT_EQ(read.size(), whole) << cut;
  }
  // Anything else is damage: a changed byte in any record, another magic.
  for (std::size_t at = updater::kJournalMagicSize; at < ends[4]; at += 7) {
    std::string bad = file;
    bad[at] ^= 0x20;
    EXPECT_EQ(updater::DecodeJournal(bad, &read), updater::JournalReadResult::kDamaged) << at;
  }
  EXPECT_EQ(updater::DecodeJournal("KUJRNL02" + file.substr(8), &read),
            updater::JournalReadResult::kDamaged);
  // A power cut before a group's flush ended: its records zero-filled, or
  // the last one torn inside, never protected a change and are dropped.
  // The same fault before the last record is damage.
  for (std::size_t last : {std::size_t{5}, std::size_t{6}}) {
    const std::size_t start = ends[last - 1];
    std::string zeroed = file.substr(0, start) + std::string(file.size() - start, '\0');
    ASSERT_EQ(updater::DecodeJournal(zeroed, &read), updater::JournalReadResult::kWhole) << last;
    EXPECT_EQ(read.size(), last);
  }
  // Torn: a long last record whose sectors from the one at 1024 on were
  // never written. Garbage at its end instead is damage.
  std::string longer = file;
  JournalRecord last = records[1];
  last.path = "/g/" + std::string(1100 - longer.size(), 'p');
  longer += updater::EncodeJournalRecord(last);
  ASSERT_GT(longer.size(), 1100u);
  ASSERT_EQ(updater::DecodeJournal(longer, &read), updater::JournalReadResult::kWhole);
  EXPECT_EQ(read.size(), records.size() + 1);
  std::string torn = longer.substr(0, 1024) + std::string(longer.size() - 1024, '\0');
  ASSERT_EQ(updater::DecodeJournal(torn, &read), updater::JournalReadResult::kWhole);
  EXPECT_EQ(read.size(), records.size());
  std::string garbage = longer;
  garbage.replace(garbage.size() - 3, 3, "xyz");
  EXPECT_EQ(updater::DecodeJournal(garbage, &read), updater::JournalReadResult::kDamaged);
  std::string inner = longer;
  inner[ends[5] - 3] ^= 0x40;
  EXPECT_EQ(updater::DecodeJournal(inner, &read), updater::JournalReadResult::kDamaged);
  // Torn inside a group: the records after the torn one are zeros too.
  std::string group = longer + updater::EncodeJournalRecord(records[2]);
  group = group.substr(0, 1024) + std::string(group.size() - 1024, '\0');
  ASSERT_EQ(updater::DecodeJournal(group, &read), updater::JournalReadResult::kWhole);
  EXPECT_EQ(read.size(), records.size());
  // Torn inside a record's header.
  std::size_t header_at = 0;
  for (std::size_t end : ends)
    if (end < 1024) header_at = end;
  std::string padded = file.substr(0, header_at);
  JournalRecord filler = records[1];
  filler.path = "/g/" + std::string(1024 - 6 - header_at - 12 - 1 - 4 - 2 - 3 - 2 - 16, 'f');
  padded += updater::EncodeJournalRecord(filler);
  ASSERT_EQ(padded.size(), 1018u);
  padded += updater::EncodeJournalRecord(records[0]);
  padded = padded.substr(0, 1024) + std::string(padded.size() - 1024, '\0');
  ASSERT_EQ(updater::DecodeJournal(padded, &read), updater::JournalReadResult::kWhole);
  EXPECT_EQ(read.back().path, filler.path);
  std::string early = longer;
  early[updater::kJournalMagicSize + 14] ^= 0x40;
  early = early.substr(0, 1024) + std::string(early.size() - 1024, '\0');
  EXPECT_EQ(updater::DecodeJournal(early, &read), updater::JournalReadResult::kDamaged)
      << "a bad record before the torn sector is damage";
  EXPECT_EQ(updater::DecodeJournal(std::string(8, '\0'), &read),
            updater::JournalReadResult::kWhole)
      << "a journal whose magic was never flushed";
  EXPECT_TRUE(read.empty());
  EXPECT_EQ(updater::DecodeJournal("XYZ", &read), updater::JournalReadResult::kDamaged);
}

// A game folder and the changes a run makes in it through a journal.
struct Folder {
  fixture::TempDir dir;
  std::string d = dir.path();
  Folder() {
    fixture::WriteBytes(dir / "mareld.dat", "old archive");
    fixture::WriteBytes(dir / "a.txt", "old a");
    fixture::WriteBytes(dir / "gone.txt", "old gone");
    fixture::WriteBytes(dir / "mareld.bak", "stale backup");
    std::filesystem::create_directories(dir / "keep");
  }
  // Everything a run does up to the swap; with `commit`, the swap too.
  void Change(UndoJournal& j, bool commit) {
    const std::string a = dir / "a.txt", gone = dir / "gone.txt";
    ASSERT_TRUE(j.MoveAside(a.c_str()));
    ASSERT_TRUE(j.WillCreateFile(a.c_str()));
    fixture::WriteBytes(a, "new a");
    ASSERT_TRUE(j.MoveAside(gone.c_str()));
    for (const std::string& level : {dir / "made", dir / "made/deep"}) {
      ASSERT_TRUE(j.WillCreateDirectory(level.c_str()));
      ASSERT_TRUE(platform::MakeDirectory(level.c_str()));
    }
    ASSERT_TRUE(j.WillCreateDirectory((dir / "keep").c_str()));
    ASSERT_TRUE(j.NotCreated((dir / "keep").c_str()));
    ASSERT_TRUE(j.WillCreateFile((dir / "made/deep/n.txt").c_str()));
    fixture::WriteBytes(dir / "made/deep/n.txt", "new");
    char temporary[264];
    ASSERT_TRUE(j.CreateTemporary(d.c_str(), temporary));
    fixture::WriteBytes(temporary, "new archive");
    const std::string archive = dir / "mareld.dat", backup = dir / "mareld.bak";
    ASSERT_TRUE(j.MoveAside(backup.c_str()));
    ASSERT_TRUE(j.WillRename(archive.c_str(), backup.c_str()));
    ASSERT_TRUE(platform::RenameFile(archive.c_str(), backup.c_str()));
    if (!commit) return;
    platform::FileIdentity fresh;
    ASSERT_EQ(platform::GetPathIdentity(temporary, false, &fresh), platform::IdentityLookup::kFound);
    ASSERT_TRUE(j.WillCommit(archive.c_str(), fresh));
    ASSERT_TRUE(platform::RenameFile(temporary, archive.c_str()));
    j.Committed();
  }
};

TEST(UndoJournal, UndoPutsTheFolderBackFilesWithTheirTimes) {
  Folder f;
  const fixture::Snapshot before = fixture::TakeSnapshot(f.d, true);
  UndoJournal j;
  ASSERT_TRUE(j.Create(f.d.c_str()));
  EXPECT_FALSE(UndoJournal().Create(f.d.c_str())) << "one journal per folder";
  f.Change(j, false);
  EXPECT_EQ(fixture::ReadBytes(f.dir / "a.txt"), "new a");
  updater::JournalReport report;
  ASSERT_TRUE(j.Undo(&report));
  const fixture::Snapshot after = fixture::TakeSnapshot(f.d, true);
  EXPECT_TRUE(after == before) << fixture::Diff(before, after);
  std::vector<std::string> steps;
  for (const auto& e : report.entries) steps.push_back(std::to_string(static_cast<int>(e.step)) + " " + e.path.substr(f.d.size()));
  const std::vector<std::string> want = {
      "0 /mareld.dat",  "0 /mareld.bak",         "1 /made/deep/n.txt", "2 /made/deep",
      "2 /made",        "0 /gone.txt",           "1 /a.txt",           "0 /a.txt"};
  EXPECT_EQ(steps, want) << "newest first; the directory that existed stays";
}

TEST(UndoJournal, ANextRunUndoesTheJournalOfARunThatWasKilled) {
  Folder f;
  const fixture::Snapshot before = fixture::TakeSnapshot(f.d, true);
  {
    UndoJournal j;
    ASSERT_TRUE(j.Create(f.d.c_str()));
    f.Change(j, false);
    // Live: another run finds it locked and leaves it alone.
    const Recovery busy = updater::RecoverJournal(f.d.c_str());
    EXPECT_EQ(busy.result, Recovery::Result::kInUse);
    EXPECT_EQ(busy.record_path, f.dir / "qxundo/journal");
    j.Close();  // as a killed process's handle is closed
  }
  const Recovery r = updater::RecoverJournal(f.d.c_str());
  EXPECT_EQ(r.result, Recovery::Result::kUndone);
  EXPECT_EQ(r.report.entries.size(), 8u);
  const fixture::Snapshot after = fixture::TakeSnapshot(f.d, true);
  EXPECT_TRUE(after == before) << fixture::Diff(before, after);
  EXPECT_EQ(updater::RecoverJournal(f.d.c_str()).result, Recovery::Result::kNothing);
}

TEST(UndoJournal, ARunKilledAfterItsCommitIsFinishedNotUndone) {
  Folder f;
  {
    UndoJournal j;
    ASSERT_TRUE(j.Create(f.d.c_str()));
    f.Change(j, true);
    j.Close();
  }
  const Recovery r = updater::RecoverJournal(f.d.c_str());
  EXPECT_EQ(r.result, Recovery::Result::kCompleted);
  EXPECT_EQ(fixture::ReadBytes(f.dir / "mareld.dat"), "new archive");
  EXPECT_EQ(fixture::ReadBytes(f.dir / "a.txt"), "new a");
  EXPECT_EQ(fixture::ReadBytes(f.dir / "made/deep/n.txt"), "new");
  EXPECT_EQ(f.dir.List(), (std::vector<std::string>{"a.txt", "keep", "made", "mareld.dat"}))
      << "the old files, the backup and the journal are gone";
}

TEST(UndoJournal, AJournalThatCannotBeReadWholeIsLeftAlone) {
  Folder f;
  {
    UndoJournal j;
    ASSERT_TRUE(j.Create(f.d.c_str()));
    f.Change(j, false);
    j.Close();
  }
  std::string bytes = fixture::ReadBytes(f.dir / "qxundo/journal");
  bytes[20] ^= 0x01;
  fixture::WriteBytes(f.dir / "qxundo/journal", bytes);
  const fixture::Snapshot before = fixture::TakeSnapshot(f.d, true);
  const Recovery r = updater::RecoverJournal(f.d.c_str());
  EXPECT_EQ(r.result, Recovery::Result::kDamaged);
  EXPECT_EQ(r.record_path, f.dir / "qxundo/journal");
  EXPECT_TRUE(fixture::TakeSnapshot(f.d, true) == before) << "never half applied";

  // An empty journal folder (killed as it was made or removed) just goes.
  fixture::TempDir other;
  std::filesystem::create_directory(other / "qxundo");
  EXPECT_EQ(updater::RecoverJournal(other.path().c_str()).result, Recovery::Result::kNothing);
  EXPECT_FALSE(fixture::Exists(other / "qxundo"));
}

TEST(UndoJournal, TheNextUpdateRecoversFirstAndRefusesADamagedJournal) {
  Folder f;
  const std::string archive = fixture::MakeArchive({{"x", "1"}});
  fixture::WriteBytes(f.dir / "mareld.dat", archive);
  const std::string exe = f.dir / "u.exe";
  fixture::WriteBytes(exe, fixture::MakeUpdater(Commands().WriteFile("a.txt", "third")));
  const fixture::Snapshot original = fixture::TakeSnapshot(f.d, true);
  {
    UndoJournal j;  // a run killed in the middle of its swap
    ASSERT_TRUE(j.Create(f.d.c_str()));
    f.Change(j, false);
    j.Close();
  }
  // A damaged journal stops the next run before anything changes.
  const std::string bytes = fixture::ReadBytes(f.dir / "qxundo/journal");
  fixture::WriteBytes(f.dir / "qxundo/journal",
                      bytes.substr(0, 8) + "garbage!" + bytes.substr(16));
  const fixture::Snapshot damaged = fixture::TakeSnapshot(f.d, true);
  fixture::RecordingUi ui;
  EXPECT_FALSE(updater::RunUpdate(ui, exe.c_str(), f.d.c_str()));
  EXPECT_EQ(ui.messages, std::vector<std::string>{fixture::Format(
                             updater::kMsgCannotOpenArchive, f.dir / "qxundo/journal")});
  EXPECT_TRUE(fixture::TakeSnapshot(f.d, true) == damaged);

  // Whole again: undone first, then the update runs on the folder as it was.
  fixture::WriteBytes(f.dir / "qxundo/journal", bytes);
  std::vector<Recovery::Result> seen;
  updater::RunOptions options;
  options.recovered = [&seen](const Recovery& r) { seen.push_back(r.result); };
  fixture::RecordingUi second;
  EXPECT_TRUE(updater::RunUpdate(second, exe.c_str(), f.d.c_str(), options));
  EXPECT_EQ(seen, std::vector<Recovery::Result>{Recovery::Result::kUndone});
  fixture::Snapshot want = original;
  want["a.txt"] = "file:third";
  want.erase("mareld.bak");  // a stale backup goes with the swap, as always
  fixture::Snapshot after = fixture::TakeSnapshot(f.d, true);
  for (const char* rewritten : {"a.txt", "mareld.dat"}) {
    after[rewritten] = after[rewritten].substr(0, after[rewritten].find(" @"));
    want[rewritten] = want[rewritten].substr(0, want[rewritten].find(" @"));
  }
  EXPECT_TRUE(after == want) << fixture::Diff(want, after);
}

// One step of an undo fails (a stray file in a folder the run made, a
// file held by another program, a read-only file); the original files
// survive it, and the next recovery, once the cause is gone, finishes the
// job: the folder is as it was, times included.
TEST(UndoJournal, AnUndoStepThatFailsLeavesEveryOriginalForTheNextRecovery) {
  struct Case {
    const char* name;
    std::function<void(Folder&)> obstruct, clear;
  };
  const std::vector<Case> cases = {
      {"a stray file in a created folder",
       [](Folder& f) { fixture::WriteBytes(f.dir / "made/deep/Thumbs.db", "x"); },
       [](Folder& f) { std::filesystem::remove(f.dir / "made/deep/Thumbs.db"); }},
      {"a file held open (every later operation refused)",
       [](Folder&) { platform::ArmPassingFault(12, 1000000); },
       [](Folder&) { platform::DisarmFault(); }},
      {"a read-only file the run made",
       [](Folder& f) {
         platform::SimulateReadOnlyDeletes(true);
         ASSERT_TRUE(platform::SetReadOnly((f.dir / "made/deep/n.txt").c_str(), true));
       },
       [](Folder& f) {
         ASSERT_TRUE(platform::SetReadOnly((f.dir / "made/deep/n.txt").c_str(), false));
         platform::SimulateReadOnlyDeletes(false);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Folder f;
    const fixture::Snapshot before = fixture::TakeSnapshot(f.d, true);
    const fixture::Snapshot original = fixture::TakeSnapshot(f.d);
    {
      UndoJournal j;
      ASSERT_TRUE(j.Create(f.d.c_str()));
      f.Change(j, false);
      j.Close();  // killed
    }
    c.obstruct(f);
    EXPECT_EQ(updater::RecoverJournal(f.d.c_str()).result, Recovery::Result::kFailed);
    c.clear(f);
    // Every original's bytes are still in the folder: in place, or still
    // in the journal.
    std::multiset<std::string> contents;
    for (const auto& entry : fixture::TakeSnapshot(f.d)) contents.insert(entry.second);
    for (const auto& entry : original)
      EXPECT_TRUE(contents.count(entry.second)) << entry.first << " lost";
    EXPECT_TRUE(fixture::Exists(f.dir / "qxundo/journal")) << "kept for another try";
    const Recovery again = updater::RecoverJournal(f.d.c_str());
    EXPECT_EQ(again.result, Recovery::Result::kUndone);
    const fixture::Snapshot after = fixture::TakeSnapshot(f.d, true);
    EXPECT_TRUE(after == before) << fixture::Diff(before, after);
  }
}

// The recovery cut off at each of its operations (every later operation
// failing, as when the process dies there), then run again: the folder is
// as it was. A killed first recovery is swept with real kills in
// tests/tools; this one also covers the failures it reports.
TEST(UndoJournal, ARecoveryCutOffAnywhereCanRunAgain) {
  long operations = 0;
  {
    Folder f;
    {
      UndoJournal j;
      ASSERT_TRUE(j.Create(f.d.c_str()));
      f.Change(j, false);
      j.Close();
    }
    platform::ResetOperationCount();
    ASSERT_EQ(updater::RecoverJournal(f.d.c_str()).result, Recovery::Result::kUndone);
    operations = platform::CountedOperations();
  }
  ASSERT_GT(operations, 20);
  for (long k = 1; k <= operations; ++k) {
    Folder f;
    const fixture::Snapshot before = fixture::TakeSnapshot(f.d, true);
    {
      UndoJournal j;
      ASSERT_TRUE(j.Create(f.d.c_str()));
      f.Change(j, false);
      j.Close();
    }
    platform::ArmFault(k, 1000000);
    updater::RecoverJournal(f.d.c_str());
    platform::DisarmFault();
    const Recovery again = updater::RecoverJournal(f.d.c_str());
    EXPECT_TRUE(again.result == Recovery::Result::kUndone ||
                again.result == Recovery::Result::kNothing)
        << k;
    const fixture::Snapshot after = fixture::TakeSnapshot(f.d, true);
    EXPECT_TRUE(after == before) << "cut off at " << k << "\n" << fixture::Diff(before, after);
  }
}

// Read-only files (a game copied from a disc), with deleting them refused
// as Windows refuses it: overwritten, deleted and emptied by an update
// that completes and leaves no journal, twice in a row; and a journal that
// holds them is undone with the attribute kept.
TEST(UndoJournal, ReadOnlyFilesAreUpdatedAndPutBack) {
  struct ReadOnlyDeletes {
    ReadOnlyDeletes() { platform::SimulateReadOnlyDeletes(true); }
    ~ReadOnlyDeletes() { platform::SimulateReadOnlyDeletes(false); }
  } simulated;
  fixture::TempDir dir;
  const std::string d = dir.path();
  fixture::WriteBytes(dir / "mareld.dat", fixture::MakeArchive({{"x", "1"}}));
  fixture::WriteBytes(dir / "over.txt", "old over");
  fixture::WriteBytes(dir / "gone.txt", "old gone");
  std::filesystem::create_directories(dir / "tree/sub");
  fixture::WriteBytes(dir / "tree/sub/y.txt", "y");
  for (const char* name : {"mareld.dat", "over.txt", "gone.txt", "tree/sub/y.txt"})
    ASSERT_TRUE(platform::SetReadOnly((dir / name).c_str(), true)) << name;
  ASSERT_FALSE(platform::RemoveFile((dir / "gone.txt").c_str())) << "deleting is refused";

  const fixture::Snapshot before = fixture::TakeSnapshot(d, true);
  {
    // Killed after its changes: undone, the originals read-only again.
    UndoJournal j;
    ASSERT_TRUE(j.Create(d.c_str()));
    ASSERT_TRUE(j.ReplaceWithNew((dir / "over.txt").c_str()));
    fixture::WriteBytes(dir / "over.txt", "new");
    ASSERT_TRUE(j.MoveAside((dir / "gone.txt").c_str()));
    j.Close();
  }
  EXPECT_EQ(updater::RecoverJournal(d.c_str()).result, Recovery::Result::kUndone);
  EXPECT_TRUE(fixture::TakeSnapshot(d, true) == before);
  for (const char* name : {"over.txt", "gone.txt"})
    EXPECT_TRUE(platform::IsReadOnly((dir / name).c_str())) << name;

  const std::string first = dir / "first.exe", second = dir / "second.exe";
  fixture::WriteBytes(first, fixture::MakeUpdater(Commands()
                                                      .WriteFile("over.txt", "first")
                                                      .DeleteFile("gone.txt")
                                                      .EmptyTree("tree")
                                                      .PutEntry("y", "2")));
  fixture::WriteBytes(second, fixture::MakeUpdater(
                                  Commands().WriteFile("over.txt", "second").PutEntry("z", "3")));
  for (const std::string& exe : {first, second}) {
    fixture::RecordingUi ui;
    EXPECT_TRUE(updater::RunUpdate(ui, exe.c_str(), d.c_str())) << exe;
    EXPECT_EQ(ui.messages, std::vector<std::string>{updater::kMsgCompleted});
    EXPECT_FALSE(fixture::Exists(dir / "qxundo")) << exe;
    EXPECT_FALSE(fixture::Exists(dir / "mareld.bak")) << exe;
  }
  EXPECT_EQ(fixture::ReadBytes(dir / "over.txt"), "second");
  EXPECT_FALSE(fixture::Exists(dir / "gone.txt"));
  EXPECT_FALSE(fixture::Exists(dir / "tree/sub/y.txt"));
  EXPECT_EQ(updater::RecoverJournal(d.c_str()).result, Recovery::Result::kNothing);
}

// A run that fails and cannot undo everything says so, naming the
// journal it leaves; the next run, once the cause is gone, recovers and
// completes.
TEST(UndoJournal, AFailedRunWhoseUndoCannotFinishSaysSo) {
  // A stray file appears in the folder the run made (a thumbnail cache,
  // say) while the next command is shown.
  class StrayUi : public fixture::RecordingUi {
   public:
    explicit StrayUi(std::string stray) : stray_(std::move(stray)) {}
    void ShowName(const char* name) override {
      RecordingUi::ShowName(name);
      if (std::string(name) == "keep") fixture::WriteBytes(stray_, "x");
    }

   private:
    std::string stray_;
  };
  Folder f;
  fixture::WriteBytes(f.dir / "mareld.dat", fixture::MakeArchive({{"x", "1"}}));
  const std::string exe = f.dir / "u.exe";
  fixture::WriteBytes(exe, fixture::MakeUpdater(Commands()
                                                    .WriteFile("a.txt", "new a")
                                                    .WriteFile("made/n.txt", "n")
                                                    .WriteFile("keep", "a directory")));
  StrayUi ui(f.dir / "made/desktop.ini");
  EXPECT_FALSE(updater::RunUpdate(ui, exe.c_str(), f.d.c_str()));
  EXPECT_EQ(ui.messages,
            (std::vector<std::string>{
                fixture::Format(updater::kMsgCannotCreateFile, f.dir / "keep"),
                fixture::Format(updater::kMsgCannotOpenArchive, f.dir / "qxundo/journal")}));
  EXPECT_EQ(fixture::ReadBytes(f.dir / "a.txt"), "old a") << "put back all the same";

  std::filesystem::remove(f.dir / "made/desktop.ini");
  fixture::WriteBytes(exe, fixture::MakeUpdater(Commands().WriteFile("a.txt", "third")));
  fixture::RecordingUi second;
  EXPECT_TRUE(updater::RunUpdate(second, exe.c_str(), f.d.c_str()));
  EXPECT_EQ(fixture::ReadBytes(f.dir / "a.txt"), "third");
  EXPECT_FALSE(fixture::Exists(f.dir / "made"));
  EXPECT_FALSE(fixture::Exists(f.dir / "qxundo"));
}

// A rename made as a link and an unlink (file systems without a one-step
// rename that never replaces), killed between the two: both names reach
// the file. Recovery leaves it under its old name only.
TEST(UndoJournal, ARenameCutBetweenItsLinkAndUnlinkLeavesNoSecondName) {
  Folder f;
  const std::string archive = f.dir / "mareld.dat", backup = f.dir / "mareld.bak",
                    a = f.dir / "a.txt";
  std::filesystem::remove(backup);
  const fixture::Snapshot before = fixture::TakeSnapshot(f.d, true);
  {
    UndoJournal j;
    ASSERT_TRUE(j.Create(f.d.c_str()));
    ASSERT_TRUE(j.WillRename(archive.c_str(), backup.c_str()));
    std::filesystem::create_hard_link(archive, backup);
    j.Close();
  }
  EXPECT_EQ(updater::RecoverJournal(f.d.c_str()).result, Recovery::Result::kUndone);
  fixture::Snapshot after = fixture::TakeSnapshot(f.d, true);
  EXPECT_TRUE(after == before) << fixture::Diff(before, after);

  {  // the same for a file moved into the journal
    UndoJournal j;
    ASSERT_TRUE(j.Create(f.d.c_str()));
    ASSERT_TRUE(j.ReplaceWithNew(a.c_str()));
    ASSERT_TRUE(platform::RenameFile((f.dir / "qxundo/1").c_str(), a.c_str()));
    std::filesystem::create_hard_link(a, f.dir / "qxundo/1");
    j.Close();
  }
  EXPECT_EQ(updater::RecoverJournal(f.d.c_str()).result, Recovery::Result::kUndone);
  after = fixture::TakeSnapshot(f.d, true);
  EXPECT_TRUE(after == before) << fixture::Diff(before, after);
}

// --- Changes recorded ahead, in batches.

using Kind = updater::ExpectedChange::Kind;

// What a run's file command asks of the journal before writing: as the
// run's opcode 0 does (a file there is replaced, else created), or a
// deletion.
bool Request(UndoJournal& j, const std::string& path, bool remove) {
  if (remove) return j.MoveAside(path.c_str());
  return updater::IsFileOrLink(path.c_str()) ? j.ReplaceWithNew(path.c_str())
                                             : j.WillCreateFile(path.c_str());
}

TEST(UndoJournal, ABatchOfFileChangesSharesOneFlushAndUndoesAsAlone) {
  fixture::TempDir dir;
  const std::string d = dir.path();
  for (int i = 0; i < 6; ++i) fixture::WriteBytes(dir / ("f" + std::to_string(i)), "old");
  std::filesystem::create_directory(dir / "sub");
  const fixture::Snapshot before = fixture::TakeSnapshot(d, true);
  // Five overwrites, a deletion, three creations; then, in the same batch,
  // a file named a second time, which must start the next group.
  std::vector<updater::ExpectedChange> plan;
  for (int i = 0; i < 5; ++i) plan.push_back({Kind::kOverwrite, dir / ("f" + std::to_string(i)), 0});
  plan.push_back({Kind::kDelete, dir / "f5", 0});
  for (const char* n : {"n0", "n1", "sub/n2"}) plan.push_back({Kind::kCreate, dir / n, 0});
  plan.push_back({Kind::kOverwrite, dir / "n0", 0});
  UndoJournal j;
  ASSERT_TRUE(j.Create(d.c_str()));
  j.Expect(plan);
  std::vector<long> flushes;
  for (const auto& change : plan) {
    const long at = platform::FlushCount();
    ASSERT_TRUE(Request(j, change.path, change.kind == Kind::kDelete)) << change.path;
    flushes.push_back(platform::FlushCount() - at);
    if (change.kind != Kind::kDelete) {
      // Made where nothing is, as the run makes it.
      ASSERT_FALSE(std::filesystem::exists(change.path)) << change.path;
      fixture::WriteBytes(change.path, "new " + change.path);
    }
  }
  EXPECT_EQ(flushes, (std::vector<long>{1, 0, 0, 0, 0, 0, 0, 0, 0, 1}))
      << "the first request flushes the batch; the file named twice starts afresh";
  EXPECT_EQ(fixture::ReadBytes(dir / "n0"), "new " + (dir / "n0"));
  j.Close();  // killed
  const Recovery r = updater::RecoverJournal(d.c_str());
  EXPECT_EQ(r.result, Recovery::Result::kUndone);
  const fixture::Snapshot after = fixture::TakeSnapshot(d, true);
  EXPECT_TRUE(after == before) << fixture::Diff(before, after)
                               << "n0, written twice, is gone with both versions";
}

// A batch stops where a change recorded ahead could not stay true until
// its command runs: a file named twice, a directory the command must make,
// the batch's end. Each listed request must flush on its own.
TEST(UndoJournal, ABatchEndsWhereRecordingAheadCouldGoWrong) {
  fixture::TempDir dir;
  const struct {
    const char* what;
    std::vector<updater::ExpectedChange> plan;
    std::vector<long> flushes;
  } kCases[] = {
      {"a name in another spelling",
       {{Kind::kCreate, dir / "a", 0}, {Kind::kCreate, dir / "b", 0},
        {Kind::kCreate, dir / "./A", 0}},
       {1, 0, 1}},
      {"a directory still to make",
       {{Kind::kCreate, dir / "c", 0}, {Kind::kCreate, dir / "new/d", 0}},
       {1, 1}},
      {"another batch", {{Kind::kCreate, dir / "e", 0}, {Kind::kCreate, dir / "f", 1}}, {1, 1}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    UndoJournal j;
    ASSERT_TRUE(j.Create(dir.path().c_str()));
    j.Expect(c.plan);
    std::vector<long> flushes;
    for (const auto& change : c.plan) {
      std::filesystem::create_directories(std::filesystem::path(change.path).parent_path());
      const long at = platform::FlushCount();
      // The directory the run would make is made after its records.
      ASSERT_TRUE(Request(j, change.path, false));
      flushes.push_back(platform::FlushCount() - at);
    }
    EXPECT_EQ(flushes, c.flushes);
    ASSERT_TRUE(j.Undo());
  }
}

// What another program did between the batch's flush and a command is what
// the command finds: recorded afresh, and undo puts back what the run moved
// (never removes a file it did not make).
TEST(UndoJournal, AChangeRecordedAheadThatNoLongerHoldsIsRecordedAfresh) {
  fixture::TempDir dir;
  const std::string d = dir.path();
  fixture::WriteBytes(dir / "a", "old a");
  fixture::WriteBytes(dir / "b", "old b");
  const std::vector<updater::ExpectedChange> plan = {
      {Kind::kOverwrite, dir / "a", 0},
      {Kind::kOverwrite, dir / "b", 0},
      {Kind::kCreate, dir / "c", 0},
  };
  UndoJournal j;
  ASSERT_TRUE(j.Create(d.c_str()));
  j.Expect(plan);
  ASSERT_TRUE(Request(j, dir / "a", false));
  fixture::WriteBytes(dir / "a", "new a");
  // Another program replaces b with a file of its own (made beside it,
  // so that it is another file, not the same one rewritten) and makes c.
  fixture::WriteBytes(dir / "b.new", "b of another program");
  std::filesystem::rename(dir / "b.new", dir / "b");
  fixture::WriteBytes(dir / "c", "c of another program");
  for (const char* name : {"b", "c"}) {
    const long at = platform::FlushCount();
    ASSERT_TRUE(Request(j, dir / name, false)) << name;
    EXPECT_EQ(platform::FlushCount() - at, 1) << name << " is recorded afresh";
    fixture::WriteBytes(dir / name, std::string("new ") + name);
  }
  j.Close();  // killed
  ASSERT_EQ(updater::RecoverJournal(d.c_str()).result, Recovery::Result::kUndone);
  EXPECT_EQ(fixture::ReadBytes(dir / "a"), "old a");
  EXPECT_EQ(fixture::ReadBytes(dir / "b"), "b of another program");
  EXPECT_EQ(fixture::ReadBytes(dir / "c"), "c of another program");

  // A run that fails before the command of a creation recorded ahead: what
  // another program put under that name meanwhile stays.
  UndoJournal failed;
  ASSERT_TRUE(failed.Create(d.c_str()));
  failed.Expect({{Kind::kCreate, dir / "d", 0}, {Kind::kCreate, dir / "e", 0}});
  ASSERT_TRUE(Request(failed, dir / "d", false));
  fixture::WriteBytes(dir / "d", "new d");
  fixture::WriteBytes(dir / "e", "e of another program");
  ASSERT_TRUE(failed.Undo());
  EXPECT_FALSE(fixture::Exists(dir / "d"));
  EXPECT_EQ(fixture::ReadBytes(dir / "e"), "e of another program");
}

}  // namespace
