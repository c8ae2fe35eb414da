#include "framework/win32.h"

#include "framework/dialog.h"
#include "framework/message_pump.h"

namespace QWF {

bool PumpPendingMessages() { return PumpPendingMessages(nullptr); }

bool PumpPendingMessages(Dialog* dialog) {
  MSG msg;
  // Taking each message as it is found: a peek followed by a separate blocking get could wait
  // if the peeked message were gone by then.
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) return false;
    if (dialog && dialog->Handle() &&
        dialog->IsDialogMessage(reinterpret_cast<MessageRecord*>(&msg)))
      continue;
    DispatchMessageW(&msg);
  }
  return true;
}

int RunMessageLoop() {
  MSG msg = {};
  // GetMessage gives -1 on error: stop then as well instead of spinning.
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return static_cast<int>(msg.wParam);
}

bool GetMessage(MessageRecord* record) {
  return GetMessageW(reinterpret_cast<MSG*>(record), nullptr, 0, 0) > 0;
}

bool PeekMessage(MessageRecord* record, unsigned remove) {
  return PeekMessageW(reinterpret_cast<MSG*>(record), nullptr, 0, 0, remove) != FALSE;
}

}  // namespace QWF
