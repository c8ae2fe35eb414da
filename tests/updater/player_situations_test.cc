// What stands in a player's way before the first change: a file another
// program holds, a volume too full, a folder the user may not write; and
// the silent mode's and the run log's parts of the engine.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "engine/path_resolve.h"
#include "engine/run_log.h"
#include "engine/run_status.h"
#include "engine/silent_ui.h"
#include "engine/space_check.h"
#include "engine/update_run.h"
#include "engine/updater_switches.h"
#include "foundation/klist.h"
#include "foundation/ktext.h"
#include "engine_fixture.h"
#include "platform/fault.h"
#include "platform/text.h"

namespace {

using fixture::Commands;
using fixture::Format;
using updater::RunStatus;

// A game folder with an archive, an old file, a tree and an updater.
struct Game {
  fixture::TempDir dir;
  std::string exe = dir / "patch.exe";

  Game() {
    fixture::WriteBytes(dir / "mareld.dat",
                        fixture::MakeArchive({{"data/a.txt", "old-a"}, {"keep.bin", "keep"}}));
    fixture::WriteBytes(dir / "over.txt", "before");
    fixture::WriteBytes(dir / "old.txt", "old");
    std::filesystem::create_directories(dir / "tree");
    fixture::WriteBytes(dir / "tree/x.txt", "x");
  }
  // The folder, the updater left out (the tests write it as they go).
  fixture::Snapshot Snap(bool times = false) const {
    fixture::Snapshot s = fixture::TakeSnapshot(dir.path(), times);
    s.erase("patch.exe");
    return s;
  }
  ~Game() { platform::DisarmFault(); }
  std::string Path(const char* name) const {
    char out[264];
    updater::ResolvePath(dir.path().c_str(), name, out);
    return out;
  }
  RunStatus Run(const Commands& commands, updater::UpdateUi& ui, updater::RunOptions options = {}) {
    fixture::WriteBytes(exe, fixture::MakeUpdater(commands));
    RunStatus status = RunStatus::kCompleted;
    options.status = &status;
    const bool completed = updater::RunUpdate(ui, exe.c_str(), dir.path().c_str(), options);
    EXPECT_EQ(completed, status == RunStatus::kCompleted);
    return status;
  }
};

Commands EveryKind() {
  return Commands()
      .WriteFile("new.txt", "new")
      .WriteFile("over.txt", "after")
      .DeleteFile("old.txt")
      .EmptyTree("tree")
      .PutEntry("data/a.txt", "new-a")
      .PutEntry("added.bin", "added");
}

// Answers Retry a given number of times, releasing what it is told to
// before the last Retry.
class AnsweringUi : public fixture::RecordingUi {
 public:
  bool AskRetry(const char* text) override {
    questions.push_back(text);
    fixture::Snapshot now = fixture::TakeSnapshot(folder);
    now.erase("patch.exe");
    snapshots.push_back(now);
    if (questions.size() < retries) return true;
    if (questions.size() == retries) {
      platform::ReportInUse("");
      return true;
    }
    return false;
  }
  std::string folder;
  std::size_t retries = 0;
  std::vector<std::string> questions;
  std::vector<fixture::Snapshot> snapshots;
};

TEST(FilesInUse, AHeldFileIsAskedAboutBeforeAnyChangeAndCancelChangesNothing) {
  // mareld.dat (the game running) is asked about before anything is
  // written; any other file the run replaces, deletes or empties away once
  // the check has passed.
  for (const char* held : {"mareld.dat", "over.txt", "old.txt", "tree/x.txt"}) {
    SCOPED_TRACE(held);
    Game game;
    const fixture::Snapshot before = game.Snap(true);
    platform::ReportInUse(game.Path(held));
    AnsweringUi ui;
    ui.folder = game.dir.path();
    updater::FilesInUse told;
    updater::RunOptions options;
    options.in_use = [&told](const updater::FilesInUse& found) { told = found; };
    EXPECT_EQ(RunStatus::kFilesInUse, game.Run(EveryKind(), ui, options));
    ASSERT_EQ(1u, ui.questions.size());
    EXPECT_EQ(Format(updater::kMsgFilesInUse, game.Path(held)), ui.questions[0]);
    EXPECT_EQ(std::vector<std::string>{game.Path(held)}, told.files);
    EXPECT_TRUE(ui.messages.empty()) << "Cancel ends the run without another message";
    if (std::string(held) == "mareld.dat") {
      EXPECT_EQ(game.Snap(), ui.snapshots[0])
          << "the folder is untouched while the question waits";
    }
    EXPECT_EQ(before, game.Snap(true))
        << fixture::Diff(before, game.Snap(true));
  }
}

TEST(FilesInUse, RetryChecksAgainAndCompletesOnceTheFileIsFree) {
  Game game;
  platform::ReportInUse(game.Path("mareld.dat"));
  AnsweringUi ui;
  ui.folder = game.dir.path();
  ui.retries = 2;  // still held at the first Retry, free at the second
  EXPECT_EQ(RunStatus::kCompleted, game.Run(EveryKind(), ui));
  EXPECT_EQ(2u, ui.questions.size());
  EXPECT_EQ(std::vector<std::string>{updater::kMsgCompleted}, ui.messages);
  EXPECT_EQ("after", fixture::ReadBytes(game.dir / "over.txt"));
}

TEST(FilesInUse, AFrontEndThatCannotAskShowsTheTextAndStops) {
  Game game;
  platform::ReportInUse(game.Path("over.txt"));
  updater::SilentUi silent;
  EXPECT_EQ(RunStatus::kFilesInUse, game.Run(EveryKind(), silent));
  EXPECT_EQ(Format(updater::kMsgFilesInUse, game.Path("over.txt")), silent.last_error());
  EXPECT_EQ(updater::kExitFilesInUse, updater::ExitStatusOf(RunStatus::kFilesInUse));
}

// A sharing violation after the check (the game started mid-run): the run
// is undone and says why in the same words, as a warning.
TEST(FilesInUse, ASharingViolationMidRunIsUndoneAndToldAsAFileInUse) {
  int told = 0;
  for (long k = 1; k < 400; ++k) {
    Game game;
    const fixture::Snapshot before = game.Snap();
    fixture::RecordingUi ui;
    fixture::WriteBytes(game.exe, fixture::MakeUpdater(Commands()
                                                           .WriteFile("over.txt", "after")
                                                           .DeleteFile("old.txt")
                                                           .PutEntry("added.bin", "added")));
    platform::ArmFault(k, 1, platform::FailureKind::kInUse);
    RunStatus status = RunStatus::kCompleted;
    updater::RunOptions options;
    options.status = &status;
    const bool completed = updater::RunUpdate(ui, game.exe.c_str(), game.dir.path().c_str(), options);
    const bool fired = platform::FaultFired();
    platform::DisarmFault();
    if (completed && !fired) break;  // past the run's last operation
    if (completed) continue;
    SCOPED_TRACE(k);
    EXPECT_EQ(before, game.Snap())
        << fixture::Diff(before, game.Snap());
    if (status != RunStatus::kFilesInUse) continue;  // a failure on an open file: no name to tell
    ++told;
    ASSERT_EQ(1u, ui.messages.size());
    EXPECT_EQ(0u, ui.messages[0].find(Format(updater::kMsgFilesInUse, "").substr(0, 20)));
    EXPECT_EQ(updater::MessageKind::kWarning, ui.kinds[0]);
    EXPECT_EQ(')', ui.messages[0].back());
  }
  EXPECT_GT(told, 3) << "the run's renames and deletions were met by the fault";
}

// The rebuilt archive beside the old one and the loose files written:
// exactly that much free space is enough, one byte less is not.
TEST(FreeSpace, TheRunNeedsItsPeakAndNotAByteMore) {
  const Commands commands = Commands()
                                .WriteFile("new.txt", std::string(3000, 'n'))
                                .WriteFile("new.txt", std::string(1000, 'm'))  // the larger counts
                                .WriteFile("over.txt", "after")
                                .PutEntry("DATA/A.TXT", std::string(2000, 'a'))
                                .PutEntry("added.bin", "added")
                                .RemoveEntry("keep.bin");
  const std::uint64_t archive =
      fixture::MakeArchive({{"data/a.txt", std::string(2000, 'a')}, {"added.bin", "added"}}).size();
  const std::uint64_t need = archive + 3000 + 5;
  {
    Game game;
    const fixture::Snapshot before = game.Snap(true);
    platform::ReportFreeSpace(static_cast<std::int64_t>(need - 1));
    fixture::RecordingUi ui;
    EXPECT_EQ(RunStatus::kNoSpace, game.Run(commands, ui));
    ASSERT_EQ(1u, ui.messages.size());
    EXPECT_EQ(Format(updater::kMsgNoSpace, updater::SpaceDetail(need, need - 1)), ui.messages[0]);
    EXPECT_EQ(before, game.Snap(true));
    EXPECT_EQ(updater::kExitNoSpace, updater::ExitStatusOf(RunStatus::kNoSpace));
  }
  {
    Game game;
    platform::ReportFreeSpace(static_cast<std::int64_t>(need));
    fixture::RecordingUi ui;
    EXPECT_EQ(RunStatus::kCompleted, game.Run(commands, ui));
    EXPECT_EQ(archive, fixture::ReadBytes(game.dir / "mareld.dat").size())
        << "the archive's share of the need is the rebuilt archive's size";
  }
}

TEST(FreeSpace, TheMessageGivesNeededAndFreeInMegabytes) {
  const std::uint64_t mb = 1024 * 1024;
  // Needed rounds up, free rounds down: a volume short by a little never
  // reads as if it had enough.
  EXPECT_EQ(platform::Utf8ToCp932("必要 3 MB、空き 2 MB"), updater::SpaceDetail(2 * mb + 1, 3 * mb - 1));
  EXPECT_EQ("needed 1 MB, free 0 MB", updater::SpaceDetail(1, 0, updater::Language::kEnglish));
  EXPECT_EQ("Not enough free disk space. (needed 5 MB, free 2 MB)",
            updater::EnglishMessage(Format(updater::kMsgNoSpace, updater::SpaceDetail(5 * mb, 2 * mb))));
}

TEST(FolderRefused, AFrontEndTakesItOverWithNothingChanged) {
  for (bool taken : {true, false}) {
    SCOPED_TRACE(taken);
    Game game;
    const fixture::Snapshot before = game.Snap(true);
    platform::RefuseDirectoryCreation(true);
    int asked = 0;
    updater::RunOptions options;
    options.folder_refused = [&](updater::UpdateUi&) {
      ++asked;
      return taken;
    };
    fixture::RecordingUi ui;
    const RunStatus status = game.Run(EveryKind(), ui, options);
    EXPECT_EQ(1, asked);
    if (taken) {
      EXPECT_EQ(RunStatus::kFolderRefused, status);
      EXPECT_TRUE(ui.messages.empty()) << "the front end speaks for itself";
    } else {
      EXPECT_EQ(RunStatus::kFailed, status);
      EXPECT_EQ(std::vector<std::string>{updater::kMsgCannotOpen}, ui.messages);
    }
    EXPECT_EQ(before, game.Snap(true));
  }
}

TEST(FolderRefused, OtherFailuresToCreateTheJournalAreNotTakenForMissingRights) {
  Game game;
  platform::ArmFault(1, 1000);  // everything fails, for another reason
  int asked = 0;
  updater::RunOptions options;
  options.folder_refused = [&](updater::UpdateUi&) { return ++asked > 0; };
  fixture::RecordingUi ui;
  EXPECT_EQ(RunStatus::kFailed, game.Run(Commands(), ui, options));
  platform::DisarmFault();
  EXPECT_EQ(0, asked);
}

TEST(CheckRefusal, TheNameLineShowsTheRefusedCommand) {
  Game game;
  fixture::RecordingUi ui;
  EXPECT_EQ(RunStatus::kFailed,
            game.Run(Commands().WriteFile("fine.txt", "x").DeleteFile("missing.txt"), ui));
  ASSERT_FALSE(ui.names.empty());
  EXPECT_EQ("missing.txt", ui.names.back());
  EXPECT_EQ(std::vector<std::string>{Format(updater::kMsgCannotDelete, game.Path("missing.txt"))},
            ui.messages);
}

TEST(UpdaterSwitches, ReadsTheSwitchesRegardlessOfCase) {
  struct Case {
    std::vector<std::string> words;
    bool silent;
    std::string log, unknown;
    bool elevated;
  };
  const Case cases[] = {
      {{}, false, "", "", false},
      {{"/S"}, true, "", "", false},
      {{"/s"}, true, "", "", false},
      {{"/SILENT", "/log=C:\\a b\\run.log"}, true, "C:\\a b\\run.log", "", false},
      {{"/Log=x.txt"}, false, "x.txt", "", false},
      {{"/elevated", "/S"}, true, "", "", true},
      {{"/log="}, false, "", "/log=", false},  // a log needs a name
      {{"-S"}, false, "", "-S", false},
      {{"/S", "/quiet", "/x"}, true, "", "/quiet", false},
      {{"/silently"}, false, "", "/silently", false},
  };
  for (const Case& c : cases) {
    const updater::UpdaterSwitches s = updater::ParseSwitches(c.words);
    SCOPED_TRACE(c.words.empty() ? "(none)" : c.words[0]);
    EXPECT_EQ(c.silent, s.silent);
    EXPECT_EQ(c.log, s.log_path);
    EXPECT_EQ(c.unknown, s.unknown);
    EXPECT_EQ(c.elevated, s.elevated);
  }
}

TEST(UpdaterSwitches, ARelaunchKeepsTheSwitchesAndNeverRelaunchesAgain) {
  updater::UpdaterSwitches s = updater::ParseSwitches({"/silent", "/log=C:\\a b\\run.log"});
  const std::string line = updater::RelaunchArguments(s);
  EXPECT_EQ("/S \"/log=C:\\a b\\run.log\" /elevated", line);
  // The relaunched process reads the same switches back, and /elevated.
  zorl::KList<char> words;
  zorl::SplitCommandLine(line.c_str(), words);
  std::vector<std::string> split;
  for (auto p = words.Begin(); p != words.End(); p = words.Next(p)) split.push_back(words.At(p).Get());
  const updater::UpdaterSwitches again = updater::ParseSwitches(split);
  EXPECT_TRUE(again.silent);
  EXPECT_TRUE(again.elevated);
  EXPECT_EQ(s.log_path, again.log_path);
  EXPECT_EQ("", again.unknown);
}

TEST(RunLog, AFailureIsLoggedInJapaneseAndEnglishWithItsReason) {
  Game game;
  fixture::WriteBytes(game.dir / "blocked", "a file where a directory must go");
  updater::RunLog log;
  ASSERT_TRUE(log.Open((game.dir / "run.log").c_str()));
  updater::SilentUi silent;
  updater::LoggingUi ui(silent, log);
  EXPECT_EQ(RunStatus::kFailed,
            game.Run(Commands().WriteFile("new.txt", "n").WriteFile("blocked/inner.txt", "x"), ui));
  log.Close();
  const std::string text = fixture::ReadBytes(game.dir / "run.log");
  const std::string folder = platform::Cp932ToUtf8(game.Path("blocked"));
  EXPECT_NE(std::string::npos, text.find("command: new.txt\r\n")) << text;
  EXPECT_NE(std::string::npos, text.find("command: blocked/inner.txt\r\n")) << text;
  EXPECT_NE(std::string::npos,
            text.find("error: ディレクトリを作成できません\r\n"
                      "       The folder cannot be created.\r\n"
                      "       why: cannot create the directory " + folder + ": "))
      << text;
}

TEST(RunLog, EveryMessageHasItsEnglishText) {
  for (const char* message :
       {updater::kMsgOutOfMemory, updater::kMsgCannotOpen, updater::kMsgCannotRead,
        updater::kMsgCannotWrite, updater::kMsgCannotCreateDirectory,
        updater::kMsgCannotWriteArchive, updater::kMsgCannotSwapArchive, updater::kMsgCompleted,
        updater::kMsgNeedsAdministrator}) {
    EXPECT_NE("", updater::EnglishMessage(message)) << platform::Cp932ToUtf8(message);
  }
  EXPECT_EQ("Another program, probably the game, is using a file. Close it, then press Retry. "
            "(game.exe)",
            updater::EnglishMessage(Format(updater::kMsgFilesInUse, "game.exe")));
  EXPECT_EQ("", updater::EnglishMessage("no message of ours"));
}

}  // namespace
