#include "framework/win32.h"

#include "framework/window.h"
#include "framework/window_class.h"
#include "wide_text.h"

namespace QWF {

bool RegisterWindowClass(const WindowClass& wc) {
  std::wstring name = Widen(wc.name);
  std::wstring menu_name = Widen(wc.menu_name);
  WNDCLASSEXW record = {};
  // The record's size is the system's own (not a fixed number): a wrong size is refused.
  record.cbSize = sizeof(record);
  record.style = wc.style;
  record.lpfnWndProc = reinterpret_cast<WNDPROC>(&WindowProcedure);
  record.cbClsExtra = wc.class_extra;
  record.cbWndExtra = wc.window_extra;
  record.hInstance = wc.instance;
  record.hIcon = wc.icon;
  record.hCursor = wc.cursor;
  record.hbrBackground = wc.background;
  record.lpszMenuName = wc.menu_name ? menu_name.c_str() : nullptr;
  record.lpszClassName = name.c_str();
  record.hIconSm = wc.small_icon;
  return RegisterClassExW(&record) != 0;
}

namespace {
bool RegisteredOrThere(const WindowClass& wc) {
  return RegisterWindowClass(wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}
}  // namespace

bool RegisterFrameworkClasses(InstanceHandle instance) {
  WindowClass basic;
  basic.name = kBasicWindowClass;
  basic.style = CS_HREDRAW | CS_VREDRAW;
  basic.instance = instance;
  basic.icon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  basic.small_icon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  basic.cursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  basic.background = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  if (!RegisteredOrThere(basic)) return false;

  WindowClass splitter;
  splitter.name = kSplitterWindowClass;
  splitter.style = CS_HREDRAW | CS_VREDRAW;
  splitter.instance = instance;
  return RegisteredOrThere(splitter);
}

}  // namespace QWF
