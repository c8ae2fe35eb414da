// <windows.h> maps many function names to their A or W form with macros. The framework's
// operations share some of those names, so every framework header (and framework/win32.h)
// removes the macros; code calls the system's explicit ...W functions instead.
// No include guard: it has to act again after a later <windows.h>.
#undef SendMessage
#undef PostMessage
#undef MessageBox
#undef GetMessage
#undef PeekMessage
#undef DispatchMessage
#undef IsDialogMessage
#undef CreateDialog
#undef DialogBox
#undef GetClassName
#undef DeleteFile
#undef LoadMenu
#undef LoadLibrary
#undef GetObject
#undef CreateWindow
#undef GetWindowText
#undef SetWindowText
#undef RegisterClass
#undef TextOut
#undef ExtTextOut
#undef DrawText
