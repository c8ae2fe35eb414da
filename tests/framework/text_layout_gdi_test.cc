// The text layout with a real font in a DIB section: what it measures is what it draws.
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
using QWF::Rect;
using QWF::Size;

class TextLayoutGdiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(canvas_.Ready());
    ASSERT_TRUE(font_.CreateFixed(-16, FW_NORMAL, "IPAGothic"));
    canvas_.Dc().Select(font_);
    canvas_.Dc().SetBackgroundMode(TRANSPARENT);
  }
  void TearDown() override { canvas_.Dc().Select(QWF::GdiObject(GetStockObject(SYSTEM_FONT))); }

  DibCanvas canvas_{320, 200};
  QWF::Font font_;
};

// For each flag set: measuring draws nothing and answers the size drawing answers, and the
// ink lies within the rectangle and within the size measured from where the text starts.
TEST_F(TextLayoutGdiTest, MeasuringAnswersWhatDrawingCovers) {
  const std::string text =
      Cp932("表\tソ\tかな\nLatin and 漢字 mixed in one long line that needs wrapping\n\nｶﾀｶﾅ");
  const unsigned flag_sets[] = {
      0,
      QWF::kLayoutWrap,
      QWF::kLayoutWrap | QWF::kLayoutRight,
      QWF::kLayoutWrap | QWF::kLayoutCentre | QWF::kLayoutMiddle,
      QWF::kLayoutWrap | QWF::kLayoutBottom,
      QWF::kLayoutRightOverlong | QWF::kLayoutBottomOverlong,
  };
  const Rect rect{20, 10, 240, 150};
  for (unsigned flags : flag_sets) {
    SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << flags);
    canvas_.Fill(0xFFFFFF);
    const Size measured = canvas_.Dc().LayOut(text.c_str(), rect, QWF::kLayoutMeasure | flags);
    EXPECT_TRUE(canvas_.Blank());
    const Size drawn = canvas_.Dc().LayOut(text.c_str(), rect, flags);
    EXPECT_EQ(measured.width, drawn.width);
    EXPECT_EQ(measured.height, drawn.height);
    const Rect ink = canvas_.Ink();
    ASSERT_GT(ink.width, 0);
    EXPECT_GE(ink.x, rect.x);
    EXPECT_GE(ink.y, rect.y);
    EXPECT_LE(ink.x + ink.width, rect.x + rect.width);
    EXPECT_LE(ink.y + ink.height, rect.y + rect.height);
    if (flags & QWF::kLayoutWrap) {
      EXPECT_LE(drawn.width, rect.width);
    }
    if (!(flags & (QWF::kLayoutRight | QWF::kLayoutCentre | QWF::kLayoutMiddle |
                   QWF::kLayoutBottom | QWF::kLayoutRightOverlong | QWF::kLayoutBottomOverlong))) {
      // Top left: the ink lies in the box the size describes.
      EXPECT_LE(ink.x + ink.width, rect.x + measured.width);
      EXPECT_LE(ink.y + ink.height, rect.y + measured.height);
    }
  }
}

TEST_F(TextLayoutGdiTest, ATallTextBottomAlignedEndsAtTheBottom) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += Cp932("行") + std::to_string(i) + "\n";
  text += Cp932("最後");
  const Rect rect{10, 10, 200, 100};
  const Size size = canvas_.Dc().LayOut(text.c_str(), rect, QWF::kLayoutMeasure);
  ASSERT_GT(size.height, rect.height);
  // The first lines lie above the rectangle (clipped away); the last ends at its bottom.
  canvas_.Dc().LayOut(text.c_str(), rect, QWF::kLayoutBottomOverlong);
  const Rect ink = canvas_.Ink();
  const int line = canvas_.Dc().TextExtent(" ", 1).height;
  EXPECT_LE(ink.y + ink.height, rect.y + rect.height);
  EXPECT_GT(ink.y + ink.height, rect.y + rect.height - line);
}

// A two-byte character is one character of the font: three of them are as wide as the
// UTF-16 text, whatever the system code page.
TEST_F(TextLayoutGdiTest, TwoByteCharactersMeasureAsOneCharacter) {
  SIZE wide;
  ASSERT_TRUE(GetTextExtentPoint32W(canvas_.Dc().Handle(), L"\x3042\x3044\x3046", 3, &wide));
  const Size size = canvas_.Dc().LayOut(Cp932("あいう").c_str(), Rect{0, 0, 300, 100},
                                        QWF::kLayoutMeasure);
  EXPECT_EQ(size.width, wide.cx);
  EXPECT_EQ(size.height, wide.cy);
  // An empty line is as high as a space.
  const Size empty = canvas_.Dc().LayOut("", Rect{0, 0, 300, 100}, QWF::kLayoutMeasure);
  EXPECT_EQ(empty.height, 0);
  const Size one = canvas_.Dc().LayOut("\n", Rect{0, 0, 300, 100}, QWF::kLayoutMeasure);
  EXPECT_EQ(one.height, canvas_.Dc().TextExtent(" ", 1).height);
}

}  // namespace
