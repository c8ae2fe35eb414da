// The framework's value types and opaque system handles.
//
// Public headers name system handles through the same incomplete structs that <windows.h>
// uses (STRICT handles), so code that includes both sees one type, and code that includes
// only the framework never sees <windows.h> or its macros.
#ifndef FRAMEWORK_TYPES_H_
#define FRAMEWORK_TYPES_H_

#include <cstdint>

struct HWND__;
struct HMENU__;
struct HINSTANCE__;
struct HICON__;
struct HBRUSH__;
struct HBITMAP__;

namespace QWF {

using WindowHandle = HWND__*;
using MenuHandle = HMENU__*;
using InstanceHandle = HINSTANCE__*;  // also a loaded module
using IconHandle = HICON__*;          // also a cursor
using BrushHandle = HBRUSH__*;
using BitmapHandle = HBITMAP__*;

// Message parameters and results, as wide as the system's.
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

struct Point {
  int x = 0;
  int y = 0;
};

struct Size {
  int width = 0;
  int height = 0;
};

// A rectangle as origin and extent, not as two corners.
struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// The layout of the system's message record (MSG).
struct MessageRecord {
  WindowHandle window;
  unsigned message;
  WParam wparam;
  LParam lparam;
  std::uint32_t time;
  Point point;
};

// The layout of the system's window placement record (WINDOWPLACEMENT, 44 bytes).
struct Placement {
  std::uint32_t length;
  std::uint32_t flags;
  std::uint32_t show_command;
  Point min_position;
  Point max_position;
  struct {
    int left, top, right, bottom;
  } normal_position;
};

// The layout of the system's scroll bar record (SCROLLINFO).
struct ScrollInfo {
  std::uint32_t size;
  std::uint32_t mask;
  int min;
  int max;
  std::uint32_t page;
  int position;
  int track_position;
};

// Timer procedure of SetTimer.
using TimerProc = void(__stdcall*)(WindowHandle, unsigned, std::uintptr_t, std::uint32_t);

// A child control identifier passed where creation wants a menu.
inline MenuHandle ControlId(std::uintptr_t id) { return reinterpret_cast<MenuHandle>(id); }

}  // namespace QWF

#endif  // FRAMEWORK_TYPES_H_
