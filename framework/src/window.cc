#include "framework/win32.h"

#include <algorithm>
#include <cstddef>

#include "foundation/klock.h"
#include "framework/application.h"
#include "framework/placement_text.h"
#include "framework/settings.h"
#include "framework/window.h"
#include "framework/window_class.h"
#include "wide_text.h"

namespace QWF {

static_assert(sizeof(MessageRecord) == sizeof(MSG), "MessageRecord must match MSG");
static_assert(offsetof(MessageRecord, time) == offsetof(MSG, time), "MSG layout");
static_assert(offsetof(MessageRecord, point) == offsetof(MSG, pt), "MSG layout");
static_assert(sizeof(Placement) == sizeof(WINDOWPLACEMENT), "Placement must match");
static_assert(sizeof(ScrollInfo) == sizeof(SCROLLINFO), "ScrollInfo must match");

namespace {

// The creation handshake: the object whose window is being created, published under the
// creation lock until CreateWindowEx returns, and the thread creating it (a window of a
// framework class made on another thread, or without Create, binds to no object).
zorl::KLock g_creation_lock;
Window* g_pending = nullptr;
DWORD g_pending_thread = 0;

InstanceHandle ApplicationInstance() {
  Application* app = GetApplication();
  return app ? app->Instance() : GetModuleHandleW(nullptr);
}

Rect ToRect(const RECT& r) { return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top}; }

RECT ToRECT(const Rect& r) { return RECT{r.x, r.y, r.x + r.width, r.y + r.height}; }

Window* ObjectOf(HWND window) {
  return reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The placement stored under `key`, at most 255 characters of it.
zorl::KString StoredPlacementText(const char* key, const char* fallback) {
  zorl::KString text = ReadSettingString(kPlacementSection, key, fallback);
  if (text.Length() <= 255) return text;
  zorl::KString cut;
  cut.Assign(text, 0, 255);
  return cut;
}

}  // namespace

MessageRecord MakeMessageRecord(WindowHandle window, unsigned message, WParam wparam,
                                LParam lparam) {
  MessageRecord record;
  record.window = window;
  record.message = message;
  record.wparam = wparam;
  record.lparam = lparam;
  record.time = static_cast<std::uint32_t>(GetMessageTime());
  DWORD pos = GetMessagePos();
  record.point.x = static_cast<int>(LOWORD(pos));
  record.point.y = static_cast<int>(HIWORD(pos));
  return record;
}

// The window is gone: every wrapper sharing the record lets go of the handle, so nothing later
// hides, destroys or addresses a handle the system may reuse.
void ForgetDestroyedWindow(WindowRecord* record, WindowHandle handle) {
  if (record && record->handle == handle) {
    record->handle = nullptr;
    record->hooks.clear();
  }
}

LResult __stdcall WindowProcedure(WindowHandle window, unsigned message, WParam wparam,
                                  LParam lparam) {
  MessageRecord record = MakeMessageRecord(window, message, wparam, lparam);
  if (!window) return DefWindowProcW(window, message, wparam, lparam);
  Window* object = ObjectOf(window);
  if (!object) {
    if (message != WM_NCCREATE || !g_pending || g_pending_thread != GetCurrentThreadId())
      return DefWindowProcW(window, message, wparam, lparam);
    object = g_pending;
    g_pending = nullptr;  // one pending object binds one window
    object->ref_.Attach(window, false);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
  }
  // The last message: the handler may delete the object, so unbind first and keep the shared
  // record for afterwards; the object is not touched once its handler has returned.
  zorl::KRef<WindowRecord> last;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    last = object->ref_.Shared();
  }
  LResult result = 0;
  if (object->MessageFilter(&record)) {
    result = DefWindowProcW(window, message, wparam, lparam);
  } else if (object->RunHooks(&result, message, wparam, lparam)) {
    result = object->HandleMessage(message, wparam, lparam);
  }
  if (message == WM_NCDESTROY) ForgetDestroyedWindow(last.Get(), window);
  return result;
}

Window::Window(WindowHandle handle) { ref_.Attach(handle, false); }

Window::Window(const Window& other) : ref_(other.ref_) {}

Window::~Window() {
  if (Created()) DestroyUnbound(GWLP_USERDATA);
  ref_.Detach([](WindowHandle) {});
}

