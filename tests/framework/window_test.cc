// The window base class: creation handshake, routing, hooks, destruction and geometry.
#include <algorithm>
#include <vector>

#include "framework/message_pump.h"
#include "framework/win32.h"
#include "framework/window.h"
#include "gtest/gtest.h"
#include "test_application.h"

namespace {

using fwtest::Cp932;

// A window that records every message its object receives.
class RecordingWindow : public QWF::Window {
 public:
  std::vector<unsigned> seen;
  bool refuse_create = false;
  QWF::MessageHook* hook_on_create = nullptr;

  QWF::LResult HandleMessage(unsigned message, QWF::WParam wparam,
                             QWF::LParam lparam) override {
    seen.push_back(message);
    if (message == WM_CREATE) {
      if (hook_on_create) AddHook(hook_on_create);
      if (refuse_create) return -1;
    }
    return Window::HandleMessage(message, wparam, lparam);
  }
  // Show is an operation of its own: record it among the messages.
  static constexpr unsigned kShowCalled = 0x10000;
  bool Show(int command) override {
    seen.push_back(kShowCalled + static_cast<unsigned>(command));
    return Window::Show(command);
  }
  bool Saw(unsigned message) const {
    return std::find(seen.begin(), seen.end(), message) != seen.end();
  }
};

// Every message sent to any window of the thread, as the system delivers it.
std::vector<std::pair<HWND, UINT>> g_sent;
LRESULT CALLBACK RecordSent(int code, WPARAM wparam, LPARAM lparam) {
  const CWPSTRUCT* info = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code == HC_ACTION) g_sent.emplace_back(info->hwnd, info->message);
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { fwtest::TestApplication(); }
  void TearDown() override { QWF::PumpPendingMessages(); }
};

constexpr unsigned kTopLevel = WS_OVERLAPPEDWINDOW;

TEST_F(WindowTest, EmptyClassNameCreatesABasicWindowBoundFromNcCreateOn) {
  g_sent.clear();
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, &RecordSent, nullptr, GetCurrentThreadId());
  RecordingWindow window;
  bool created = window.Create("", "first", kTopLevel, 0, 10, 10, 200, 100);
  UnhookWindowsHookEx(hook);
  ASSERT_TRUE(created);
  EXPECT_TRUE(window.Created());
  wchar_t class_name[64] = {};
  GetClassNameW(window.Handle(), class_name, 64);
  EXPECT_STREQ(L"QWF Basic Window Class", class_name);

  // The system sent the window messages before WM_NCCREATE (WM_GETMINMAXINFO for an
  // overlapped window); the object's first message is WM_NCCREATE all the same.
  auto first_ncc = std::find_if(g_sent.begin(), g_sent.end(), [&](const auto& m) {
    return m.first == window.Handle() && m.second == WM_NCCREATE;
  });
  ASSERT_NE(g_sent.end(), first_ncc);
  EXPECT_NE(first_ncc, g_sent.begin()) << "nothing was sent before WM_NCCREATE";
  ASSERT_FALSE(window.seen.empty());
  EXPECT_EQ(static_cast<unsigned>(WM_NCCREATE), window.seen.front());
  EXPECT_TRUE(window.Saw(WM_CREATE));
}

TEST_F(WindowTest, CreateOnAWindowThatHasOneFailsAndChangesNothing) {
  QWF::Window window;
  ASSERT_TRUE(window.Create(nullptr, "kept", kTopLevel, 0));
  HWND before = window.Handle();
  EXPECT_FALSE(window.Create(nullptr, "other", kTopLevel, 0, 0, 0, 50, 50));
  EXPECT_EQ(before, window.Handle());
  EXPECT_STREQ("kept", window.GetText().Text());
  EXPECT_TRUE(window.Created());
}

TEST_F(WindowTest, RefusedCreationLeavesTheObjectEmptyAndReusable) {
  RecordingWindow window;
  window.refuse_create = true;
  EXPECT_FALSE(window.Create(nullptr, "refused", kTopLevel, 0));
  EXPECT_EQ(nullptr, window.Handle());
  EXPECT_FALSE(window.Created());
  EXPECT_FALSE(window.Destroy());
  window.refuse_create = false;
  EXPECT_TRUE(window.Create(nullptr, "accepted", kTopLevel, 0));
  EXPECT_TRUE(window.IsWindow());
  EXPECT_FALSE(window.Create("No Such Class", "x", kTopLevel, 0));
}

