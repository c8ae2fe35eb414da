// Dialogs: modal and modeless creation from templates, ending, routing and the font fix-up.
#include <algorithm>
#include <vector>

#include "framework/dialog.h"
#include "framework/message_pump.h"
#include "framework/win32.h"
#include "gtest/gtest.h"
#include "test_application.h"
#include "test_resources.h"

namespace {

class RecordingDialog : public QWF::Dialog {
 public:
  std::vector<unsigned> seen;
  int end_with = 0;  // modal: 1 ends with success, -1 with failure, on the first timer

  QWF::LResult HandleMessage(unsigned message, QWF::WParam wparam,
                             QWF::LParam lparam) override {
    seen.push_back(message);
    if (message == WM_INITDIALOG && end_with != 0) {
      modal_seen = Modal();
      // End from inside the modal loop, as a real dialog would on a button.
      PostMessage(WM_APP, 0, 0);
    }
    if (message == WM_APP && end_with != 0) {
      ended = QWF::EndDialog(this, end_with > 0);
      return TRUE;
    }
    return Dialog::HandleMessage(message, wparam, lparam);
  }
  bool modal_seen = false;
  bool ended = false;
};

std::vector<std::pair<HWND, UINT>> g_sent;
LRESULT CALLBACK RecordSent(int code, WPARAM wparam, LPARAM lparam) {
  const CWPSTRUCT* info = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code == HC_ACTION) g_sent.emplace_back(info->hwnd, info->message);
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

// The dialog's user-data slot as the system delivers WM_DESTROY and WM_NCDESTROY to it.
struct SlotWatch {
  HWND window = nullptr;
  std::vector<LONG_PTR> values;
};
SlotWatch g_slot_watch;
LRESULT CALLBACK WatchDestruction(int code, WPARAM wparam, LPARAM lparam) {
  const CWPSTRUCT* info = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code == HC_ACTION && info->hwnd == g_slot_watch.window &&
      (info->message == WM_DESTROY || info->message == WM_NCDESTROY))
    g_slot_watch.values.push_back(GetWindowLongPtrW(info->hwnd, DWLP_USER));
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override { fwtest::TestApplication(); }
  void TearDown() override { QWF::PumpPendingMessages(); }
};

TEST_F(DialogTest, ModalDialogReportsHowItEnded) {
  struct Case {
    int end_with;
    bool expected;
  } cases[] = {{1, true}, {-1, false}};
  for (const Case& c : cases) {
    RecordingDialog dialog;
    dialog.end_with = c.end_with;
    EXPECT_EQ(c.expected, QWF::CreateDialog(IDD_PLAIN, nullptr, &dialog, true)) << c.end_with;
    EXPECT_TRUE(dialog.modal_seen);
    EXPECT_TRUE(dialog.ended);
    EXPECT_FALSE(dialog.Modal());
    // Empty again and reusable.
    EXPECT_EQ(nullptr, dialog.Handle());
    EXPECT_FALSE(dialog.Created());
    EXPECT_FALSE(QWF::EndDialog(&dialog, true));
  }
}

TEST_F(DialogTest, ModelessDialogIsCreatedOwnedAndDestroyed) {
  RecordingDialog dialog;
  ASSERT_TRUE(QWF::CreateDialog(IDD_PLAIN, nullptr, &dialog, false));
  EXPECT_FALSE(dialog.Modal());
  EXPECT_TRUE(dialog.Created());
  ASSERT_TRUE(dialog.IsWindow());
  EXPECT_EQ(L"Plain dialog", fwtest::WideText(dialog.Handle()));
  EXPECT_EQ(L"日本語のラベル", fwtest::WideText(dialog.DialogItem(IDC_LABEL).Handle()));

  // A second creation on the live object fails and changes nothing.
  HWND handle = dialog.Handle();
  EXPECT_FALSE(QWF::CreateDialog(IDD_JAPANESE, nullptr, &dialog, false));
  EXPECT_EQ(handle, dialog.Handle());

  // Ending a modeless dialog leaves it alone; Destroy closes it.
  EXPECT_TRUE(QWF::EndDialog(&dialog, true));
  EXPECT_TRUE(IsWindow(handle));
  EXPECT_TRUE(dialog.Destroy());
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(nullptr, dialog.Handle());
}