void Window::DestroyUnbound(int slot_index) {
  HWND window = Handle();
  if (!window || !Created()) return;
  if (GetWindowLongPtrW(window, slot_index) == reinterpret_cast<LONG_PTR>(this))
    SetWindowLongPtrW(window, slot_index, 0);
  ClearHooks();
  ref_.Release([](WindowHandle handle) {
    ShowWindow(handle, SW_HIDE);
    DestroyWindow(handle);
  });
}

bool Window::Create(const char* class_name, const char* title, unsigned style,
                    unsigned ex_style, int x, int y, int width, int height, MenuHandle menu,
                    Window* parent) {
  if (Handle()) return false;
  std::wstring wide_class = Widen(class_name && *class_name ? class_name : kBasicWindowClass);
  std::wstring wide_title = Widen(title);
  zorl::KLockGuard guard(g_creation_lock);
  g_pending = this;
  g_pending_thread = GetCurrentThreadId();
  HWND window = CreateWindowExW(ex_style, wide_class.c_str(), wide_title.c_str(), style, x, y,
                                width, height, parent ? parent->Handle() : nullptr, menu,
                                ApplicationInstance(), nullptr);
  g_pending = nullptr;
  g_pending_thread = 0;
  if (!window) {
    // Creation can fail after the window was bound (WM_CREATE refused it): stay empty.
    ref_.Detach([](WindowHandle) {});
    return false;
  }
  // Keep the record bound at WM_NCCREATE, so hooks added while the window was being created
  // stay; a window of a class without the framework procedure gets a fresh one.
  if (ref_.Get() != window) ref_.Attach(window, true);
  ref_.SetOwned(true);
  return true;
}

bool Window::Create(const char* class_name, const char* title, unsigned style,
                    unsigned ex_style, int x, int y, int width, int height) {
  return Create(class_name, title, style, ex_style, x, y, width, height, nullptr, nullptr);
}

bool Window::Create(const char* class_name, const char* title, unsigned style,
                    unsigned ex_style, const Rect& r, MenuHandle menu, Window* parent) {
  return Create(class_name, title, style, ex_style, r.x, r.y, r.width, r.height, menu, parent);
}

bool Window::Create(const char* class_name, const char* title, unsigned style,
                    unsigned ex_style, const Rect& r) {
  return Create(class_name, title, style, ex_style, r.x, r.y, r.width, r.height);
}

bool Window::Create(const char* class_name, const char* title, unsigned style,
                    unsigned ex_style, MenuHandle menu, Window* parent) {
  return Create(class_name, title, style, ex_style, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, menu,
                parent);
}

bool Window::Create(const char* class_name, const char* title, unsigned style,
                    unsigned ex_style) {
  return Create(class_name, title, style, ex_style, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0);
}

void Window::Detach() {
  if (Created()) Destroy();
  ref_.Detach([](WindowHandle) {});
}

bool Window::Destroy() {
  return ref_.Release([this](WindowHandle window) {
    Show(SW_HIDE);
    DestroyWindow(window);
    WindowRecord* record = ref_.GetRecord();
    if (record) record->hooks.clear();
  });
}

LResult Window::SendMessage(unsigned message, WParam wparam, LParam lparam) {
  return SendMessageW(Handle(), message, wparam, lparam);
}

bool Window::PostMessage(unsigned message, WParam wparam, LParam lparam) {
  return PostMessageW(Handle(), message, wparam, lparam) != FALSE;
}

bool Window::MessageFilter(MessageRecord* record) {
  TranslateMessage(reinterpret_cast<MSG*>(record));
  return false;
}

void Window::RegisterWith(WindowOwner* owner) { owner->RegisterWindow(this, true); }

void Window::UnregisterFrom(WindowOwner* owner) { owner->RegisterWindow(this, false); }

bool Window::Show(int command) {
  bool was_visible = ShowWindow(Handle(), command) != FALSE;
  Update();
  return was_visible;
}

void Window::ShowDefault() {
  Application* app = GetApplication();
  Show(app ? app->ShowCommand() : SW_SHOWNORMAL);
}

bool Window::BringToFront() {
  SetZOrder(nullptr);
  SetForegroundWindow(Handle());
  return BringWindowToTop(Handle()) != FALSE;
}

void Window::Hide() { Show(SW_HIDE); }

bool Window::GetPlacement(Placement* placement) {
  if (!Handle()) return false;
  placement->length = sizeof(WINDOWPLACEMENT);
  return GetWindowPlacement(Handle(), reinterpret_cast<WINDOWPLACEMENT*>(placement)) != FALSE;
}

