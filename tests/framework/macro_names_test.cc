// Operation names that <windows.h> also defines as macros (SendMessage, PeekMessage,
// IsDialogMessage ...) stay the framework's own names in code that includes the system header
// first, with UNICODE on. Without the framework headers removing the macros this file would
// call QWF::PeekMessageW and friends, which the library does not have: it would not link.
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include "framework/dialog.h"
#include "framework/message_pump.h"
#include "framework/module.h"
#include "framework/window.h"
#include "framework/win32.h"
#include "gtest/gtest.h"
#include "test_application.h"

namespace {

class EchoWindow : public QWF::Window {
 public:
  QWF::LResult HandleMessage(unsigned message, QWF::WParam wparam,
                             QWF::LParam lparam) override {
    if (message == WM_APP + 3) return static_cast<QWF::LResult>(wparam * 2);
    return Window::HandleMessage(message, wparam, lparam);
  }
};

TEST(MacroNamesTest, OperationsKeepTheirNamesNextToTheSystemHeader) {
  fwtest::TestApplication();
  EchoWindow window;
  ASSERT_TRUE(window.Create(nullptr, "macros", WS_OVERLAPPEDWINDOW, 0));
  EXPECT_EQ(42, window.SendMessage(WM_APP + 3, 21, 0));
  EXPECT_TRUE(window.PostMessage(WM_NULL, 0, 0));
  QWF::MessageRecord record = {};
  EXPECT_TRUE(QWF::PeekMessage(&record, PM_REMOVE));
  QWF::Dialog dialog;
  EXPECT_FALSE(dialog.IsDialogMessage(&record));
  QWF::Module module;
  EXPECT_FALSE(module.Load("", 0));
}

}  // namespace
