// The message loops.
#include "framework/dialog.h"
#include "framework/message_pump.h"
#include "framework/win32.h"
#include "framework/window.h"
#include "gtest/gtest.h"
#include "test_application.h"
#include "test_resources.h"

namespace {

class CountingWindow : public QWF::Window {
 public:
  int probes = 0;
  QWF::LResult HandleMessage(unsigned message, QWF::WParam wparam,
                             QWF::LParam lparam) override {
    if (message == WM_APP + 1) ++probes;
    return Window::HandleMessage(message, wparam, lparam);
  }
};

bool QuitWaiting() {
  MSG msg;
  return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

class MessagePumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fwtest::TestApplication();
    while (QWF::PumpPendingMessages() == false) {
    }
  }
};

TEST_F(MessagePumpTest, PeekingPumpDrainsAndReturnsTrueOnAnEmptyQueue) {
  EXPECT_TRUE(QWF::PumpPendingMessages());
  CountingWindow window;
  ASSERT_TRUE(window.Create(nullptr, "pump", WS_OVERLAPPEDWINDOW, 0));
  for (int i = 0; i < 3; ++i) window.PostMessage(WM_APP + 1, 0, 0);
  EXPECT_TRUE(QWF::PumpPendingMessages());
  EXPECT_EQ(3, window.probes);
}

TEST_F(MessagePumpTest, PeekingPumpStopsAtQuitAndConsumesIt) {
  CountingWindow window;
  ASSERT_TRUE(window.Create(nullptr, "pump", WS_OVERLAPPEDWINDOW, 0));
  window.PostMessage(WM_APP + 1, 0, 0);
  PostQuitMessage(3);
  EXPECT_FALSE(QWF::PumpPendingMessages());
  EXPECT_EQ(1, window.probes);
  EXPECT_FALSE(QuitWaiting());
  EXPECT_TRUE(QWF::PumpPendingMessages());
}

class CountingDialog : public QWF::Dialog {
 public:
  int probes = 0;
  QWF::LResult HandleMessage(unsigned message, QWF::WParam, QWF::LParam) override {
    if (message == WM_APP + 1) ++probes;
    return 0;
  }
};

TEST_F(MessagePumpTest, PumpWithADialogDeliversEachMessageOnceAndStopsAtQuit) {
  CountingDialog dialog;
  EXPECT_TRUE(QWF::PumpPendingMessages(&dialog));  // empty object: tests nothing
  ASSERT_TRUE(QWF::CreateDialog(IDD_PLAIN, nullptr, &dialog, false));
  CountingWindow window;
  ASSERT_TRUE(window.Create(nullptr, "beside the dialog", WS_OVERLAPPEDWINDOW, 0));
  // The dialog-message test handles the dialog's own messages itself: they must not be
  // dispatched a second time. Other windows' messages are dispatched as usual.
  dialog.PostMessage(WM_APP + 1, 0, 0);
  dialog.PostMessage(WM_APP + 1, 0, 0);
  window.PostMessage(WM_APP + 1, 0, 0);
  EXPECT_TRUE(QWF::PumpPendingMessages(&dialog));
  EXPECT_EQ(2, dialog.probes);
  EXPECT_EQ(1, window.probes);

  dialog.PostMessage(WM_APP + 1, 0, 0);
  PostQuitMessage(0);
  EXPECT_FALSE(QWF::PumpPendingMessages(&dialog));
  EXPECT_EQ(3, dialog.probes);
  EXPECT_FALSE(QuitWaiting());
  dialog.PostMessage(WM_APP + 1, 0, 0);
  EXPECT_TRUE(QWF::PumpPendingMessages(&dialog));
  EXPECT_EQ(4, dialog.probes);
}

TEST_F(MessagePumpTest, BlockingPumpReturnsTheQuitCode) {
  CountingWindow window;
  ASSERT_TRUE(window.Create(nullptr, "loop", WS_OVERLAPPEDWINDOW, 0));
  window.PostMessage(WM_APP + 1, 0, 0);
  window.PostMessage(WM_APP + 1, 0, 0);
  PostQuitMessage(17);
  EXPECT_EQ(17, QWF::RunMessageLoop());
  EXPECT_EQ(2, window.probes);
}

TEST_F(MessagePumpTest, SingleMessageOperations) {
  QWF::MessageRecord record = {};
  EXPECT_FALSE(QWF::PeekMessage(&record, PM_REMOVE));
  PostThreadMessageW(GetCurrentThreadId(), WM_APP + 9, 5, 6);
  ASSERT_TRUE(QWF::PeekMessage(&record, PM_NOREMOVE));
  EXPECT_EQ(static_cast<unsigned>(WM_APP + 9), record.message);
  ASSERT_TRUE(QWF::GetMessage(&record));
  EXPECT_EQ(5u, record.wparam);
  EXPECT_EQ(6, record.lparam);
  PostQuitMessage(0);
  EXPECT_FALSE(QWF::GetMessage(&record));
}

}  // namespace
