// Dialog: a window made from a dialog template in the executable's resources, modal or
// modeless, with the one dialog procedure that all framework dialogs share.
//
// From WM_INITDIALOG on every message reaches the object (MessageFilter, hooks,
// HandleMessage); earlier messages go to the dialog manager. A handler may delete its own
// object on WM_NCDESTROY (nothing touches it afterwards). On WM_INITDIALOG a dialog whose
// template font is not a Shift-JIS font gets the default GUI font on every control, so
// Japanese control texts stay readable.
#ifndef FRAMEWORK_DIALOG_H_
#define FRAMEWORK_DIALOG_H_

#include "framework/no_win32_macros.h"
#include "framework/window.h"

namespace QWF {

class Dialog : public Window {
 public:
  Dialog() = default;
  // Destroys a modeless dialog this object created, unbound first: its destruction messages
  // never reach the object.
  ~Dialog() override;

  // Dialogs: nonzero when the message was handled, 0 to let the dialog manager do its
  // default. The default handles nothing. Never calls the default window procedure.
  LResult HandleMessage(unsigned message, WParam wparam, LParam lparam) override;
  // For a message loop: true when the message was consumed as dialog keyboard navigation.
  virtual bool IsDialogMessage(MessageRecord* record);
  // The dialog procedure's filter: translates key messages unless the dialog runs modally
  // (the modal loop translates them itself); never consumes the message.
  virtual bool DialogMessageFilter(MessageRecord* record);

  // True while the dialog runs modally.
  bool Modal() const { return modal_; }

 private:
  friend bool CreateDialog(const char*, Window*, Dialog*, bool);
  friend bool CreateDialog(unsigned short, Window*, Dialog*, bool);
  friend bool EndDialog(Dialog*, bool);
  friend std::intptr_t __stdcall DialogProcedure(WindowHandle, unsigned, WParam, LParam);
  bool modal_ = false;
};

// Creates `dialog` from the template named `name` (or numbered `id`) in the application's
// executable, owned by `parent` (may be null). False, changing nothing, when the dialog
// object already has a window; false when the template is missing or creation fails (the
// object stays empty).
// Modeless: returns once the dialog exists; the object created it and destroys it.
// Modal: runs the dialog until EndDialog and returns true when it ended with success, false
// when it ended with failure or could not run. The object is empty afterwards.
bool CreateDialog(const char* name, Window* parent, Dialog* dialog, bool modal);
bool CreateDialog(unsigned short id, Window* parent, Dialog* dialog, bool modal);

// Ends a modal dialog with success or failure and empties the object. A modeless dialog is
// left alone (close it with Destroy). False when the object holds nothing.
bool EndDialog(Dialog* dialog, bool success);

// The dialog procedure of every framework dialog (the object comes in WM_INITDIALOG).
std::intptr_t __stdcall DialogProcedure(WindowHandle window, unsigned message, WParam wparam,
                                        LParam lparam);

}  // namespace QWF

#endif  // FRAMEWORK_DIALOG_H_