bool Window::SetPlacement(const Placement& placement) {
  if (!Handle()) return false;
  Placement copy = placement;
  copy.length = sizeof(WINDOWPLACEMENT);
  return SetWindowPlacement(Handle(), reinterpret_cast<WINDOWPLACEMENT*>(&copy)) != FALSE;
}

bool Window::RestorePlacement(const char* key) {
  if (!Handle()) return false;
  Placement placement = {};
  if (ParsePlacement(StoredPlacementText(key, "").Text(), &placement)) {
    return SetPlacement(placement);
  }
  // Nothing usable stored: a first start, so a centred window of the default size.
  SetClientSize(640, 480);
  Centre();
  Application* app = GetApplication();
  Show(app ? app->ShowCommand() : SW_SHOWNORMAL);
  return true;
}

bool Window::RestorePosition(const char* key) {
  if (!Handle()) return false;
  Placement placement = {};
  int x = 0;
  int y = 0;
  if (ParsePlacement(StoredPlacementText(key, kDefaultPlacementText).Text(), &placement)) {
    x = placement.normal_position.left;
    y = placement.normal_position.top;
  }
  return Move(x, y, -1, -1);
}

bool Window::SavePlacement(const char* key) {
  Placement placement = {};
  if (!GetPlacement(&placement)) return false;
  if (IsMaximised()) placement.flags |= WPF_RESTORETOMAXIMIZED;
  return WriteSettingString(kPlacementSection, key, FormatPlacement(placement).Text());
}

unsigned Window::GetStyle() { return static_cast<unsigned>(GetWindowLongW(Handle(), GWL_STYLE)); }

unsigned Window::SetStyle(unsigned style) {
  return static_cast<unsigned>(SetWindowLongW(Handle(), GWL_STYLE, static_cast<LONG>(style)));
}

unsigned Window::GetExStyle() {
  return static_cast<unsigned>(GetWindowLongW(Handle(), GWL_EXSTYLE));
}

unsigned Window::SetExStyle(unsigned ex_style) {
  return static_cast<unsigned>(
      SetWindowLongW(Handle(), GWL_EXSTYLE, static_cast<LONG>(ex_style)));
}

int Window::MessageBox(const char* text, const char* caption, unsigned type) {
  return MessageBoxW(Handle(), Widen(text).c_str(), Widen(caption).c_str(), type);
}

void Window::SetSize(const Size& size) { Move(-1, -1, size.width, size.height); }

void Window::SetRect(const Rect& r) { Move(r.x, r.y, r.width, r.height); }

bool Window::Move(int x, int y, int width, int height) {
  Rect current = WindowRect();
  // Only a child window lives in its parent's client coordinates; an owned top-level window
  // (whose GetParent is its owner) stays in screen coordinates.
  HWND parent = (GetStyle() & WS_CHILD) ? ::GetParent(Handle()) : nullptr;
  if (parent) {
    POINT corner{current.x, current.y};
    ScreenToClient(parent, &corner);
    current.x = corner.x;
    current.y = corner.y;
  }
  if (x < 0) x = current.x;
  if (y < 0) y = current.y;
  if (width < 0) width = current.width;
  if (height < 0) height = current.height;
  return MoveWindow(Handle(), x, y, width, height, TRUE) != FALSE;
}

void Window::Resize(const Size& size) { Resize(size.width, size.height); }

void Window::Resize(int width, int height) { Move(-1, -1, width, height); }

void Window::SetClientSize(const Size& size) { SetSize(WindowSizeFor(size)); }

void Window::SetClientSize(int width, int height) { SetClientSize(Size{width, height}); }

bool Window::Centre() {
  int screen_width = GetSystemMetrics(SM_CXFULLSCREEN);
  int screen_height = GetSystemMetrics(SM_CYFULLSCREEN);
  Rect r = WindowRect();
  r.x = screen_width / 2 - r.width / 2;
  r.y = screen_height / 2 - r.height / 2;
  SetRect(r);
  return true;
}

bool Window::SetZOrder(Window* after) {
  return SetWindowPos(Handle(), after ? after->Handle() : HWND_TOP, 0, 0, 0, 0,
                      SWP_NOMOVE | SWP_NOSIZE) != FALSE;
}

Rect Window::WindowRect() {
  RECT r = {};
  ::GetWindowRect(Handle(), &r);
  return ToRect(r);
}

