// Registration of the framework's window classes. Every framework window class uses the one
// framework window procedure, which routes each message to the window's object.
#ifndef FRAMEWORK_WINDOW_CLASS_H_
#define FRAMEWORK_WINDOW_CLASS_H_

#include "framework/types.h"

namespace QWF {

constexpr const char kBasicWindowClass[] = "QWF Basic Window Class";
constexpr const char kSplitterWindowClass[] = "QWF Splitter Window Class";

// What a caller fills in; the window procedure is always the framework's.
struct WindowClass {
  const char* name = nullptr;  // ASCII
  unsigned style = 0;
  int class_extra = 0;
  int window_extra = 0;
  InstanceHandle instance = nullptr;
  IconHandle icon = nullptr;
  IconHandle cursor = nullptr;
  BrushHandle background = nullptr;
  const char* menu_name = nullptr;
  IconHandle small_icon = nullptr;
};

// Registers the class with the framework window procedure. Returns whether the system
// registered it (false also when it was already registered: see RegisterFrameworkClasses).
bool RegisterWindowClass(const WindowClass& window_class);

// Registers "QWF Basic Window Class" and "QWF Splitter Window Class" for `instance`. A class
// that is already registered counts as success. False when either fails otherwise.
bool RegisterFrameworkClasses(InstanceHandle instance);

}  // namespace QWF

#endif  // FRAMEWORK_WINDOW_CLASS_H_
