// Window: the object wrapper around one system window, and the framework window procedure
// that routes every message of a framework window to its object.
//
// Creation binds the new window to its object before the window's first creation message
// (WM_NCCREATE): from then on every message reaches the object's MessageFilter, the hooks and
// HandleMessage. Messages before WM_NCCREATE go to the system's default procedure. When the
// window is gone (WM_NCDESTROY) the object lets go of its handle and is empty and reusable;
// a handler may delete its own object on WM_NCDESTROY (nothing touches it afterwards).
//
// The object must outlive its window, except on its destructor's path: a window destroyed by
// its object's destructor is unbound first (hooks cleared, the object taken out of the
// window), so its destruction messages go to the default procedure, never to a half-destroyed
// object. The operations are virtual and declared in a fixed
// order; a derived class overrides them by name. Every operation on an empty object passes no
// window to the system and returns what the system returns (false / 0).
//
// Texts are cp932; they cross into the system through the wide API with code page 932, so
// they read right whatever the system code page is.
#ifndef FRAMEWORK_WINDOW_H_
#define FRAMEWORK_WINDOW_H_

#include <vector>

#include "foundation/kstring.h"
#include "framework/handle_ref.h"
#include "framework/message_hook.h"
#include "framework/no_win32_macros.h"
#include "framework/types.h"
#include "framework/window_owner.h"

namespace QWF {

class Menu;

// What the windows sharing one system window share: the handle and the hook list (in the
// order the hooks were added).
struct WindowRecord {
  WindowHandle handle = nullptr;
  std::vector<MessageHook*> hooks;
};

class Window {
 public:
  // Empty: no window.
  Window() = default;
  // Wraps an existing window without owning it.
  explicit Window(WindowHandle handle);
  // Shares the other's window without owning it.
  Window(const Window& other);
  Window& operator=(const Window&) = delete;

  // 0: destroys the window if this object created it, unbound first (see above).
  virtual ~Window();

  // 1-6: create a window bound to this object. False, changing nothing, when the object
  // already has a window; false when the system refuses (the object stays empty). An empty
  // or null class name means "QWF Basic Window Class". Without position and size the system
  // default is used. `menu` is a menu handle or, for a child, ControlId(id).
  virtual bool Create(const char* class_name, const char* title, unsigned style,
                      unsigned ex_style, int x, int y, int width, int height, MenuHandle menu,
                      Window* parent);
  virtual bool Create(const char* class_name, const char* title, unsigned style,
                      unsigned ex_style, int x, int y, int width, int height);
  virtual bool Create(const char* class_name, const char* title, unsigned style,
                      unsigned ex_style, const Rect& rect, MenuHandle menu, Window* parent);
  virtual bool Create(const char* class_name, const char* title, unsigned style,
                      unsigned ex_style, const Rect& rect);
  virtual bool Create(const char* class_name, const char* title, unsigned style,
                      unsigned ex_style, MenuHandle menu, Window* parent);
  virtual bool Create(const char* class_name, const char* title, unsigned style,
                      unsigned ex_style);
  // 7: destroys the window if this object created it; the object is empty afterwards.
  virtual void Detach();
  // 8: hides, then destroys the window; clears the hooks; the object is empty afterwards.
  // False when the object holds nothing.
  virtual bool Destroy();
  // 9-10
  virtual LResult SendMessage(unsigned message, WParam wparam, LParam lparam);
  virtual bool PostMessage(unsigned message, WParam wparam, LParam lparam);
  // 11: sees every message first; translates key messages. True would consume the message
  // (it then goes to the default procedure).
  virtual bool MessageFilter(MessageRecord* record);
  // 12-13: tell `owner` that this window registers / unregisters.
  virtual void RegisterWith(WindowOwner* owner);
  virtual void UnregisterFrom(WindowOwner* owner);
  // 14: shows with `command` (SW_...) and updates; returns whether it was visible before.
  virtual bool Show(int command);
  // 15: Show with the application's show command.
  virtual void ShowDefault();
  // 16: top of the Z order, foreground; returns BringWindowToTop's result.
  virtual bool BringToFront();
  // 17
  virtual void Hide();
  // 18-19: false without a window.
  virtual bool GetPlacement(Placement* placement);
  virtual bool SetPlacement(const Placement& placement);
  // 20-22: the placement in the settings store, section "Placement", value `key`.
  // 20: false without a window; applies the stored placement and returns SetPlacement's
  // result. When nothing usable is stored, sizes the client area to 640 by 480, centres the
  // window, shows it with the application's show command and returns true.
  // 21: moves to the stored normal rectangle's top-left corner ((0, 0) when nothing usable
  // is stored), keeping the size; returns Move's result (false without a window).
  // 22: stores the placement (a maximised window with WPF_RESTORETOMAXIMIZED); false without
  // a window or when the store refused the write.
  virtual bool RestorePlacement(const char* key);
  virtual bool RestorePosition(const char* key);
  virtual bool SavePlacement(const char* key);
  // 23-26
  virtual unsigned GetStyle();
  virtual unsigned SetStyle(unsigned style);
  virtual unsigned GetExStyle();
  virtual unsigned SetExStyle(unsigned ex_style);
  // 27: a message box owned by this window; returns the button pressed.
  virtual int MessageBox(const char* text, const char* caption, unsigned type);
  // 28-29
  virtual void SetSize(const Size& size);
  virtual void SetRect(const Rect& rect);
  // 30: moves in the parent's client coordinates (screen for a top-level window); a negative
  // value keeps the current one.
  virtual bool Move(int x, int y, int width, int height);
  // 31-32: resize, keeping the position.
  virtual void Resize(const Size& size);
  virtual void Resize(int width, int height);
  // 33-34: resize so that the client area gets this size.
  virtual void SetClientSize(const Size& size);
  virtual void SetClientSize(int width, int height);
  // 35
  virtual bool Centre();
  // 36: places this window after `after` (null: top of the Z order).
  virtual bool SetZOrder(Window* after);
  // 37-38: (x, y, width, height); the window's in screen coordinates.
  virtual Rect WindowRect();
  virtual Rect ClientRect();
  // 39-42: window size for a client size and back, for this window's styles or given ones.
  virtual Size WindowSizeFor(const Size& client);
  virtual Size WindowSizeFor(unsigned style, unsigned ex_style, bool has_menu,
                             const Size& client);
  virtual Size ClientSizeFor(const Size& window);
  virtual Size ClientSizeFor(unsigned style, unsigned ex_style, bool has_menu,
                             const Size& window);
  // 43-47
  virtual bool IsChildOf(Window* other);
  virtual bool IsMinimised();
  virtual bool IsWindow();
  virtual bool IsMaximised();
  virtual bool IsVisible();
  // 48-49: the window text in cp932.
  virtual zorl::KString GetText();
  virtual bool SetText(const char* text);
  // 50-51
  virtual bool Enable(bool enable);
  virtual bool IsEnabled();
  // 52-53: wrappers that never destroy the parent.
  virtual Window Parent();
  virtual Window SetParent(Window* parent);
  // 54-55
  virtual int GetId();
  virtual int SetId(int id);
  // 56-59: a null rectangle means the whole client area.
  virtual bool Update();
  virtual bool Invalidate(const Rect* rect, bool erase);
  virtual bool Validate(const Rect* rect);
  virtual void Redraw();
  // 60-62
  virtual bool SetMenu(const Menu& menu);
  virtual Menu GetMenu();
  virtual bool RemoveMenu();
  // 63-70: scroll bars (bar: SB_HORZ, SB_VERT, SB_CTL, SB_BOTH).
  virtual bool GetScrollRange(int bar, int* min, int* max);
  virtual bool SetScrollRange(int bar, int min, int max, bool redraw);
  virtual int GetScrollPos(int bar);
  virtual int SetScrollPos(int bar, int position, bool redraw);
  virtual bool EnableScrollBar(unsigned bar, unsigned arrows);
  virtual bool ShowScrollBar(int bar, bool show);
  virtual bool GetScrollInfo(int bar, ScrollInfo* info);
  virtual int SetScrollInfo(int bar, const ScrollInfo& info, bool redraw);
  // 71-80: caret.
  virtual bool CreateCaret(BitmapHandle bitmap, int width, int height);
  virtual bool CreateCaret(int width, int height);
  virtual bool DestroyCaret();
  virtual unsigned CaretBlinkTime();
  // (0, 0) when the system cannot tell.
  virtual Point CaretPosition();
  virtual bool HideCaret();
  virtual bool SetCaretBlinkTime(unsigned milliseconds);
  virtual bool SetCaretPosition(const Point& point);
  virtual bool SetCaretPosition(int x, int y);
  virtual bool ShowCaret();
  // 81-84: child controls by identifier.
  virtual Window DialogItem(int id);
  virtual LResult SendItemMessage(int id, unsigned message, WParam wparam, LParam lparam);
  virtual bool IsButtonChecked(int id);
  virtual void CheckButton(int id, int state);
  // 85-86
  virtual std::uintptr_t SetTimer(std::uintptr_t id, unsigned interval, TimerProc procedure);
  virtual bool KillTimer(std::uintptr_t id);
  // 87: the object's handling of a message; the default procedure unless overridden.
  virtual LResult HandleMessage(unsigned message, WParam wparam, LParam lparam);