Rect Window::ClientRect() {
  RECT r = {};
  ::GetClientRect(Handle(), &r);
  return ToRect(r);
}

Size Window::WindowSizeFor(const Size& client) {
  return WindowSizeFor(GetStyle(), GetExStyle(), false, client);
}

Size Window::WindowSizeFor(unsigned style, unsigned ex_style, bool has_menu,
                           const Size& client) {
  RECT r{0, 0, client.width, client.height};
  BOOL menu = has_menu || ::GetMenu(Handle()) != nullptr;
  AdjustWindowRectEx(&r, style, menu, ex_style);
  return Size{r.right - r.left, r.bottom - r.top};
}

Size Window::ClientSizeFor(const Size& window) {
  return ClientSizeFor(GetStyle(), GetExStyle(), false, window);
}

Size Window::ClientSizeFor(unsigned style, unsigned ex_style, bool has_menu,
                           const Size& window) {
  // The frame is what the window size adds to a client of the same size.
  Size grown = WindowSizeFor(style, ex_style, has_menu, window);
  return Size{2 * window.width - grown.width, 2 * window.height - grown.height};
}

bool Window::IsChildOf(Window* other) {
  return IsChild(other ? other->Handle() : nullptr, Handle()) != FALSE;
}

bool Window::IsMinimised() { return IsIconic(Handle()) != FALSE; }

bool Window::IsWindow() { return ::IsWindow(Handle()) != FALSE; }

bool Window::IsMaximised() { return IsZoomed(Handle()) != FALSE; }

bool Window::IsVisible() { return IsWindowVisible(Handle()) != FALSE; }

zorl::KString Window::GetText() {
  int length = GetWindowTextLengthW(Handle());
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  int got = GetWindowTextW(Handle(), &text[0], length + 1);
  return NarrowText(text.c_str(), static_cast<std::size_t>(got > 0 ? got : 0));
}

bool Window::SetText(const char* text) {
  return SetWindowTextW(Handle(), Widen(text).c_str()) != FALSE;
}

bool Window::Enable(bool enable) { return EnableWindow(Handle(), enable) != FALSE; }

bool Window::IsEnabled() { return IsWindowEnabled(Handle()) != FALSE; }

Window Window::Parent() { return Window(::GetParent(Handle())); }

Window Window::SetParent(Window* parent) {
  return Window(::SetParent(Handle(), parent ? parent->Handle() : nullptr));
}

int Window::GetId() { return GetWindowLongW(Handle(), GWL_ID); }

int Window::SetId(int id) { return SetWindowLongW(Handle(), GWL_ID, id); }

bool Window::Update() { return UpdateWindow(Handle()) != FALSE; }

bool Window::Invalidate(const Rect* rect, bool erase) {
  if (!rect) return InvalidateRect(Handle(), nullptr, erase) != FALSE;
  RECT r = ToRECT(*rect);
  return InvalidateRect(Handle(), &r, erase) != FALSE;
}

bool Window::Validate(const Rect* rect) {
  if (!rect) return ValidateRect(Handle(), nullptr) != FALSE;
  RECT r = ToRECT(*rect);
  return ValidateRect(Handle(), &r) != FALSE;
}

void Window::Redraw() {
  Invalidate(nullptr, false);
  Update();
}

bool Window::SetMenu(const Menu& menu) { return ::SetMenu(Handle(), menu.Handle()) != FALSE; }

Menu Window::GetMenu() { return Menu(::GetMenu(Handle())); }

bool Window::RemoveMenu() { return ::SetMenu(Handle(), nullptr) != FALSE; }

bool Window::GetScrollRange(int bar, int* min, int* max) {
  return ::GetScrollRange(Handle(), bar, min, max) != FALSE;
}

bool Window::SetScrollRange(int bar, int min, int max, bool redraw) {
  return ::SetScrollRange(Handle(), bar, min, max, redraw ? TRUE : FALSE) != FALSE;
}

int Window::GetScrollPos(int bar) { return ::GetScrollPos(Handle(), bar); }

int Window::SetScrollPos(int bar, int position, bool redraw) {
  return ::SetScrollPos(Handle(), bar, position, redraw ? TRUE : FALSE);
}

bool Window::EnableScrollBar(unsigned bar, unsigned arrows) {
  return ::EnableScrollBar(Handle(), bar, arrows) != FALSE;
}

