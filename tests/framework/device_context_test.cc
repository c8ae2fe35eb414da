// The device context wrapper on the real gdi32: ownership, forwarding operations, lines and
// blits (looked at pixel by pixel in a DIB section), and texts crossing as UTF-16.
//
// The system header comes first, with UNICODE: TextOut, ExtTextOut and DrawText must stay the
// wrapper's own names (the framework headers remove the system's macros), or this would not
// compile.
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include <string>

#include "dib_canvas.h"
#include "framework/device_context.h"
#include "framework/font.h"
#include "framework/win32.h"
#include "gtest/gtest.h"
#include "test_application.h"

namespace {

using fwtest::Cp932;
using fwtest::DibCanvas;

TEST(DeviceContextTest, CreatedContextsAreOwnedWrappedAndSharedOnesAreNot) {
  QWF::DeviceContext dc;
  EXPECT_EQ(dc.Handle(), nullptr);
  ASSERT_TRUE(dc.CreateCompatible());
  EXPECT_TRUE(dc.Owned());
  const HDC handle = dc.Handle();
  EXPECT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_MEMDC));
  // A second creation is refused and keeps the context.
  EXPECT_FALSE(dc.CreateCompatible());
  EXPECT_FALSE(dc.Create("DISPLAY", nullptr, nullptr, nullptr));
  EXPECT_EQ(dc.Handle(), handle);
  {
    QWF::DeviceContext shared(dc);
    EXPECT_EQ(shared.Handle(), handle);
    EXPECT_FALSE(shared.Owned());
    QWF::DeviceContext wrapped(handle);
    EXPECT_FALSE(wrapped.Owned());
  }
  EXPECT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_MEMDC));  // still there
  QWF::DeviceContext copy(dc);
  dc.Detach();
  EXPECT_EQ(GetObjectType(handle), 0u);  // the owner deleted it
  EXPECT_EQ(dc.Handle(), nullptr);
  // Delete works on any context and every copy sees it gone.
  HDC other = CreateCompatibleDC(nullptr);
  QWF::DeviceContext first(other), second(first);
  EXPECT_TRUE(first.Delete());
  EXPECT_EQ(GetObjectType(other), 0u);
  EXPECT_EQ(second.Handle(), nullptr);
  EXPECT_FALSE(first.Delete());
  EXPECT_FALSE(QWF::DeviceContext().Delete());
}

TEST(DeviceContextTest, DisplayAndInformationContexts) {
  QWF::DeviceContext display, info, memory, none;
  ASSERT_TRUE(display.Create("DISPLAY", nullptr, nullptr, nullptr));
  EXPECT_GT(display.Capability(LOGPIXELSY), 0);
  EXPECT_GT(display.Capability(HORZRES), 0);
  ASSERT_TRUE(info.CreateInformation("DISPLAY", nullptr, nullptr, nullptr));
  EXPECT_EQ(info.Capability(HORZRES), display.Capability(HORZRES));
  ASSERT_TRUE(memory.CreateCompatible(display));
  EXPECT_EQ(GetObjectType(memory.Handle()), static_cast<DWORD>(OBJ_MEMDC));
  // Only printer drivers take a new mode (Wine has none to try); an empty object never does.
  DEVMODEW mode = {};
  mode.dmSize = sizeof mode;
  ASSERT_TRUE(EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode));
  EXPECT_FALSE(QWF::DeviceContext().Reset(mode));
  // A driver name that is no driver, in cp932.
  EXPECT_FALSE(none.Create(Cp932("存在しない").c_str(), nullptr, nullptr, nullptr));
  EXPECT_EQ(none.Handle(), nullptr);
  EXPECT_EQ(none.Capability(HORZRES), 0);
}

