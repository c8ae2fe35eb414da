// kestrel-maker.exe: the game maker's window, from two folders to a
// checked updater without a terminal.
#include <windows.h>

#include "framework/application.h"
#include "framework/entry.h"
#include "maker_window.h"

int ApplicationMain() {
  // The maker's last values go to the user's registry key: a maker's kit
  // unpacked under Program Files cannot write an ini file beside itself.
  if (QWF::Application* app = QWF::GetApplication()) app->SetSettingsKind(0);
  kmaker::MakerWindow window;
  if (!window.Open()) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab and the default button move between the fields as in a dialog.
    if (IsDialogMessageW(window.Handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
