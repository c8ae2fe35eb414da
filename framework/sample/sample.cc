// A small program on the framework: a main window with a Japanese label and a modeless dialog
// with a progress bar, both owned by objects. Closing the main window ends the program.
#include "framework/win32.h"

#include <commctrl.h>

#include "framework/dialog.h"
#include "framework/entry.h"
#include "framework/message_pump.h"
#include "framework/window.h"
#include "sample_resources.h"

namespace {

// Texts are cp932, as everywhere in the system.
// "ウィンドウの中身" (the window's content)
const char kLabel[] = "\x83\x45\x83\x42\x83\x93\x83\x68\x83\x45\x82\xcc\x92\x86\x90\x67";

class MainWindow : public QWF::Window {
 public:
  QWF::LResult HandleMessage(unsigned message, QWF::WParam wparam,
                             QWF::LParam lparam) override {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return Window::HandleMessage(message, wparam, lparam);
  }
};

class SampleDialog : public QWF::Dialog {
 public:
  QWF::LResult HandleMessage(unsigned message, QWF::WParam, QWF::LParam) override {
    if (message == WM_INITDIALOG) {
      SendItemMessage(IDC_SAMPLE_PROGRESS, PBM_SETRANGE32, 0, 100);
      SendItemMessage(IDC_SAMPLE_PROGRESS, PBM_SETPOS, 40, 0);
      return TRUE;
    }
    return FALSE;
  }
};

}  // namespace

int ApplicationMain() {
  MainWindow window;
  if (!window.Create(nullptr, "Kestrel framework sample", WS_OVERLAPPEDWINDOW, 0, 40, 40, 420,
                     300)) {
    return 1;
  }
  QWF::Window label;
  label.Create("STATIC", kLabel, WS_CHILD | WS_VISIBLE, 0, 16, 16, 300, 24, QWF::ControlId(10),
               &window);
  label.SendMessage(WM_SETFONT,
                    reinterpret_cast<QWF::WParam>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  window.ShowDefault();

  SampleDialog dialog;
  if (!QWF::CreateDialog(IDD_SAMPLE, &window, &dialog, false)) return 2;
  dialog.Move(120, 150, -1, -1);
  dialog.Show(SW_SHOWNORMAL);

  return QWF::RunMessageLoop();
}
