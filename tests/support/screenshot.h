// Windows only: a rectangle of the screen, as the player sees it, into a BMP file, for the
// programs that watch a GUI from outside and keep a picture of it.
#ifndef TESTS_SUPPORT_SCREENSHOT_H_
#define TESTS_SUPPORT_SCREENSHOT_H_

#include <windows.h>

#include <string>

namespace testing_support {

// Writes the screen's rectangle `r` (screen coordinates) into a 24-bit bottom-up BMP file at
// `path`. False when the rectangle is empty or the file cannot be written whole.
bool SaveScreen(const RECT& r, const std::wstring& path);

}  // namespace testing_support

#endif  // TESTS_SUPPORT_SCREENSHOT_H_
