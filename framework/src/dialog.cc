#include "framework/win32.h"

#include "framework/application.h"
#include "framework/dialog.h"
#include "wide_text.h"

namespace QWF {

namespace {

InstanceHandle ApplicationInstance() {
  Application* app = GetApplication();
  return app ? app->Instance() : GetModuleHandleW(nullptr);
}

BOOL CALLBACK SetDefaultGuiFont(HWND child, LPARAM) {
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               TRUE);
  return TRUE;
}

// A template font without the Shift-JIS character set cannot show the Japanese texts of the
// controls: give every control the default GUI font instead.
void FixDialogFont(HWND dialog) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  if (!font) return;
  LOGFONTW info;
  if (GetObjectW(font, sizeof(info), &info) != sizeof(info)) return;
  if (info.lfCharSet != SHIFTJIS_CHARSET) EnumChildWindows(dialog, &SetDefaultGuiFont, 0);
}

void NoRelease(WindowHandle) {}

bool CreateFromTemplate(const wchar_t* name, Window* parent, Dialog* dialog, bool modal,
                        bool* modal_flag, HandleRef<WindowRecord>& ref) {
  if (dialog->Handle()) return false;
  HWND owner = parent ? parent->Handle() : nullptr;
  LPARAM object = reinterpret_cast<LPARAM>(dialog);
  if (modal) {
    *modal_flag = true;
    INT_PTR result = DialogBoxParamW(ApplicationInstance(), name, owner, &DialogProcedure,
                                     object);
    *modal_flag = false;
    // The dialog is gone however it ended.
    ref.Detach(&NoRelease);
    return result > 0;
  }
  *modal_flag = false;
  HWND window = CreateDialogParamW(ApplicationInstance(), name, owner, &DialogProcedure,
                                   object);
  if (!window) {
    ref.Detach(&NoRelease);
    return false;
  }
  if (ref.Get() != window) ref.Attach(window, true);
  ref.SetOwned(true);
  return true;
}

}  // namespace

Dialog::~Dialog() {
  // The dialog procedure finds the object in DWLP_USER, not where a window keeps it.
  if (Created()) DestroyUnbound(DWLP_USER);
}

LResult Dialog::HandleMessage(unsigned, WParam, LParam) { return 0; }

bool Dialog::IsDialogMessage(MessageRecord* record) {
  return IsDialogMessageW(Handle(), reinterpret_cast<MSG*>(record)) != FALSE;
}

bool Dialog::DialogMessageFilter(MessageRecord* record) {
  if (!modal_) TranslateMessage(reinterpret_cast<MSG*>(record));
  return false;
}

bool CreateDialog(const char* name, Window* parent, Dialog* dialog, bool modal) {
  // Resource names are ASCII; code page 932 keeps any other byte as the resource compiler
  // stored it from a cp932 script.
  std::wstring wide = platform::Widen(name);
  return CreateFromTemplate(wide.c_str(), parent, dialog, modal, &dialog->modal_,
                            dialog->Ref());
}

bool CreateDialog(unsigned short id, Window* parent, Dialog* dialog, bool modal) {
  return CreateFromTemplate(MAKEINTRESOURCEW(id), parent, dialog, modal, &dialog->modal_,
                            dialog->Ref());
}

bool EndDialog(Dialog* dialog, bool success) {
  HandleRef<WindowRecord>& ref = dialog->Ref();
  if (!ref.HasRecord()) return false;
  if (dialog->modal_) {
    ::EndDialog(dialog->Handle(), success ? 1 : -1);
    dialog->ClearHooks();
    ref.Release(&NoRelease);
  }
  return true;
}

std::intptr_t __stdcall DialogProcedure(WindowHandle window, unsigned message, WParam wparam,
                                        LParam lparam) {
  MessageRecord record = MakeMessageRecord(window, message, wparam, lparam);
  // Unrouted messages return FALSE: the dialog manager then does its default processing. (A
  // dialog procedure must not call the default window procedure itself.)
  if (!window) return FALSE;
  Dialog* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!dialog) {
    if (message != WM_INITDIALOG || !lparam) return FALSE;
    dialog = reinterpret_cast<Dialog*>(lparam);
    dialog->Ref().Attach(window, false);
    // The font is fixed before the object is stored, so the object's first message is
    // WM_INITDIALOG itself (the fix-up's WM_GETFONT goes to the dialog manager).
    FixDialogFont(window);
    SetWindowLongPtrW(window, DWLP_USER, lparam);
  }
  // The last message: the handler may delete the object (see WindowProcedure).
  zorl::KRef<WindowRecord> last;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, DWLP_USER, 0);
    last = dialog->Ref().Shared();
  }
  LResult result = 0;
  if (dialog->DialogMessageFilter(&record)) {
    result = 0;
  } else if (dialog->RunHooks(&result, message, wparam, lparam)) {
    result = dialog->HandleMessage(message, wparam, lparam);
  }
  if (message == WM_NCDESTROY) ForgetDestroyedWindow(last.Get(), window);
  return result;
}

}  // namespace QWF
