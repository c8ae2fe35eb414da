// Reading another process's windows from outside: texts as UTF-16 (as the system holds them),
// class names, and messages sent with a time limit.
#ifndef TESTS_E2E_WINDOW_TEXT_H_
#define TESTS_E2E_WINDOW_TEXT_H_

#include <windows.h>

#include <string>

namespace e2e {

std::wstring TextOf(HWND window);
std::wstring ClassOf(HWND window);
bool SameNoCase(const std::wstring& a, const std::wstring& b);
// SendMessageTimeout with ten seconds to answer; 0 when no answer came.
LRESULT SendTimed(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
std::string Utf8(const std::wstring& text);

}  // namespace e2e

#endif  // TESTS_E2E_WINDOW_TEXT_H_