TEST(DeviceContextTest, StateColoursAndModes) {
  DibCanvas canvas(8, 8);
  ASSERT_TRUE(canvas.Ready());
  QWF::DeviceContext& dc = canvas.Dc();
  dc.SetTextColour(RGB(1, 2, 3));
  EXPECT_EQ(dc.SetTextColour(RGB(4, 5, 6)), RGB(1, 2, 3));
  EXPECT_EQ(dc.TextColour(), RGB(4, 5, 6));
  const int saved = dc.Save();
  ASSERT_GT(saved, 0);
  dc.SetTextColour(RGB(7, 8, 9));
  dc.SetBackgroundColour(RGB(10, 11, 12));
  EXPECT_EQ(dc.SetBackgroundColour(RGB(13, 14, 15)), RGB(10, 11, 12));
  EXPECT_EQ(dc.BackgroundColour(), RGB(13, 14, 15));
  dc.SetBackgroundMode(OPAQUE);
  EXPECT_EQ(dc.SetBackgroundMode(TRANSPARENT), OPAQUE);
  EXPECT_EQ(dc.BackgroundMode(), TRANSPARENT);
  EXPECT_TRUE(dc.Restore(saved));
  EXPECT_EQ(dc.TextColour(), RGB(4, 5, 6));
  EXPECT_FALSE(dc.Restore(saved));  // used up
}

TEST(DeviceContextTest, SelectAndCurrentObjectsNeverOwn) {
  DibCanvas canvas(8, 8);
  ASSERT_TRUE(canvas.Ready());
  QWF::DeviceContext& dc = canvas.Dc();
  QWF::Font font;
  ASSERT_TRUE(font.CreateProportional(-16, FW_NORMAL, "IPAPGothic"));
  HGDIOBJ original_font = GetCurrentObject(dc.Handle(), OBJ_FONT);
  {
    QWF::GdiObject previous = dc.Select(font);
    EXPECT_EQ(previous.Handle(), original_font);
    EXPECT_FALSE(previous.Owned());
    EXPECT_EQ(previous.ObjectType(), static_cast<unsigned>(OBJ_FONT));
    QWF::Font current = dc.CurrentFont();
    EXPECT_EQ(current.Handle(), font.Handle());
    EXPECT_FALSE(current.Owned());
    QWF::GdiObject back = dc.Select(previous);
    EXPECT_EQ(back.Handle(), font.Handle());
  }
  // Dropping the wrappers deleted nothing.
  EXPECT_EQ(GetObjectType(original_font), static_cast<DWORD>(OBJ_FONT));
  EXPECT_EQ(GetObjectType(font.Handle()), static_cast<DWORD>(OBJ_FONT));
  EXPECT_EQ(dc.CurrentPen().ObjectType(), static_cast<unsigned>(OBJ_PEN));
  EXPECT_EQ(dc.CurrentBrush().ObjectType(), static_cast<unsigned>(OBJ_BRUSH));
  EXPECT_EQ(dc.CurrentPalette().ObjectType(), static_cast<unsigned>(OBJ_PAL));
  EXPECT_EQ(dc.CurrentBitmap().ObjectType(), static_cast<unsigned>(OBJ_BITMAP));
  EXPECT_FALSE(dc.CurrentPen().Owned());
}

TEST(DeviceContextTest, LogicalHeightOfTenthsOfAPoint) {
  DibCanvas canvas(8, 8);
  ASSERT_TRUE(canvas.Ready());
  QWF::DeviceContext& dc = canvas.Dc();
  const int dpi = dc.Capability(LOGPIXELSY);
  ASSERT_GT(dpi, 0);
  EXPECT_EQ(dc.LogicalHeight(120), 120 * dpi / 720);  // 12 points; 16 at 96 dpi
  EXPECT_EQ(dc.LogicalHeight(0), 0);
  // In twips a point is 20 logical units, whatever the device.
  SetMapMode(dc.Handle(), MM_TWIPS);
  const int device = 120 * dpi / 720;
  EXPECT_NEAR(dc.LogicalHeight(120), device * 1440 / dpi, 1);
}

