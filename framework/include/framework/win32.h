// Include this instead of <windows.h> in code that uses the framework: the system header
// without the name macros that would rename framework operations (SendMessage, MessageBox,
// GetClassName, DeleteFile ...). Call the system's ...W functions by their explicit names.
#ifndef FRAMEWORK_WIN32_H_
#define FRAMEWORK_WIN32_H_

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "framework/no_win32_macros.h"

#endif  // FRAMEWORK_WIN32_H_
