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

// The longest answer to a probe that still counts as a window answering: anything longer means
// its thread was doing the work. Wide enough for a busy machine; the 250 ms responsiveness
// target is measured by bench/run-gui-bench on an idle one.
constexpr double kStoppedAnsweringMs = 2000;

}  // namespace e2e

#endif  // TESTS_E2E_WINDOW_TEXT_H_
