// The update run with a version manifest: the game compared before the
// first change, what is written proved against the manifest, damaged
// manifests refused. Each case says what the player sees and what the
// folder holds afterwards.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/content_hash.h"
#include "engine/manifest.h"
#include "engine/messages.h"
#include "engine/update_run.h"
#include "engine_fixture.h"
#include "patchlib/manifest_writer.h"
#include "platform/filesystem.h"

namespace {

using fixture::Commands;
using updater::ItemState;
using updater::Manifest;
using updater::ManifestRecord;

ItemState File(const std::string& content) {
  ItemState s;
  s.kind = ItemState::Kind::kFile;
  s.size = content.size();
  s.hash = updater::HashBytes(content.data(), content.size());
  return s;
}
ItemState Absent() { return ItemState{}; }

ManifestRecord Loose(const std::string& name, ItemState before, ItemState after) {
  return {ManifestRecord::Kind::kLooseFile, name, before, after};
}
ManifestRecord Entry(const std::string& name, ItemState before, ItemState after) {
  return {ManifestRecord::Kind::kArchiveEntry, name, before, after};
}

// OLD and NEW of a small game, and the patch between them.
const std::vector<std::pair<std::string, std::string>> kOldEntries = {
    {"e.bin", "old-e"}, {"keep.bin", "k"}, {"x.bin", "old-x"}};
const std::vector<std::pair<std::string, std::string>> kNewEntries = {
    {"keep.bin", "k"}, {"e.bin", "new-e"}};

Commands PatchCommands() {
  return Commands()
      .DeleteFile("gone.txt")
      .WriteFile("a.txt", "new-a")
      .WriteFile("sub/fresh.txt", "f")
      .RemoveEntry("x.bin")
      .PutEntry("e.bin", "new-e");
}

Manifest PatchManifest() {
  Manifest m;
  m.inflated_size = PatchCommands().bytes().size();
  m.from_label = "1.02";
  m.to_label = "1.03";
  m.records = {Loose("gone.txt", File("bye"), Absent()),
               Loose("a.txt", File("old-a"), File("new-a")),
               Loose("sub/fresh.txt", Absent(), File("f")),
               Entry("x.bin", File("old-x"), Absent()),
               Entry("e.bin", File("old-e"), File("new-e"))};
  return m;
}

std::string Encode(const Manifest& m) {
  std::string bytes, error;
  EXPECT_TRUE(patchlib::EncodeManifest(m, &bytes, &error)) << error;
  return bytes;
}

void WriteOld(const std::string& dir) {
  fixture::WriteBytes(dir + "/a.txt", "old-a");
  fixture::WriteBytes(dir + "/gone.txt", "bye");
  fixture::WriteBytes(dir + "/mine.txt", "a player's own file");
  fixture::WriteBytes(dir + "/mareld.dat", fixture::MakeArchive(kOldEntries));
}

void WriteNew(const std::string& dir) {
  fixture::WriteBytes(dir + "/a.txt", "new-a");
  platform::MakeDirectory((dir + "/sub").c_str());
  fixture::WriteBytes(dir + "/sub/fresh.txt", "f");
  fixture::WriteBytes(dir + "/mine.txt", "a player's own file");
  fixture::WriteBytes(dir + "/mareld.dat", fixture::MakeArchive(kNewEntries));
}

struct Outcome {
  bool completed;
  std::vector<std::string> messages;
  std::vector<updater::MessageKind> kinds;
  fixture::Snapshot before, after;
  std::string proof_failed;
  updater::VersionState version = updater::VersionState::kBefore;
};

// Runs `updater` on a game prepared by `prepare`.
Outcome RunIn(const std::string& updater, const std::function<void(const std::string&)>& prepare,
            updater::RunOptions options = {}) {
  fixture::TempDir game, home;
  prepare(game.path());
  fixture::WriteBytes(home / "update.exe", updater);
  Outcome o;
  o.before = fixture::TakeSnapshot(game.path());
  options.proof_failed = [&o](const std::string& item) { o.proof_failed = item; };
  options.version_checked = [&o](const updater::VersionReport& r) { o.version = r.state; };
  fixture::RecordingUi ui;
  o.completed = updater::RunUpdate(ui, (home / "update.exe").c_str(), game.path().c_str(),
                                   options);
  o.messages = ui.messages;
  o.kinds = ui.kinds;
  o.after = fixture::TakeSnapshot(game.path());
  return o;
}

fixture::Snapshot SnapshotOf(const std::function<void(const std::string&)>& prepare) {
  fixture::TempDir dir;
  prepare(dir.path());
  return fixture::TakeSnapshot(dir.path());
}

TEST(VersionRun, TheGameIsComparedBeforeAnythingChanges) {
  const std::string with_manifest = fixture::MakeUpdater(PatchCommands()) + Encode(PatchManifest());
  const std::string without = fixture::MakeUpdater(PatchCommands());
  std::string damaged = with_manifest;
  damaged[damaged.size() - 40] ^= 0x20;  // inside the body: the checksum fails
  const std::string cut = with_manifest.substr(0, with_manifest.size() - 5);
  Manifest wrong_file = PatchManifest();
  wrong_file.records[1].after = File("NEW-A");  // the payload writes "new-a"
  Manifest wrong_entry = PatchManifest();
  wrong_entry.records[4].after = File("NEW-E");
  Manifest wrong_size = PatchManifest();
  wrong_size.inflated_size += 1;

  auto old_with = [](std::function<void(const std::string&)> change) {
    return [change](const std::string& dir) {
      WriteOld(dir);
      change(dir);
    };
  };
  const auto old_game = old_with([](const std::string&) {});
  const fixture::Snapshot new_game = SnapshotOf(WriteNew);
  const std::string wrong = updater::kMsgWrongVersion;

  struct Case {
    const char* what;
    std::string updater;
    std::function<void(const std::string&)> prepare;
    bool completed;
    std::string message;
    bool becomes_new;  // else: unchanged byte for byte
  } cases[] = {
      {"the right version", with_manifest, old_game, true, updater::kMsgCompleted, true},
      {"the same update a second time", with_manifest, WriteNew, true,
       updater::kMsgAlreadyApplied, false},
      {"a third version: a file to overwrite differs", with_manifest,
       old_with([](const std::string& d) { fixture::WriteBytes(d + "/a.txt", "1.01-a"); }),
       false, fixture::Format(updater::kMsgWrongVersion, "a.txt"), false},
      {"an entry to replace differs", with_manifest,
       old_with([](const std::string& d) {
         fixture::WriteBytes(d + "/mareld.dat",
                             fixture::MakeArchive({{"e.bin", "1.01-e"}, {"keep.bin", "k"},
                                                   {"x.bin", "old-x"}}));
       }),
       false, fixture::Format(updater::kMsgWrongVersion, "e.bin"), false},
      {"a file to delete is already gone, the rest is old", with_manifest,
       old_with([](const std::string& d) { std::remove((d + "/gone.txt").c_str()); }), false,
       fixture::Format(updater::kMsgWrongVersion, "gone.txt"), false},
      {"half applied by another tool: one file new, the rest old", with_manifest,
       old_with([](const std::string& d) { fixture::WriteBytes(d + "/a.txt", "new-a"); }),
       false, fixture::Format(updater::kMsgWrongVersion, "a.txt"), false},
      {"a payload without a manifest applies as before", without, old_game, true,
       updater::kMsgCompleted, true},
      {"a damaged manifest", damaged, old_game, false, updater::kMsgCannotOpen, false},
      {"a manifest cut at its end", cut, old_game, false, updater::kMsgCannotOpen, false},
      {"a manifest whose inflated size is not the stream's",
       fixture::MakeUpdater(PatchCommands()) + Encode(wrong_size), old_game, false,
       updater::kMsgCannotOpen, false},
      {"a written file that is not its record: the run is undone",
       fixture::MakeUpdater(PatchCommands()) + Encode(wrong_file), old_game, false,
       updater::kMsgCannotWriteArchive, false},
      {"a written entry that is not its record: the run is undone",
       fixture::MakeUpdater(PatchCommands()) + Encode(wrong_entry), old_game, false,
       updater::kMsgCannotWriteArchive, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome o = RunIn(c.updater, c.prepare);
    EXPECT_EQ(o.completed, c.completed);
    ASSERT_EQ(o.messages.size(), 1u);
    EXPECT_EQ(o.messages[0], c.message);
    EXPECT_EQ(o.kinds[0], c.completed ? updater::MessageKind::kInformation
                                      : updater::MessageKind::kError);
    if (c.becomes_new)
      EXPECT_EQ(o.after, new_game) << fixture::Diff(new_game, o.after);
    else
      EXPECT_EQ(o.after, o.before) << fixture::Diff(o.before, o.after);
  }
}

TEST(VersionRun, AProofFailureNamesTheItemAndSkippingTheCheckStillProves) {
  Manifest wrong_file = PatchManifest();
  wrong_file.records[1].after = File("NEW-A");
  const Outcome o = RunIn(fixture::MakeUpdater(PatchCommands()) + Encode(wrong_file), WriteOld);
  EXPECT_EQ(o.proof_failed, "a.txt");

  // Skipping the check applies to a folder that fits neither state; what
  // is written is still checked, and here it is right.
  updater::RunOptions skip;
  skip.skip_version_check = true;
  const Outcome skipped =
      RunIn(fixture::MakeUpdater(PatchCommands()) + Encode(PatchManifest()),
          [](const std::string& d) {
            WriteOld(d);
            fixture::WriteBytes(d + "/a.txt", "1.01-a");
          },
          skip);
  EXPECT_TRUE(skipped.completed);
  EXPECT_EQ(skipped.messages, std::vector<std::string>{updater::kMsgCompleted});
}

TEST(VersionRun, TheMakersLanguageAndTextsAreShown) {
  struct Case {
    updater::MessageLanguage language;
    std::string completion;
    bool english;
  } cases[] = {
      {updater::MessageLanguage::kJapanese, "", false},
      {updater::MessageLanguage::kEnglish, "", true},
      {updater::MessageLanguage::kEnglish, "Caf\xc3\xa9 1.03 ready", true},
  };
  for (const Case& c : cases) {
    Manifest m = PatchManifest();
    m.language = c.language;
    m.completion = c.completion;
    const std::string updater = fixture::MakeUpdater(PatchCommands()) + Encode(m);
    const Outcome done = RunIn(updater, WriteOld);
    ASSERT_EQ(done.messages.size(), 1u);
    if (!c.completion.empty())  // through the default path to cp932: é has no form there
      EXPECT_EQ(done.messages[0].substr(4), " 1.03 ready") << done.messages[0];
    else
      EXPECT_EQ(done.messages[0], c.english ? updater::InEnglish(updater::kMsgCompleted)
                                            : updater::kMsgCompleted);
    const Outcome again = RunIn(updater, WriteNew);
    EXPECT_EQ(again.messages, std::vector<std::string>{c.english
                                                           ? "This update has already been applied."
                                                           : updater::kMsgAlreadyApplied});
    const Outcome wrong = RunIn(updater, [](const std::string& d) {
      WriteOld(d);
      fixture::WriteBytes(d + "/a.txt", "x");
    });
    EXPECT_EQ(wrong.messages,
              std::vector<std::string>{fixture::Format(
                  c.english ? "This update does not fit the version of the game in this "
                              "folder. (%s)"
                            : updater::kMsgWrongVersion,
                  "a.txt")});
  }
}

}  // namespace