TEST_F(WindowTest, AWindowCreatedWithoutTheObjectHandshakeBindsToNoObject) {
  RecordingWindow bound;
  ASSERT_TRUE(bound.Create(nullptr, "bound", kTopLevel, 0));
  HWND first = bound.Handle();
  // A framework-class window made directly with the system call, after the handshake.
  HWND raw = CreateWindowExW(0, L"QWF Basic Window Class", L"raw", kTopLevel, 0, 0, 100, 100,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(nullptr, raw);
  EXPECT_EQ(first, bound.Handle());
  SetWindowTextW(raw, L"still raw");
  EXPECT_EQ(L"still raw", fwtest::WideText(raw));
  EXPECT_STREQ("bound", bound.GetText().Text());
  DestroyWindow(raw);
  EXPECT_TRUE(bound.IsWindow());
}

TEST_F(WindowTest, TextCrossesTheSystemAsCp932ThroughTheWideApi) {
  std::string title = Cp932("更新中・表示");
  QWF::Window window;
  ASSERT_TRUE(window.Create(nullptr, title.c_str(), kTopLevel, 0));
  EXPECT_EQ(L"更新中・表示", fwtest::WideText(window.Handle()));
  EXPECT_EQ(title, window.GetText().Text());
  std::string changed = Cp932("ソース");  // ソ is 0x83 0x5C
  EXPECT_TRUE(window.SetText(changed.c_str()));
  EXPECT_EQ(L"ソース", fwtest::WideText(window.Handle()));
  EXPECT_EQ(changed, window.GetText().Text());
}

class SequenceHook : public QWF::MessageHook {
 public:
  SequenceHook(std::vector<int>* log, int id, bool pass, unsigned stop_message)
      : log_(log), id_(id), pass_(pass), stop_message_(stop_message) {}
  bool Hook(QWF::LResult* result, QWF::Window*, unsigned message, QWF::WParam,
            QWF::LParam) override {
    if (message != stop_message_) return true;
    log_->push_back(id_);
    if (pass_) return true;
    *result = 1234;
    return false;
  }

 private:
  std::vector<int>* log_;
  int id_;
  bool pass_;
  unsigned stop_message_;
};

TEST_F(WindowTest, HooksRunInOrderAndAStoppingHookEndsTheMessage) {
  constexpr unsigned kProbe = WM_APP + 5;
  std::vector<int> log;
  SequenceHook first(&log, 1, true, kProbe), second(&log, 2, false, kProbe),
      third(&log, 3, true, kProbe);
  RecordingWindow window;
  EXPECT_FALSE(window.AddHook(&first));  // no window yet
  ASSERT_TRUE(window.Create(nullptr, "hooks", kTopLevel, 0));
  ASSERT_TRUE(window.AddHook(&first));
  ASSERT_TRUE(window.AddHook(&second));
  ASSERT_TRUE(window.AddHook(&third));
  EXPECT_EQ(1234, window.SendMessage(kProbe, 0, 0));
  EXPECT_EQ((std::vector<int>{1, 2}), log);
  EXPECT_FALSE(window.Saw(kProbe));

  window.RemoveHook(&second);
  log.clear();
  window.SendMessage(kProbe, 0, 0);
  EXPECT_EQ((std::vector<int>{1, 3}), log);
  EXPECT_TRUE(window.Saw(kProbe));
}

TEST_F(WindowTest, AHookAddedDuringCreationKeepsWorkingAfterwards) {
  constexpr unsigned kProbe = WM_APP + 6;
  std::vector<int> log;
  SequenceHook stop(&log, 7, false, kProbe);
  RecordingWindow window;
  window.hook_on_create = &stop;
  ASSERT_TRUE(window.Create(nullptr, "hook on create", kTopLevel, 0));
  EXPECT_EQ(1234, window.SendMessage(kProbe, 0, 0));
  EXPECT_EQ((std::vector<int>{7}), log);
}

TEST_F(WindowTest, DestroyHidesBeforeDestroyingAndEmptiesTheObject) {
  RecordingWindow window;
  EXPECT_FALSE(window.Destroy());  // nothing held
  ASSERT_TRUE(window.Create(nullptr, "destroy", kTopLevel | WS_VISIBLE, 0));
  HWND handle = window.Handle();
  window.seen.clear();
  ASSERT_TRUE(window.Destroy());
  auto hidden = std::find(window.seen.begin(), window.seen.end(),
                          RecordingWindow::kShowCalled + SW_HIDE);
  auto destroyed = std::find(window.seen.begin(), window.seen.end(),
                             static_cast<unsigned>(WM_DESTROY));
  ASSERT_NE(window.seen.end(), hidden);
  ASSERT_NE(window.seen.end(), destroyed);
  EXPECT_LT(hidden, destroyed);
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(nullptr, window.Handle());
  EXPECT_FALSE(window.Created());
  EXPECT_FALSE(window.Destroy());
}

TEST_F(WindowTest, AWindowDestroyedBehindTheObjectsBackLeavesItEmpty) {
  QWF::Window window;
  ASSERT_TRUE(window.Create(nullptr, "closed by the system", kTopLevel, 0));
  QWF::Window sharing(window);  // shares the record
  ASSERT_TRUE(DestroyWindow(window.Handle()));
  EXPECT_EQ(nullptr, window.Handle());
  EXPECT_EQ(nullptr, sharing.Handle());
  EXPECT_FALSE(window.Created());
  // The object is reusable, and nothing later addresses the old handle.
  EXPECT_TRUE(window.Create(nullptr, "again", kTopLevel, 0));
}

// What the system delivers to a window while it is destroyed, and what its user-data slot
// then holds (a routed message would reach the object through it).
struct DestructionWatch {
  HWND window = nullptr;
  int slot = GWLP_USERDATA;
  std::vector<LONG_PTR> slot_values;  // at WM_DESTROY and WM_NCDESTROY
};
DestructionWatch g_watch;
LRESULT CALLBACK WatchDestruction(int code, WPARAM wparam, LPARAM lparam) {
  const CWPSTRUCT* info = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code == HC_ACTION && info->hwnd == g_watch.window &&
      (info->message == WM_DESTROY || info->message == WM_NCDESTROY))
    g_watch.slot_values.push_back(GetWindowLongPtrW(info->hwnd, g_watch.slot));
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

// A hook that counts the messages it is asked about.
class CountingHook : public QWF::MessageHook {
 public:
  int calls = 0;
  bool Hook(QWF::LResult*, QWF::Window*, unsigned, QWF::WParam, QWF::LParam) override {
    ++calls;
    return true;
  }
};

// A window destroyed through its object's destructor: by the time the system sends the
// destruction messages the derived object is gone, so nothing may route them to it.
TEST_F(WindowTest, TheDestructorUnbindsBeforeItDestroys) {
  CountingHook hook;
  HWND handle = nullptr;
  {
    RecordingWindow window;
    ASSERT_TRUE(window.Create(nullptr, "destructor", kTopLevel, 0));
    handle = window.Handle();
    ASSERT_TRUE(window.AddHook(&hook));
  }
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(0, hook.calls) << "a hook saw the destruction of a window whose object is gone";
}

TEST_F(WindowTest, TheDestructorLeavesNoObjectInTheUserDataSlot) {
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, &WatchDestruction, nullptr,
                                 GetCurrentThreadId());
  {
    RecordingWindow window;
    ASSERT_TRUE(window.Create(nullptr, "destructor slot", kTopLevel, 0));
    g_watch = DestructionWatch{window.Handle(), GWLP_USERDATA, {}};
  }
  UnhookWindowsHookEx(hook);
  EXPECT_EQ((std::vector<LONG_PTR>{0, 0}), g_watch.slot_values);
}

