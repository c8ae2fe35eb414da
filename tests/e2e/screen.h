// The shared screen, read as the player sees it: screenshots, and which icon a message box
// shows.
#ifndef TESTS_E2E_SCREEN_H_
#define TESTS_E2E_SCREEN_H_

#include <windows.h>

#include <string>

namespace e2e {

enum class BoxIcon { kNone, kHand, kInformation, kOther };

// Which icon the message box shows. Icon handles belong to the showing process, so the icon is
// read off the screen and compared with the system's hand and information icons drawn here on
// the same background. The box must not be covered.
BoxIcon IconOf(HWND box);

// Writes the screen's rectangle `r` into a 24-bit BMP file. False on failure.
bool SaveScreen(const RECT& r, const std::wstring& path);

// The rectangle around window `a` (and `b`, if any), with a margin, inside the screen.
RECT ScreenAround(HWND a, HWND b);

}  // namespace e2e

#endif  // TESTS_E2E_SCREEN_H_