TEST_F(DialogTest, TemplatesByNameAndMissingTemplates) {
  RecordingDialog named;
  ASSERT_TRUE(QWF::CreateDialog("NAMED_DIALOG", nullptr, &named, false));
  EXPECT_EQ(L"Named dialog", fwtest::WideText(named.Handle()));

  RecordingDialog missing;
  EXPECT_FALSE(QWF::CreateDialog(4321, nullptr, &missing, false));
  EXPECT_FALSE(QWF::CreateDialog(4321, nullptr, &missing, true));
  EXPECT_FALSE(QWF::CreateDialog("NO_SUCH_DIALOG", nullptr, &missing, false));
  EXPECT_EQ(nullptr, missing.Handle());
  EXPECT_TRUE(missing.seen.empty());
}

TEST_F(DialogTest, MessagesBeforeInitDialogNeverReachTheObject) {
  g_sent.clear();
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, &RecordSent, nullptr, GetCurrentThreadId());
  RecordingDialog dialog;
  bool created = QWF::CreateDialog(IDD_PLAIN, nullptr, &dialog, false);
  UnhookWindowsHookEx(hook);
  ASSERT_TRUE(created);
  // The dialog manager sends WM_SETFONT to the dialog before WM_INITDIALOG.
  auto setfont = std::find(g_sent.begin(), g_sent.end(),
                           std::make_pair(dialog.Handle(), static_cast<UINT>(WM_SETFONT)));
  auto init = std::find(g_sent.begin(), g_sent.end(),
                        std::make_pair(dialog.Handle(), static_cast<UINT>(WM_INITDIALOG)));
  ASSERT_NE(g_sent.end(), setfont);
  ASSERT_NE(g_sent.end(), init);
  EXPECT_LT(setfont, init);
  ASSERT_FALSE(dialog.seen.empty());
  EXPECT_EQ(static_cast<unsigned>(WM_INITDIALOG), dialog.seen.front());
}

HFONT FontOf(HWND window) {
  return reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
}

// The dialog whose font the fix-up reads answers WM_GETFONT with this font (the test's
// stand-in for a Shift-JIS template font: Wine creates every template font with
// DEFAULT_CHARSET, whatever the template says).
HFONT g_reported_font = nullptr;
WNDPROC g_dialog_class_proc = nullptr;
HHOOK g_cbt_hook = nullptr;
bool g_subclassed = false;

LRESULT CALLBACK ReportFont(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_GETFONT && g_reported_font) return reinterpret_cast<LRESULT>(g_reported_font);
  return CallWindowProcW(g_dialog_class_proc, window, message, wparam, lparam);
}

// Subclasses the first window created (the dialog itself; its controls come later).
LRESULT CALLBACK SubclassFirstWindow(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND && !g_subclassed) {
    g_subclassed = true;
    g_dialog_class_proc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        reinterpret_cast<HWND>(wparam), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ReportFont)));
  }
  return CallNextHookEx(g_cbt_hook, code, wparam, lparam);
}

TEST_F(DialogTest, TemplateFontsWithoutShiftJisAreReplacedOnEveryControl) {
  HFONT gui = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  struct Case {
    BYTE charset;  // of the font the dialog reports
    bool replaced;
  } cases[] = {{ANSI_CHARSET, true}, {DEFAULT_CHARSET, true}, {SHIFTJIS_CHARSET, false}};
  for (const Case& c : cases) {
    g_reported_font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, c.charset, 0, 0, 0, 0,
                                  L"MS UI Gothic");
    g_subclassed = false;
    g_cbt_hook = SetWindowsHookExW(WH_CBT, &SubclassFirstWindow, nullptr, GetCurrentThreadId());
    RecordingDialog dialog;
    bool created = QWF::CreateDialog(IDD_PLAIN, nullptr, &dialog, false);
    UnhookWindowsHookEx(g_cbt_hook);
    ASSERT_TRUE(created);
    // The font the dialog manager gave the controls when it made them.
    HFONT template_font = reinterpret_cast<HFONT>(
        CallWindowProcW(g_dialog_class_proc, dialog.Handle(), WM_GETFONT, 0, 0));
    ASSERT_NE(nullptr, template_font);
    for (int id : {IDC_LABEL, IDC_BUTTON}) {
      HFONT control = FontOf(GetDlgItem(dialog.Handle(), id));
      EXPECT_EQ(c.replaced ? gui : template_font, control)
          << "charset " << int(c.charset) << " control " << id;
    }
    dialog.Destroy();
    DeleteObject(g_reported_font);
    g_reported_font = nullptr;
  }
}