// The usual idiom for a heap-allocated modeless window: it deletes itself when its window is
// gone. Nothing may touch the object after that.
class SelfDeletingWindow : public QWF::Window, public fwtest::PoisonedWhenDeleted {
 public:
  explicit SelfDeletingWindow(bool* deleted) : deleted_(deleted) {}
  ~SelfDeletingWindow() override { *deleted_ = true; }
  QWF::LResult HandleMessage(unsigned message, QWF::WParam wparam,
                             QWF::LParam lparam) override {
    if (message == WM_NCDESTROY) {
      QWF::LResult result = Window::HandleMessage(message, wparam, lparam);
      delete this;
      return result;
    }
    return Window::HandleMessage(message, wparam, lparam);
  }

 private:
  bool* deleted_;
};

TEST_F(WindowTest, AnObjectThatDeletesItselfAtNcDestroyIsNotTouchedAfterwards) {
  bool deleted = false;
  auto* window = new SelfDeletingWindow(&deleted);
  ASSERT_TRUE(window->Create(nullptr, "self-deleting", kTopLevel, 0));
  HWND handle = window->Handle();
  QWF::Window sharing(*window);  // another wrapper of the same window
  {
    fwtest::AccessFaultCounter counter;
    ASSERT_TRUE(DestroyWindow(handle));
    EXPECT_EQ(0, counter.Faults()) << "the deleted object was used";
  }
  EXPECT_TRUE(deleted);
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(nullptr, sharing.Handle());
}

