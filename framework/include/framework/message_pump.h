// The framework's message loops for the calling thread.
#ifndef FRAMEWORK_MESSAGE_PUMP_H_
#define FRAMEWORK_MESSAGE_PUMP_H_

#include "framework/no_win32_macros.h"
#include "framework/types.h"

namespace QWF {

class Dialog;

// Dispatches every message waiting in the queue without blocking. Returns true when the
// queue is empty, false as soon as it takes WM_QUIT (the quit message is consumed). Does not
// translate: the window and dialog filters do.
bool PumpPendingMessages();

// The same for a program that runs a modeless dialog: a message that the dialog's
// dialog-message test consumes (keyboard navigation) is not dispatched again. A null or
// empty dialog tests nothing.
bool PumpPendingMessages(Dialog* dialog);

// Dispatches messages until WM_QUIT and returns its exit code.
int RunMessageLoop();

// Waits for one message. False when it is WM_QUIT (or on error).
bool GetMessage(MessageRecord* record);

// Looks at one message without waiting; `remove` is PM_NOREMOVE or PM_REMOVE.
bool PeekMessage(MessageRecord* record, unsigned remove);

}  // namespace QWF

#endif  // FRAMEWORK_MESSAGE_PUMP_H_
