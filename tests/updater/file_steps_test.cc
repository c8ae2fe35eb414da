// Renames and deletions of the game's files: a refusal that may pass (a
// file held for a moment) is waited out, any other is tried once more, and
// a read-only attribute does not stop a deletion.
#include "engine/file_steps.h"

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "platform/clock.h"
#include "platform/fault.h"
#include "platform/filesystem.h"

namespace {

TEST(FileSteps, APassingRefusalIsWaitedOutAnyOtherTriedOnceMore) {
  const struct {
    const char* what;
    bool passing;
    long failures;
    bool renamed;
    long tries;
  } kCases[] = {
      {"one failure of any kind", false, 1, true, 2},
      {"two failures that do not pass", false, 2, false, 2},
      {"a file held for three tries", true, 3, true, 4},
      {"a file held for good", true, 100, false, 6},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    fixture::TempDir dir;
    fixture::WriteBytes(dir / "a", "a");
    const std::uint64_t start = platform::MonotonicMillis();
    if (c.passing)
      platform::ArmPassingFault(1, c.failures);
    else
      platform::ArmFault(1, c.failures);
    const bool renamed = updater::RenameLooseFile((dir / "a").c_str(), (dir / "b").c_str());
    const long tries = platform::CountedOperations();
    platform::DisarmFault();
    const std::uint64_t waited = platform::MonotonicMillis() - start;
    EXPECT_EQ(renamed, c.renamed);
    EXPECT_EQ(fixture::Exists(dir / "b"), c.renamed);
    EXPECT_EQ(tries, c.tries);
    // The back-off: 50 ms, then doubling, 1.55 s in all. Windows' clock moves in ticks of
    // about 16 ms, so each end of the measurement may read up to a tick early.
    const std::uint64_t clock_ticks = 32;
    if (c.passing) {
      EXPECT_GE(waited + clock_ticks, c.renamed ? 350u : 1550u);
    }
  }
}

TEST(FileSteps, AReadOnlyFileIsDeletedAsAnInstallerDeletesIt) {
  platform::SimulateReadOnlyDeletes(true);
  fixture::TempDir dir;
  fixture::WriteBytes(dir / "a", "a");
  ASSERT_TRUE(platform::SetReadOnly((dir / "a").c_str(), true));
  EXPECT_TRUE(platform::IsReadOnly((dir / "a").c_str()));
  EXPECT_FALSE(platform::RemoveFile((dir / "a").c_str()));
  EXPECT_TRUE(updater::DeleteLooseFile((dir / "a").c_str()));
  EXPECT_FALSE(fixture::Exists(dir / "a"));
  EXPECT_FALSE(updater::DeleteLooseFile((dir / "a").c_str())) << "nothing there";
  platform::SimulateReadOnlyDeletes(false);
}

}  // namespace
