// UpdateUi::WaitPumping: a blocking operation on a helper thread while the
// calling thread keeps pumping, and what a quit does meanwhile.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "engine/update_ui.h"
#include "engine_fixture.h"

namespace {

// Pumps counted atomically: the operation watches them from its thread.
struct CountingUi : fixture::RecordingUi {
  std::atomic<long> seen{0};
  long throw_at = 0;  // 0: never
  bool throw_other = false;
  void Pump() override {
    const long n = ++seen;
    if (n == throw_at) {
      if (throw_other) throw std::runtime_error("pump failed");
      throw updater::kFailureSignal;
    }
  }
};

// Waits (at most ten seconds) until `ui` has pumped `count` times.
bool AwaitPumps(CountingUi& ui, long count) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (ui.seen < count) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST(WaitPumping, RunsTheOperationElsewhereWhileThisThreadPumps) {
  CountingUi ui;
  const auto caller = std::this_thread::get_id();
  std::thread::id ran_on;
  // The operation can only end once the caller has pumped while it ran.
  const bool result = ui.WaitPumping([&] {
    ran_on = std::this_thread::get_id();
    return AwaitPumps(ui, 4);
  });
  EXPECT_TRUE(result);
  EXPECT_NE(ran_on, caller);
  EXPECT_GE(ui.seen, 4);

  EXPECT_FALSE(ui.WaitPumping([] { return false; }));
  EXPECT_GE(ui.seen, 5) << "pumps at least once, however short the wait";
}

TEST(WaitPumping, AQuitWaitsForTheOperationThenIsThrownOrHeld) {
  for (const bool hold : {false, true}) {
    SCOPED_TRACE(hold ? "held" : "thrown");
    CountingUi ui;
    ui.throw_at = 2;
    std::atomic<bool> finished{false};
    bool quit = false;
    bool returned = false;
    try {
      returned = ui.WaitPumping(
          [&] {
            // Ends only well after the quit was met.
            if (!AwaitPumps(ui, 5)) return false;
            finished = true;
            return true;
          },
          hold ? &quit : nullptr);
      EXPECT_TRUE(hold) << "the quit was not thrown";
    } catch (int signal) {
      EXPECT_EQ(signal, updater::kFailureSignal);
      EXPECT_FALSE(hold) << "a held quit was thrown";
    }
    EXPECT_TRUE(finished) << "the quit cut the operation short";
    EXPECT_EQ(quit, hold);
    EXPECT_EQ(returned, hold);
    EXPECT_GE(ui.seen, 5) << "pumping stopped at the quit";
  }
}

TEST(WaitPumping, OtherExceptionsAreThrownAfterTheOperationEvenWhenHolding) {
  CountingUi ui;
  ui.throw_at = 1;
  ui.throw_other = true;
  std::atomic<bool> finished{false};
  bool quit = false;
  EXPECT_THROW(ui.WaitPumping(
                   [&] {
                     std::this_thread::sleep_for(std::chrono::milliseconds(30));
                     finished = true;
                     return true;
                   },
                   &quit),
               std::runtime_error);
  EXPECT_TRUE(finished);
  EXPECT_FALSE(quit);

  // An exception of the operation itself comes out on the calling thread.
  CountingUi quiet;
  EXPECT_THROW(quiet.WaitPumping([]() -> bool { throw std::logic_error("x"); }),
               std::logic_error);
}

}  // namespace