// A hook that removes another hook during a message (its owner may then free it): the
// removed hook must not be called for that message.
class RemovingHook : public QWF::MessageHook {
 public:
  QWF::Window* window = nullptr;
  QWF::MessageHook* victim = nullptr;
  bool Hook(QWF::LResult*, QWF::Window*, unsigned message, QWF::WParam,
            QWF::LParam) override {
    if (message == WM_APP + 9 && victim) {
      window->RemoveHook(victim);
      victim = nullptr;
    }
    return true;
  }
};

TEST_F(WindowTest, AHookRemovedByAnotherDuringAMessageIsNotCalledForIt) {
  RecordingWindow window;
  ASSERT_TRUE(window.Create(nullptr, "hooks removed", kTopLevel, 0));
  RemovingHook remover;
  CountingHook victim, kept;
  remover.window = &window;
  remover.victim = &victim;
  ASSERT_TRUE(window.AddHook(&remover));
  ASSERT_TRUE(window.AddHook(&victim));
  ASSERT_TRUE(window.AddHook(&kept));
  window.SendMessage(WM_APP + 9, 0, 0);
  EXPECT_EQ(0, victim.calls);
  EXPECT_EQ(1, kept.calls) << "the hooks after the removed one still run";
  EXPECT_TRUE(window.Saw(WM_APP + 9));
  // It stays removed.
  window.SendMessage(WM_APP + 9, 0, 0);
  EXPECT_EQ(0, victim.calls);
  EXPECT_EQ(2, kept.calls);
}

TEST_F(WindowTest, WrappersOfParentAndItemsNeverDestroyWhatTheyWrap) {
  QWF::Window parent;
  ASSERT_TRUE(parent.Create(nullptr, "parent", kTopLevel, 0));
  QWF::Window child;
  ASSERT_TRUE(child.Create("BUTTON", "child", WS_CHILD | WS_VISIBLE, 0, 5, 5, 60, 20,
                           QWF::ControlId(77), &parent));
  {
    QWF::Window wrapped = child.Parent();
    EXPECT_EQ(parent.Handle(), wrapped.Handle());
    EXPECT_FALSE(wrapped.Created());
    QWF::Window item = parent.DialogItem(77);
    EXPECT_EQ(child.Handle(), item.Handle());
    EXPECT_EQ(77, item.GetId());
    EXPECT_TRUE(child.IsChildOf(&parent));
  }
  EXPECT_TRUE(parent.IsWindow());
  EXPECT_TRUE(child.IsWindow());
  child.CheckButton(77, BST_CHECKED);
  EXPECT_FALSE(parent.IsButtonChecked(77));  // a push button has no check
}

