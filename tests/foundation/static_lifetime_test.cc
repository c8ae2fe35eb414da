// Counted values in static storage outlive everything a test does: the
// string below is built during static initialisation, before this process
// makes its first counted allocation (and so before the block pool exists),
// and released at exit, after every object created later is gone. It lives
// in an executable of its own so no other test allocates first.
//
// A fault shows as a crash or a sanitizer report when the process exits,
// after the test itself has passed: ctest sees the exit status.
#include <gtest/gtest.h>

#include "foundation/kblockpool.h"
#include "foundation/kref.h"
#include "foundation/kstring.h"

namespace zorl {
namespace {

KString g_name;
KRef<char> g_buffer;

TEST(StaticLifetimeTest, ValuesBuiltBeforeThePoolAreReleasedAfterIt) {
  g_name.Assign("assigned once the pool exists");
  g_buffer.Reset(64);
  EXPECT_STREQ(g_name.Text(), "assigned once the pool exists");
  EXPECT_GE(KBlockPool::Global().HandedOut(), 2u);
}

}  // namespace
}  // namespace zorl