  // The held window, or none.
  WindowHandle Handle() const { return ref_.Get(); }
  // True when this object created its window (and so destroys it) and the window is there.
  bool Created() const { return ref_.Owned() && ref_.Holds(); }

  // Hooks, shared by every object that wraps this window. The caller keeps the hook alive
  // while it is added. Adding needs a window (false without one).
  bool AddHook(MessageHook* hook);
  void RemoveHook(MessageHook* hook);
  void ClearHooks();

 protected:
  HandleRef<WindowRecord>& Ref() { return ref_; }
  // Runs the hooks in order; false (with *result) when one stopped the message. A hook
  // removed by another during the message is not called for it; hooks added meanwhile wait
  // for the next message.
  bool RunHooks(LResult* result, unsigned message, WParam wparam, LParam lparam);
  // The destructors' way out: takes this object out of the window's user-data slot at
  // `slot_index` (GWLP_USERDATA, or DWLP_USER for a dialog) and clears the hooks, so no
  // message reaches the object any more, then hides and destroys the window and empties the
  // object. Only for a window this object created.
  void DestroyUnbound(int slot_index);

 private:
  friend LResult __stdcall WindowProcedure(WindowHandle, unsigned, WParam, LParam);

  HandleRef<WindowRecord> ref_;
};

// The window procedure of every framework window class.
LResult __stdcall WindowProcedure(WindowHandle window, unsigned message, WParam wparam,
                                  LParam lparam);

// Called when `handle` is gone (WM_NCDESTROY): every wrapper sharing `record` lets go of the
// handle and the hooks; their objects are empty and can create again. Touches only the
// record (the caller keeps it alive), never an object, which may be deleted by then.
void ForgetDestroyedWindow(WindowRecord* record, WindowHandle handle);

// Builds the message record the filters see: message time and cursor position from the
// system, each coordinate taken as 16 unsigned bits.
MessageRecord MakeMessageRecord(WindowHandle window, unsigned message, WParam wparam,
                                LParam lparam);

}  // namespace QWF

#include "framework/menu.h"

#endif  // FRAMEWORK_WINDOW_H_
