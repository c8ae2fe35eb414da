#include "platform/module.h"

#include <gtest/gtest.h>

#include "platform/debug.h"
#include "platform/lock.h"

namespace platform {
namespace {

// A library every system has, and one of its exports (set by CMake).
const char kLibrary[] = KESTREL_TEST_SYSTEM_LIBRARY;
const char kSymbol[] = KESTREL_TEST_SYSTEM_SYMBOL;

TEST(ModuleTest, LoadsLooksUpAndUnloads) {
  ModuleHandle m = LoadModule(kLibrary);
  ASSERT_NE(m, nullptr) << kLibrary;
  EXPECT_NE(GetModuleSymbol(m, kSymbol), nullptr);
  EXPECT_EQ(GetModuleSymbol(m, "NoSuchExportAnywhere"), nullptr);
  EXPECT_TRUE(UnloadModule(m));
  EXPECT_EQ(LoadModule("no-such-library-kestrel.bin"), nullptr);
  EXPECT_EQ(GetModuleSymbol(nullptr, kSymbol), nullptr);
  EXPECT_FALSE(UnloadModule(nullptr));
}

TEST(LockTest, NativeLockIsRecursiveAndReusable) {
  NativeLock lock;
  lock.Init();
  lock.Enter();
  lock.Enter();
  lock.Leave();
  lock.Leave();
  lock.Destroy();
  lock.Init();  // may be created again after Destroy
  lock.Enter();
  lock.Leave();
  lock.Destroy();
  DebugOutput("kestrel: debug output reaches the debugger channel\n");
  DebugOutput(nullptr);
}

}  // namespace
}  // namespace platform
