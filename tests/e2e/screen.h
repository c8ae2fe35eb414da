// The shared screen, read as the player sees it: which icon a message box shows, and where
// to take a screenshot (support/screenshot.h takes it).
#ifndef TESTS_E2E_SCREEN_H_
#define TESTS_E2E_SCREEN_H_

#include <windows.h>

namespace e2e {

enum class BoxIcon { kNone, kHand, kInformation, kWarning, kOther };

// Which icon the message box shows. Icon handles belong to the showing process, so the icon is
// read off the screen and compared with the system's hand and information icons drawn here on
// the same background (and with the warning icon). The box must not be covered.
BoxIcon IconOf(HWND box);

// The rectangle around window `a` (and `b`, if any), with a margin, inside the screen.
RECT ScreenAround(HWND a, HWND b);

}  // namespace e2e

#endif  // TESTS_E2E_SCREEN_H_
