#include "engine/progress.h"

#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace {

TEST(ProgressPosition, RoundsSinglePrecisionHalvesToEven) {
  struct Case {
    std::int64_t done, total;
    int position;
  } cases[] = {
      {0, 100, 0},         {100, 100, 30000}, {1, 3, 10000},
      {2, 3, 20000},       {1, 2, 15000},     {1, 60000, 0},  // 0.5 -> 0
      {3, 60000, 2},       // 1.5 -> 2
      {5, 60000, 2},       // 2.5 -> 2
      {7, 60000, 4},       // 3.5 -> 4
      {1, 30000, 1},       {0x7FFFFFFF, 0x7FFFFFFF, 30000},
  };
  for (const Case& c : cases)
    EXPECT_EQ(updater::ProgressPosition(c.done, c.total), c.position)
        << c.done << " of " << c.total;
}

TEST(ProgressPacer, ShowsFinalPositionAlwaysAndOthersOnBudget) {
  fixture::RecordingUi ui;
  updater::ProgressPacer slow(ui, 1000000);  // budget never runs out
  slow.Report(1, 10);
  slow.Tick();
  EXPECT_TRUE(ui.progress.empty());
  EXPECT_EQ(ui.pumps, 0);
  slow.Report(10, 10);
  EXPECT_EQ(ui.progress, std::vector<int>{30000});
  EXPECT_EQ(ui.pumps, 1);

  fixture::RecordingUi eager_ui;
  updater::ProgressPacer eager(eager_ui, 0);
  eager.Report(1, 3);
  eager.Report(2, 3);
  eager.Tick();
  EXPECT_EQ(eager_ui.progress, (std::vector<int>{10000, 20000}));
  EXPECT_EQ(eager_ui.pumps, 3);
}

TEST(UpdateUiError, FormatsShowsAndThrowsTheFailureSignal) {
  fixture::RecordingUi ui;
  try {
    ui.Error("file(%s) x", "a/b.txt");
    FAIL() << "Error returned";
  } catch (int signal) {
    EXPECT_EQ(signal, updater::kFailureSignal);
  }
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "file(a/b.txt) x");
  EXPECT_EQ(ui.kinds[0], updater::MessageKind::kError);
}

}  // namespace