TEST_F(DialogTest, TheDialogManagersTemplateFontIsReplacedUnderWine) {
  // Wine makes template fonts with DEFAULT_CHARSET, so even the Shift-JIS template's controls
  // get the default GUI font; on Windows that template keeps its own font.
  HFONT gui = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  RecordingDialog dialog;
  ASSERT_TRUE(QWF::CreateDialog(IDD_PLAIN, nullptr, &dialog, false));
  EXPECT_EQ(gui, FontOf(GetDlgItem(dialog.Handle(), IDC_LABEL)));
  // A template without a font has none to fix.
  RecordingDialog plain;
  ASSERT_TRUE(QWF::CreateDialog(IDD_NO_SETFONT, nullptr, &plain, false));
  EXPECT_NE(gui, FontOf(GetDlgItem(plain.Handle(), IDC_LABEL)));
}

TEST_F(DialogTest, ADialogWithoutAnObjectGetsTheDialogManagersDefaults) {
  // The framework's dialog procedure with no object in WM_INITDIALOG: nothing may crash, and
  // every message gets the dialog manager's default processing.
  HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PLAIN),
                                   nullptr, &QWF::DialogProcedure, 0);
  ASSERT_NE(nullptr, dialog);
  EXPECT_EQ(static_cast<LRESULT>(wcslen(L"Plain dialog")),
            SendMessageW(dialog, WM_GETTEXTLENGTH, 0, 0));
  EXPECT_EQ(0, GetWindowLongPtrW(dialog, DWLP_USER));
  DestroyWindow(dialog);
}

TEST_F(DialogTest, AModelessDialogClosedByTheSystemLeavesTheObjectEmpty) {
  RecordingDialog dialog;
  ASSERT_TRUE(QWF::CreateDialog(IDD_PLAIN, nullptr, &dialog, false));
  ASSERT_TRUE(DestroyWindow(dialog.Handle()));
  EXPECT_EQ(nullptr, dialog.Handle());
  EXPECT_TRUE(QWF::CreateDialog(IDD_PLAIN, nullptr, &dialog, false));
}

// A dialog destroyed through its object's destructor: the destruction messages must not reach
// an object whose dialog part is gone (the dialog procedure would call a dialog-only operation
// on what is by then only a window).
TEST_F(DialogTest, TheDestructorUnbindsTheDialogBeforeItDestroys) {
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, &WatchDestruction, nullptr,
                                 GetCurrentThreadId());
  HWND handle = nullptr;
  {
    RecordingDialog dialog;
    ASSERT_TRUE(QWF::CreateDialog(IDD_PLAIN, nullptr, &dialog, false));
    handle = dialog.Handle();
    g_slot_watch = SlotWatch{handle, {}};
  }
  UnhookWindowsHookEx(hook);
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ((std::vector<LONG_PTR>{0, 0}), g_slot_watch.values);
}

// A heap-allocated modeless dialog that deletes itself when its window is gone.
class SelfDeletingDialog : public QWF::Dialog, public fwtest::PoisonedWhenDeleted {
 public:
  explicit SelfDeletingDialog(bool* deleted) : deleted_(deleted) {}
  ~SelfDeletingDialog() override { *deleted_ = true; }
  QWF::LResult HandleMessage(unsigned message, QWF::WParam, QWF::LParam) override {
    if (message == WM_NCDESTROY) delete this;
    return 0;
  }

 private:
  bool* deleted_;
};

TEST_F(DialogTest, ADialogThatDeletesItselfAtNcDestroyIsNotTouchedAfterwards) {
  bool deleted = false;
  auto* dialog = new SelfDeletingDialog(&deleted);
  ASSERT_TRUE(QWF::CreateDialog(IDD_PLAIN, nullptr, dialog, false));
  HWND handle = dialog->Handle();
  QWF::Window sharing(*dialog);
  {
    fwtest::AccessFaultCounter counter;
    ASSERT_TRUE(DestroyWindow(handle));
    EXPECT_EQ(0, counter.Faults()) << "the deleted object was used";
  }
  EXPECT_TRUE(deleted);
  EXPECT_EQ(nullptr, sharing.Handle());
}

}  // namespace
