// UpdateDialog from within: what the black-box tests cannot ask from outside (the dialog's
// icon, what each interface call does to the controls, the pump's quit signal, clean-up).
#include <windows.h>
#include <commctrl.h>

#include "engine/messages.h"
#include "gtest/gtest.h"
#include "test_application.h"
#include "update_app.h"
#include "update_dialog.h"
#include "updater_resources.h"

namespace {

std::wstring ItemText(HWND dialog, int id) {
  wchar_t text[256] = {};
  GetDlgItemTextW(dialog, id, text, 256);
  return text;
}

class UpdateDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { fwtest::TestApplication(); }
};

TEST_F(UpdateDialogTest, InitialisationSetsTheIconAndTheRange) {
  updater::UpdateDialog dialog;
  dialog.LoadTheme();
  ASSERT_TRUE(dialog.Open());
  HWND window = dialog.Handle();
  EXPECT_FALSE(dialog.Open()) << "a second dialog on the same object";
  HICON big = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0));
  HICON small = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0));
  EXPECT_NE(nullptr, big);
  EXPECT_EQ(big, small);
  EXPECT_EQ(big, LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_UPDATER)));
  HWND bar = GetDlgItem(window, IDC_PROGRESS);
  EXPECT_EQ(0, SendMessageW(bar, PBM_GETRANGE, TRUE, 0));
  EXPECT_EQ(30000, SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
  EXPECT_EQ(L"アップデート中", ItemText(window, IDC_STATUS));
  EXPECT_EQ(L"", ItemText(window, IDC_NAME));
  EXPECT_EQ(nullptr, GetWindow(window, GW_OWNER));
}

TEST_F(UpdateDialogTest, TheInterfaceCallsReachTheControls) {
  updater::UpdateDialog dialog;
  ASSERT_TRUE(dialog.Open());
  HWND window = dialog.Handle();
  dialog.ShowName("\x95\x5c\x8e\xa6/\x83\x5c\x81[\x83X.txt");  // 表示/ソース.txt
  EXPECT_EQ(L"表示/ソース.txt", ItemText(window, IDC_NAME));
  dialog.SetStatus(updater::kStatusRebuilding);
  EXPECT_EQ(L"リソースファイルの再構築中", ItemText(window, IDC_STATUS));
  dialog.SetProgress(12345);
  EXPECT_EQ(12345, SendDlgItemMessageW(window, IDC_PROGRESS, PBM_GETPOS, 0, 0));
  dialog.Pump();  // an empty queue: nothing happens
}

TEST_F(UpdateDialogTest, PumpingMeetsAQuitAsTheFailureSignal) {
  updater::UpdateDialog dialog;
  ASSERT_TRUE(dialog.Open());
  PostQuitMessage(0);
  try {
    dialog.Pump();
    ADD_FAILURE() << "the quit was not met";
  } catch (int signal) {
    EXPECT_EQ(updater::kFailureSignal, signal);
  }
  dialog.Pump();  // the quit was taken
}

TEST_F(UpdateDialogTest, DestroyAndTheDestructorCloseTheWindow) {
  HWND window = nullptr;
  {
    updater::UpdateDialog dialog;
    dialog.LoadTheme();
    ASSERT_TRUE(dialog.Open());
    window = dialog.Handle();
    EXPECT_TRUE(dialog.Destroy());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, dialog.Handle());
    ASSERT_TRUE(dialog.Open()) << "the object is reusable";
    window = dialog.Handle();
  }
  EXPECT_FALSE(IsWindow(window));
}

// What the box shown while the test's thread sits in MessageBox looked like; OK is pressed.
struct SeenBox {
  bool seen = false;
  std::wstring caption, text;
  HWND owner = nullptr;
  bool icon_shown = false;
};
SeenBox g_box;

BOOL CALLBACK VisibleIconControl(HWND child, LPARAM found) {
  wchar_t cls[32] = {};
  GetClassNameW(child, cls, 32);
  if (_wcsicmp(cls, L"Static") == 0 && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
      IsWindowVisible(child) && SendMessageW(child, STM_GETICON, 0, 0))
    *reinterpret_cast<bool*>(found) = true;
  return TRUE;
}

BOOL CALLBACK AnswerBox(HWND window, LPARAM) {
  wchar_t cls[32] = {};
  GetClassNameW(window, cls, 32);
  if (g_box.seen || wcscmp(cls, L"#32770") != 0 || !GetDlgItem(window, 0xFFFF)) return TRUE;
  g_box.seen = true;
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  g_box.caption = text;
  GetDlgItemTextW(window, 0xFFFF, text, 256);
  g_box.text = text;
  g_box.owner = GetWindow(window, GW_OWNER);
  EnumChildWindows(window, &VisibleIconControl, reinterpret_cast<LPARAM>(&g_box.icon_shown));
  PostMessageW(window, WM_COMMAND, IDOK, 0);
  return FALSE;
}

void CALLBACK LookForBox(HWND, UINT, UINT_PTR, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), &AnswerBox, 0);
}

// When the dialog cannot be made (here: the object has one already), the run shows
// "メモリが足りません" in a plain box (type 0: no icon, no owner) and does nothing else.
TEST_F(UpdateDialogTest, ADialogThatCannotBeMadeEndsTheRunWithThePlainMemoryMessage) {
  updater::UpdateDialog dialog;
  ASSERT_TRUE(dialog.Open());
  g_box = SeenBox();
  UINT_PTR timer = SetTimer(nullptr, 0, 50, &LookForBox);
  EXPECT_FALSE(updater::RunUpdateDialog(dialog));
  KillTimer(nullptr, timer);
  ASSERT_TRUE(g_box.seen);
  EXPECT_EQ(L"Kestrel アップデータ", g_box.caption);
  EXPECT_EQ(L"メモリが足りません", g_box.text);
  EXPECT_EQ(nullptr, g_box.owner);
  EXPECT_FALSE(g_box.icon_shown);
  EXPECT_TRUE(dialog.IsWindow()) << "the dialog that was there is left alone";
}

}  // namespace