TEST_F(WindowTest, MoveWithNegativeValuesKeepsThePosition) {
  QWF::Window top;
  ASSERT_TRUE(top.Create(nullptr, "move", WS_POPUP | WS_CAPTION, 0, 40, 50, 120, 90));
  ASSERT_TRUE(top.Move(-1, -1, 300, 200));
  QWF::Rect r = top.WindowRect();
  EXPECT_EQ(40, r.x);
  EXPECT_EQ(50, r.y);
  EXPECT_EQ(300, r.width);
  EXPECT_EQ(200, r.height);
  top.SetSize(QWF::Size{310, -1});
  r = top.WindowRect();
  EXPECT_EQ(40, r.x);
  EXPECT_EQ(310, r.width);
  EXPECT_EQ(200, r.height);

  // A child keeps its place in its parent's client coordinates.
  QWF::Window child;
  ASSERT_TRUE(child.Create("STATIC", "c", WS_CHILD, 0, 15, 25, 30, 30, nullptr, &top));
  ASSERT_TRUE(child.Move(-1, -1, 80, 60));
  RECT placed;
  GetWindowRect(child.Handle(), &placed);
  MapWindowPoints(nullptr, top.Handle(), reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(15, placed.left);
  EXPECT_EQ(25, placed.top);
  EXPECT_EQ(80, placed.right - placed.left);

  // An owned top-level window (its GetParent is the owner) stays in screen coordinates.
  QWF::Window owned;
  ASSERT_TRUE(owned.Create(nullptr, "owned", WS_POPUP | WS_CAPTION, 0, 200, 220, 100, 80,
                           nullptr, &top));
  ASSERT_EQ(top.Handle(), GetParent(owned.Handle()));
  ASSERT_TRUE(owned.Move(-1, -1, 150, 120));
  r = owned.WindowRect();
  EXPECT_EQ(200, r.x);
  EXPECT_EQ(220, r.y);
  EXPECT_EQ(150, r.width);
}

TEST_F(WindowTest, CentresOnTheFullScreenArea) {
  QWF::Window window;
  ASSERT_TRUE(window.Create(nullptr, "centre", WS_POPUP, 0, 0, 0, 301, 151));
  ASSERT_TRUE(window.Centre());
  QWF::Rect r = window.WindowRect();
  EXPECT_EQ(GetSystemMetrics(SM_CXFULLSCREEN) / 2 - 301 / 2, r.x);
  EXPECT_EQ(GetSystemMetrics(SM_CYFULLSCREEN) / 2 - 151 / 2, r.y);
  EXPECT_EQ(301, r.width);
}

TEST_F(WindowTest, ClientAndWindowSizesConvertBothWays) {
  QWF::Window window;
  ASSERT_TRUE(window.Create(nullptr, "sizes", WS_OVERLAPPEDWINDOW, 0, 0, 0, 400, 300));
  window.SetClientSize(320, 240);
  QWF::Rect client = window.ClientRect();
  EXPECT_EQ(0, client.x);
  EXPECT_EQ(320, client.width);
  EXPECT_EQ(240, client.height);
  QWF::Size outer = window.WindowSizeFor(QWF::Size{320, 240});
  QWF::Rect r = window.WindowRect();
  EXPECT_EQ(r.width, outer.width);
  EXPECT_EQ(r.height, outer.height);
  QWF::Size back = window.ClientSizeFor(outer);
  // The frame is the same for any size, so the conversion goes back exactly.
  EXPECT_EQ(320, back.width);
  EXPECT_EQ(240, back.height);
}

TEST_F(WindowTest, OperationsOnAnEmptyObjectReportFailure) {
  QWF::Window empty;
  QWF::Placement placement = {};
  EXPECT_FALSE(empty.GetPlacement(&placement));
  EXPECT_FALSE(empty.SetPlacement(placement));
  EXPECT_FALSE(empty.IsWindow());
  EXPECT_FALSE(empty.IsVisible());
  EXPECT_TRUE(empty.GetText().IsEmpty());
  empty.Detach();
  EXPECT_EQ(nullptr, empty.Handle());
}

TEST_F(WindowTest, PlacementAndShowRoundTrip) {
  QWF::Window window;
  ASSERT_TRUE(window.Create(nullptr, "placement", WS_OVERLAPPEDWINDOW, 0, 30, 40, 200, 150));
  EXPECT_FALSE(window.Show(SW_SHOWNORMAL));  // was hidden
  EXPECT_TRUE(window.IsVisible());
  QWF::Placement placement = {};
  ASSERT_TRUE(window.GetPlacement(&placement));
  EXPECT_EQ(44u, placement.length);
  EXPECT_EQ(30, placement.normal_position.left);
  placement.normal_position.left = 60;
  placement.normal_position.right = 260;
  placement.length = 0;  // set anyway
  ASSERT_TRUE(window.SetPlacement(placement));
  EXPECT_EQ(60, window.WindowRect().x);
  window.Hide();
  EXPECT_FALSE(window.IsVisible());
}

}  // namespace