// Every pixel of the outline of (x, y, width, height) has `rgb` (the sides given).
void ExpectOutline(const DibCanvas& c, int x, int y, int width, int height,
                   std::uint32_t top_left, std::uint32_t bottom_right) {
  const int right = x + width - 1, bottom = y + height - 1;
  for (int i = x; i < right; ++i) EXPECT_EQ(c.At(i, y), top_left) << "top " << i;
  for (int j = y; j < bottom; ++j) EXPECT_EQ(c.At(x, j), top_left) << "left " << j;
  for (int j = y; j <= bottom; ++j) EXPECT_EQ(c.At(right, j), bottom_right) << "right " << j;
  for (int i = x; i <= right; ++i) EXPECT_EQ(c.At(i, bottom), bottom_right) << "bottom " << i;
  // Nothing inside.
  for (int j = y + 1; j < bottom; ++j)
    for (int i = x + 1; i < right; ++i) ASSERT_EQ(c.At(i, j), 0xFFFFFFu) << i << "," << j;
}

TEST(DeviceContextTest, LinesAndFramesCoverTheirRectangles) {
  DibCanvas canvas(64, 32);
  ASSERT_TRUE(canvas.Ready());
  QWF::DeviceContext& dc = canvas.Dc();
  QWF::GdiObject black;
  ASSERT_TRUE(black.Stock(BLACK_PEN));
  dc.Select(black);

  QWF::Point previous;
  EXPECT_TRUE(dc.MoveTo(7, 9));
  EXPECT_TRUE(dc.MoveTo(1, 1, &previous));
  EXPECT_EQ(previous.x, 7);
  EXPECT_EQ(previous.y, 9);
  EXPECT_TRUE(dc.Line(0, 30, 5, 30));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(canvas.At(i, 30), 0u);
  EXPECT_EQ(canvas.At(5, 30), 0xFFFFFFu);  // the end point is not drawn

  dc.Frame(QWF::Rect{2, 2, 10, 6});
  ExpectOutline(canvas, 2, 2, 10, 6, 0, 0);

  HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  HPEN blue = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
  dc.EdgeFrame(QWF::Rect{20, 2, 10, 6}, QWF::GdiObject(red), QWF::GdiObject(blue));
  ExpectOutline(canvas, 20, 2, 10, 6, 0xFF0000, 0x0000FF);
  EXPECT_EQ(dc.CurrentPen().Handle(), blue);  // the dark pen stays selected
  dc.Select(black);
  DeleteObject(red);
  DeleteObject(blue);
}

TEST(DeviceContextTest, FillsAndCopies) {
  DibCanvas canvas(32, 16), source(32, 16);
  ASSERT_TRUE(canvas.Ready() && source.Ready());
  EXPECT_TRUE(source.Dc().PatternFill(0, 0, 4, 4, BLACKNESS));
  EXPECT_EQ(source.At(3, 3), 0u);
  EXPECT_EQ(source.At(4, 3), 0xFFFFFFu);
  EXPECT_TRUE(canvas.Dc().Copy(10, 5, 4, 4, source.Dc(), 0, 0, SRCCOPY));
  const QWF::Rect ink = canvas.Ink();
  EXPECT_EQ(ink.x, 10);
  EXPECT_EQ(ink.y, 5);
  EXPECT_EQ(ink.width, 4);
  EXPECT_EQ(ink.height, 4);
  EXPECT_FALSE(QWF::DeviceContext().PatternFill(0, 0, 4, 4, BLACKNESS));
}