bool Window::ShowScrollBar(int bar, bool show) {
  return ::ShowScrollBar(Handle(), bar, show ? TRUE : FALSE) != FALSE;
}

bool Window::GetScrollInfo(int bar, ScrollInfo* info) {
  info->size = sizeof(SCROLLINFO);
  return ::GetScrollInfo(Handle(), bar, reinterpret_cast<SCROLLINFO*>(info)) != FALSE;
}

int Window::SetScrollInfo(int bar, const ScrollInfo& info, bool redraw) {
  ScrollInfo copy = info;
  copy.size = sizeof(SCROLLINFO);
  return ::SetScrollInfo(Handle(), bar, reinterpret_cast<SCROLLINFO*>(&copy),
                         redraw ? TRUE : FALSE);
}

bool Window::CreateCaret(BitmapHandle bitmap, int width, int height) {
  return ::CreateCaret(Handle(), bitmap, width, height) != FALSE;
}

bool Window::CreateCaret(int width, int height) { return CreateCaret(nullptr, width, height); }

bool Window::DestroyCaret() { return ::DestroyCaret() != FALSE; }

unsigned Window::CaretBlinkTime() { return GetCaretBlinkTime(); }

Point Window::CaretPosition() {
  POINT p = {};
  if (!GetCaretPos(&p)) return Point{};
  return Point{p.x, p.y};
}

bool Window::HideCaret() { return ::HideCaret(Handle()) != FALSE; }

bool Window::SetCaretBlinkTime(unsigned milliseconds) {
  return ::SetCaretBlinkTime(milliseconds) != FALSE;
}

bool Window::SetCaretPosition(const Point& point) { return SetCaretPosition(point.x, point.y); }

bool Window::SetCaretPosition(int x, int y) { return SetCaretPos(x, y) != FALSE; }

bool Window::ShowCaret() { return ::ShowCaret(Handle()) != FALSE; }

Window Window::DialogItem(int id) { return Window(GetDlgItem(Handle(), id)); }

LResult Window::SendItemMessage(int id, unsigned message, WParam wparam, LParam lparam) {
  return SendDlgItemMessageW(Handle(), id, message, wparam, lparam);
}

bool Window::IsButtonChecked(int id) { return SendItemMessage(id, BM_GETCHECK, 0, 0) != 0; }

void Window::CheckButton(int id, int state) {
  SendItemMessage(id, BM_SETCHECK, static_cast<WParam>(state), 0);
}

std::uintptr_t Window::SetTimer(std::uintptr_t id, unsigned interval, TimerProc procedure) {
  return ::SetTimer(Handle(), id, interval, reinterpret_cast<TIMERPROC>(procedure));
}

bool Window::KillTimer(std::uintptr_t id) { return ::KillTimer(Handle(), id) != FALSE; }

LResult Window::HandleMessage(unsigned message, WParam wparam, LParam lparam) {
  return DefWindowProcW(Handle(), message, wparam, lparam);
}

bool Window::AddHook(MessageHook* hook) {
  WindowRecord* record = ref_.GetRecord();
  if (!record || !record->handle || !hook) return false;
  record->hooks.push_back(hook);
  return true;
}

void Window::RemoveHook(MessageHook* hook) {
  WindowRecord* record = ref_.GetRecord();
  if (!record) return;
  for (auto it = record->hooks.begin(); it != record->hooks.end(); ++it) {
    if (*it == hook) {
      record->hooks.erase(it);
      return;
    }
  }
}

void Window::ClearHooks() {
  WindowRecord* record = ref_.GetRecord();
  if (record) record->hooks.clear();
}

bool Window::RunHooks(LResult* result, unsigned message, WParam wparam, LParam lparam) {
  // A hook may destroy the window or this object's hold on the record: keep it.
  zorl::KRef<WindowRecord> keep = ref_.Shared();
  WindowRecord* record = keep.Get();
  if (!record || record->hooks.empty()) return true;
  // A hook may add or remove hooks: walk the list as it was, skipping every hook that is no
  // longer in it (its owner may have freed it already).
  std::vector<MessageHook*> hooks = record->hooks;
  for (MessageHook* hook : hooks) {
    if (std::find(record->hooks.begin(), record->hooks.end(), hook) == record->hooks.end())
      continue;
    if (!hook->Hook(result, this, message, wparam, lparam)) return false;
  }
  return true;
}

}  // namespace QWF
