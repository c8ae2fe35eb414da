#include "foundation/klock.h"

#include <gtest/gtest.h>

#include <thread>

namespace zorl {
namespace {

TEST(KLockTest, CreatedOnFirstEntryAndRecursive) {
  KLock lock;
  EXPECT_FALSE(lock.IsInitialised());
  lock.Enter();
  EXPECT_TRUE(lock.IsInitialised());
  lock.Enter();  // the owner may enter again
  lock.Leave();
  lock.Leave();
  EXPECT_TRUE(lock.Reset());
  EXPECT_FALSE(lock.IsInitialised());
  EXPECT_TRUE(lock.Reset());
}

TEST(KLockTest, ExcludesOtherThreads) {
  KLock lock;
  int counter = 0;
  auto work = [&] {
    for (int i = 0; i < 20000; ++i) {
      KLockGuard guard(lock);
      KLockGuard again(lock);
      ++counter;
    }
  };
  lock.Enter();  // create it before the threads race
  lock.Leave();
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 40000);
}

}  // namespace
}  // namespace zorl
