#include "screen.h"

#include <utility>

#include "window_text.h"

namespace e2e {
namespace {

BOOL CALLBACK FindIconControl(HWND child, LPARAM param) {
  if (SameNoCase(ClassOf(child), L"Static") &&
      (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    *reinterpret_cast<HWND*>(param) = child;
    return FALSE;
  }
  return TRUE;
}

// 32-bit pixels (0x00RRGGBB, top row first) of a DIB section, and its device context.
struct Pixels {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  DWORD* bits = nullptr;
  Pixels(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    void* memory = nullptr;
    bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    ReleaseDC(nullptr, screen);
    bits = static_cast<DWORD*>(memory);
    old = SelectObject(dc, bitmap);
  }
  ~Pixels() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
};

bool Near(DWORD a, DWORD b) {
  for (int shift : {0, 8, 16}) {
    int x = static_cast<int>((a >> shift) & 0xFF), y = static_cast<int>((b >> shift) & 0xFF);
    if (x - y > 8 || y - x > 8) return false;
  }
  return true;
}

// Which icon the box shows. Icon handles are the showing process's own, so the icon is read
// off the screen and compared with the system's hand and information icons drawn here on the
// same background.
}  // namespace

BoxIcon IconOf(HWND box) {
  HWND control = nullptr;
  EnumChildWindows(box, &FindIconControl, reinterpret_cast<LPARAM>(&control));
  if (!control || !IsWindowVisible(control)) return BoxIcon::kNone;
  RECT r = {};
  GetWindowRect(control, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return BoxIcon::kNone;
  Pixels shown(width, height);
  HDC screen = GetDC(nullptr);
  BitBlt(shown.dc, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  GdiFlush();
  const DWORD background = shown.bits[0] & 0xFFFFFF;
  BoxIcon best = BoxIcon::kOther;
  long best_differences = static_cast<long>(width) * height;
  const std::pair<BoxIcon, LPCWSTR> candidates[] = {{BoxIcon::kHand, IDI_HAND},
                                                    {BoxIcon::kInformation, IDI_ASTERISK},
                                                    {BoxIcon::kWarning, IDI_EXCLAMATION}};
  for (const auto& candidate : candidates) {
    Pixels drawn(width, height);
    HBRUSH brush = CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF,
                                        background & 0xFF));
    RECT all = {0, 0, width, height};
    FillRect(drawn.dc, &all, brush);
    DeleteObject(brush);
    DrawIconEx(drawn.dc, 0, 0, LoadIconW(nullptr, candidate.second), 0, 0, 0, nullptr, DI_NORMAL);
    GdiFlush();
    long differences = 0;
    for (long i = 0; i < static_cast<long>(width) * height; ++i)
      if (!Near(shown.bits[i] & 0xFFFFFF, drawn.bits[i] & 0xFFFFFF)) ++differences;
    if (differences < best_differences) {
      best_differences = differences;
      best = candidate.first;
    }
  }
  // An icon is mostly not background: a match leaves few pixels apart.
  return best_differences * 20 <= static_cast<long>(width) * height ? best : BoxIcon::kOther;
}

RECT ScreenAround(HWND a, HWND b) {
  RECT ra = {}, rb = {}, both = {};
  GetWindowRect(a, &ra);
  if (b) {
    GetWindowRect(b, &rb);
    UnionRect(&both, &ra, &rb);
  } else {
    both = ra;
  }
  InflateRect(&both, 8, 8);
  both.left = both.left < 0 ? 0 : both.left;
  both.top = both.top < 0 ? 0 : both.top;
  return both;
}

}  // namespace e2e
