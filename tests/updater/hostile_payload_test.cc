// The hostile payloads, run by the engine: one message, nothing changed.
#include <gtest/gtest.h>

#include "engine/update_run.h"
#include "hostile_payloads.h"

namespace {

TEST(HostilePayload, FailsBeforeTheFirstChangeAndChangesNothing) {
  int run = 0;
  for (const fixture::HostileCase& c : fixture::HostilePayloads()) {
    fixture::HostileGame game(c.dir_length);
    if (c.setup && !c.setup(game)) {
      std::printf("skipped (the system cannot set it up): %s\n", c.what.c_str());
      continue;
    }
    ++run;
    fixture::WriteBytes(game.exe, fixture::MakeUpdater(c.commands(game)));
    const fixture::Snapshot before = fixture::TakeSnapshot(game.dir, true);
    fixture::RecordingUi ui;
    EXPECT_FALSE(updater::RunUpdate(ui, game.exe.c_str(), game.dir.c_str())) << c.what;
    ASSERT_EQ(ui.messages.size(), 1u) << c.what;
    EXPECT_TRUE(c.expected(ui.messages[0], game))
        << c.what << ": want " << c.expected_text << ", got " << ui.messages[0];
    EXPECT_EQ(ui.kinds[0], updater::MessageKind::kError) << c.what;
    const fixture::Snapshot after = fixture::TakeSnapshot(game.dir, true);
    EXPECT_EQ(after, before) << c.what << "\n" << fixture::Diff(before, after);
  }
  EXPECT_GT(run, 40);
}

}  // namespace