// The same text drawn through the wrapper (cp932) and straight through the wide function
// gives the same pixels, whatever the system code page is: a two-byte character is one
// character, never two.
TEST(DeviceContextTest, TextsReachTheSystemAsUtf16) {
  const std::string text = Cp932("かな漢字 and Latin ｶﾀｶﾅ");
  const std::wstring wide = L"\x304B\x306A\x6F22\x5B57 and Latin \xFF76\xFF80\xFF76\xFF85";
  DibCanvas mine(400, 40), system(400, 40);
  ASSERT_TRUE(mine.Ready() && system.Ready());
  QWF::Font font;
  ASSERT_TRUE(font.CreateFixed(-20, FW_NORMAL, "IPAGothic"));
  mine.Dc().Select(font);
  SelectObject(system.Dc().Handle(), font.Handle());

  SIZE expected;
  ASSERT_TRUE(GetTextExtentPoint32W(system.Dc().Handle(), wide.c_str(),
                                    static_cast<int>(wide.size()), &expected));
  const QWF::Size extent = mine.Dc().TextExtent(text.c_str(), 0);
  EXPECT_EQ(extent.width, expected.cx);
  EXPECT_EQ(extent.height, expected.cy);
  // Fixed pitch: a two-byte character is as wide as two single ones.
  EXPECT_EQ(mine.Dc().TextExtent(text.c_str(), 2).width,
            2 * mine.Dc().TextExtent("a", 0).width);
  EXPECT_EQ(QWF::DeviceContext().TextExtent("a", 0).width, 0);

  ASSERT_TRUE(mine.Dc().TextOut(2, 2, text.c_str(), 0));
  ASSERT_TRUE(TextOutW(system.Dc().Handle(), 2, 2, wide.c_str(), static_cast<int>(wide.size())));
  EXPECT_FALSE(mine.Blank());
  EXPECT_EQ(mine.Pixels(), system.Pixels());

  mine.Fill(0xFFFFFF);
  system.Fill(0xFFFFFF);
  const RECT clip = {0, 0, 60, 40};
  ASSERT_TRUE(mine.Dc().ExtTextOut(2, 2, ETO_CLIPPED, QWF::Rect{0, 0, 60, 40}, text.c_str(),
                                   nullptr));
  ASSERT_TRUE(ExtTextOutW(system.Dc().Handle(), 2, 2, ETO_CLIPPED, &clip, wide.c_str(),
                          static_cast<UINT>(wide.size()), nullptr));
  EXPECT_EQ(mine.Pixels(), system.Pixels());
  EXPECT_LT(mine.Ink().x + mine.Ink().width, 61);

  mine.Fill(0xFFFFFF);
  system.Fill(0xFFFFFF);
  QWF::Rect box{0, 0, 400, 40};
  EXPECT_GT(mine.Dc().DrawText(text.c_str(), box, DT_LEFT | DT_TOP), 0);
  RECT system_box = {0, 0, 400, 40};
  DrawTextW(system.Dc().Handle(), wide.c_str(), static_cast<int>(wide.size()), &system_box,
            DT_LEFT | DT_TOP);
  EXPECT_EQ(mine.Pixels(), system.Pixels());
  // With DT_CALCRECT the rectangle becomes what the text needs.
  QWF::Rect needed{0, 0, 400, 40};
  mine.Dc().DrawText(text.c_str(), 4, needed, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(needed.width, mine.Dc().TextExtent(text.c_str(), 4).width);
  EXPECT_EQ(needed.height, extent.height);
}

// Spacing comes one entry per byte; a two-byte character advances by the sum of its two.
TEST(DeviceContextTest, ExtTextOutSpacingPerByte) {
  const std::string text = "a" + Cp932("あ") + "b";
  const wchar_t wide[] = L"a\x3042" L"b";
  DibCanvas mine(200, 40), system(200, 40);
  ASSERT_TRUE(mine.Ready() && system.Ready());
  QWF::Font font;
  ASSERT_TRUE(font.CreateFixed(-20, FW_NORMAL, "IPAGothic"));
  mine.Dc().Select(font);
  SelectObject(system.Dc().Handle(), font.Handle());
  const int per_byte[] = {30, 20, 25, 10};
  const int per_character[] = {30, 45, 10};
  ASSERT_TRUE(mine.Dc().ExtTextOut(2, 2, 0, text.c_str(), 4, per_byte));
  ASSERT_TRUE(ExtTextOutW(system.Dc().Handle(), 2, 2, 0, nullptr, wide, 3, per_character));
  EXPECT_FALSE(mine.Blank());
  EXPECT_EQ(mine.Pixels(), system.Pixels());
}

}  // namespace
