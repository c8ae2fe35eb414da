// The text layout's steps, on a context with made-up metrics that records what it draws: a
// single byte is 8 pixels wide, a two-byte character 16, every piece 10 high.
#include <algorithm>
#include <string>
#include <vector>

#include "framework/device_context.h"
#include "framework/win32.h"
#include "gtest/gtest.h"

namespace {

using QWF::Point;
using QWF::Rect;
using QWF::Size;

struct Drawn {
  int x, y;
  std::string text;
  bool operator==(const Drawn& o) const { return x == o.x && y == o.y && text == o.text; }
};

std::ostream& operator<<(std::ostream& out, const Drawn& d) {
  return out << "(" << d.x << ", " << d.y << ", " << testing::PrintToString(d.text) << ")";
}

class RecordingContext : public QWF::DeviceContext {
 public:
  std::vector<Drawn> drawn;
  std::vector<Rect> clips;
  std::vector<unsigned> options;

  Size TextExtent(const char* text, int count) override {
    const std::string s = count > 0 ? std::string(text, count) : std::string(text);
    int width = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(s[i]);
      const bool pair = ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) &&
                        i + 1 < s.size();
      width += pair ? 16 : 8;
      if (pair) ++i;
    }
    return Size{width, 10};
  }
  using QWF::DeviceContext::ExtTextOut;
  bool ExtTextOut(int x, int y, unsigned option, const Rect& rect, const char* text,
                  const int*) override {
    drawn.push_back(Drawn{x, y, text});
    clips.push_back(rect);
    options.push_back(option);
    return true;
  }
};

const char kA[] = "\x82\xA0";   // あ
const char kI[] = "\x82\xA2";   // い
const char kU[] = "\x82\xA4";   // う

struct Case {
  const char* name;
  std::string text;
  Rect rect;
  Point scroll;
  int tab_size;
  unsigned flags;
  std::vector<Drawn> drawn;
  Size size;
};

std::string Repeat(char c, int n) { return std::string(static_cast<std::size_t>(n), c); }

std::vector<Case> Cases() {
  using namespace QWF;
  const Rect wide{0, 0, 200, 100};
  const std::string twelve_lines = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12";
  return {
      {"a character then a tab continues at column 8", "a\tb", wide, {}, 8, 0,
       {{0, 0, "a       b"}}, {72, 10}},
      {"tab size 4", "ab\tc", wide, {}, 4, 0, {{0, 0, "ab  c"}}, {40, 10}},
      {"a tab at a tab stop adds a whole tab", "abcd\tX", wide, {}, 4, 0,
       {{0, 0, "abcd    X"}}, {72, 10}},
      {"lines end at newlines; an empty line is a space high", "a\n\nb", wide, {}, 8, 0,
       {{0, 0, "a"}, {0, 20, "b"}}, {8, 30}},
      {"control bytes are left out", "a\x01" "b\rc\x1F", wide, {}, 8, 0,
       {{0, 0, "abc"}}, {24, 10}},
      {"half-width katakana are characters", "\xB1\xB2", wide, {}, 8, 0,
       {{0, 0, "\xB1\xB2"}}, {16, 10}},
      {"two-byte characters are measured whole", std::string("x") + kA + kI, wide, {}, 8, 0,
       {{0, 0, std::string("x") + kA + kI}}, {40, 10}},
      {"wrapping at the rectangle's width", "abcdefghij", {0, 0, 40, 100}, {}, 8,
       kLayoutWrap, {{0, 0, "abcde"}, {0, 10, "fghij"}}, {40, 20}},
      {"wrapping never splits a two-byte character", std::string(kA) + kI + kU,
       {0, 0, 40, 100}, {}, 8, kLayoutWrap,
       {{0, 0, std::string(kA) + kI}, {0, 10, kU}}, {32, 20}},
      {"every wrapped line takes a character", "ab", {0, 0, 4, 100}, {}, 8, kLayoutWrap,
       {{0, 0, "a"}, {0, 10, "b"}}, {8, 20}},
      {"no wrapping without the flag", "abcdefghij", {0, 0, 40, 100}, {}, 8, 0,
       {{0, 0, "abcdefghij"}}, {80, 10}},
      {"right alignment", "abc", {10, 0, 100, 50}, {}, 8, kLayoutRight,
       {{86, 0, "abc"}}, {24, 10}},
      {"centring", "abc", {10, 0, 100, 50}, {}, 8, kLayoutCentre, {{48, 0, "abc"}}, {24, 10}},
      {"an overlong line is not right-aligned by the flag for lines that fit",
       Repeat('m', 13), {0, 0, 100, 50}, {}, 8, kLayoutRight, {{0, 0, Repeat('m', 13)}},
       {104, 10}},
      {"an overlong line right-aligned keeps its end in view", Repeat('m', 13),
       {0, 0, 100, 50}, {}, 8, kLayoutRightOverlong, {{-4, 0, Repeat('m', 13)}}, {104, 10}},
      {"an overlong line centred", Repeat('m', 13), {0, 0, 100, 50}, {}, 8, kLayoutCentre,
       {{-2, 0, Repeat('m', 13)}}, {104, 10}},
      {"bottom alignment of a text that fits", "a\nb", {0, 5, 50, 100}, {}, 8,
       kLayoutBottom, {{0, 85, "a"}, {0, 95, "b"}}, {8, 20}},
      {"vertical centring", "a\nb", {0, 5, 50, 100}, {}, 8, kLayoutMiddle,
       {{0, 45, "a"}, {0, 55, "b"}}, {8, 20}},
      {"a taller text stays at the top without its flag", twelve_lines, {0, 5, 50, 100}, {},
       8, kLayoutBottom, {}, {16, 120}},
      {"a taller text bottom-aligned ends at the bottom", twelve_lines, {0, 5, 50, 100}, {},
       8, kLayoutBottomOverlong, {}, {16, 120}},
      {"scrolling skips lines", "a\nb\nc", wide, {0, 1}, 8, 0, {{0, 0, "b"}, {0, 10, "c"}},
       {8, 20}},
      {"scrolling skips bytes of every line; a line left empty is a space high",
       "abcd\nef\nghij", wide, {2, 0}, 8, 0, {{0, 0, "cd"}, {0, 20, "ij"}}, {16, 30}},
      {"a two-byte character cut by the scroll is skipped whole, the rest one space right",
       std::string("ab") + kA + "cd", wide, {3, 0}, 8, 0, {{8, 0, "cd"}}, {24, 10}},
      {"a scroll ending before a two-byte character", std::string("ab") + kA + "cd", wide,
       {2, 0}, 8, 0, {{0, 0, std::string(kA) + "cd"}}, {32, 10}},
      {"a scroll ending after a two-byte character", std::string("ab") + kA + "cd", wide,
       {4, 0}, 8, 0, {{0, 0, "cd"}}, {16, 10}},
      {"right alignment counts the skipped bytes", "abcd", {0, 0, 100, 50}, {2, 0}, 8,
       kLayoutRight, {{68, 0, "cd"}}, {16, 10}},
      {"a line longer than 1024 bytes goes on in the next", Repeat('a', 1500),
       {0, 0, 20000, 100}, {}, 8, 0,
       {{0, 0, Repeat('a', 1024)}, {0, 10, Repeat('a', 476)}}, {8192, 20}},
      {"a full line takes its line end along", Repeat('a', 1024) + "\nb", {0, 0, 20000, 100},
       {}, 8, 0, {{0, 0, Repeat('a', 1024)}, {0, 10, "b"}}, {8192, 20}},
      {"a two-byte character that no longer fits starts the next line",
       Repeat('a', 1023) + kA, {0, 0, 20000, 100}, {}, 8, 0,
       {{0, 0, Repeat('a', 1023)}, {0, 10, kA}}, {8184, 20}},
      {"a tab never runs past 1024 bytes", Repeat('a', 1020) + "\tb", {0, 0, 20000, 100}, {},
       8, 0, {{0, 0, Repeat('a', 1020) + "    "}, {0, 10, "b"}}, {8192, 20}},
  };
}

TEST(TextLayoutTest, StepsOfTheLayout) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    RecordingContext dc;
    const Size size = dc.LayOut(c.text.c_str(), 0, c.rect, c.scroll, c.tab_size, c.flags);
    EXPECT_EQ(size.width, c.size.width);
    EXPECT_EQ(size.height, c.size.height);
    if (!c.drawn.empty()) {
      EXPECT_EQ(dc.drawn, c.drawn);
    }
    for (std::size_t i = 0; i < dc.clips.size(); ++i) {
      EXPECT_EQ(dc.options[i], static_cast<unsigned>(ETO_CLIPPED));
      EXPECT_EQ(dc.clips[i].x, c.rect.x);
      EXPECT_EQ(dc.clips[i].width, c.rect.width);
    }
  }
}

TEST(TextLayoutTest, TallTextsStartAtTheTopOrEndAtTheBottom) {
  std::string text;
  for (int i = 1; i <= 12; ++i) text += std::to_string(i % 10) + "\n";
  text.pop_back();
  const Rect rect{0, 5, 50, 100};
  RecordingContext top, bottom;
  top.LayOut(text.c_str(), rect, QWF::kLayoutBottom);
  bottom.LayOut(text.c_str(), rect, QWF::kLayoutBottomOverlong);
  ASSERT_EQ(top.drawn.size(), 12u);
  ASSERT_EQ(bottom.drawn.size(), 12u);
  EXPECT_EQ(top.drawn.front().y, 5);
  // The last line (10 high) ends at the rectangle's bottom.
  EXPECT_EQ(bottom.drawn.back().y + 10, rect.y + rect.height);
  EXPECT_EQ(bottom.drawn.front().y, 5 + 100 - 120);
}

// Measuring answers exactly the size drawing covers, and draws nothing.
TEST(TextLayoutTest, MeasuringAnswersWhatDrawingCovers) {
  using namespace QWF;
  const std::string texts[] = {
      "plain",
      std::string("tab\there\n") + kA + "\t" + kI + "\n\nlast line, longer than the rest",
      Repeat('w', 40) + "\n" + kA + kI + kU + kA + kI + kU + kA + kI + kU,
      "",
  };
  const unsigned flag_sets[] = {
      0,
      kLayoutWrap,
      kLayoutRight,
      kLayoutCentre | kLayoutMiddle,
      kLayoutRightOverlong | kLayoutBottomOverlong,
      kLayoutWrap | kLayoutRight | kLayoutBottom,
      kLayoutWrap | kLayoutCentre | kLayoutBottomOverlong,
  };
  const Point scrolls[] = {{0, 0}, {3, 1}, {1, 0}};
  for (const std::string& text : texts) {
    for (unsigned flags : flag_sets) {
      for (Point scroll : scrolls) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(text) << " flags 0x"
                                        << std::hex << flags << std::dec << " scroll "
                                        << scroll.x << "," << scroll.y);
        const Rect rect{3, 4, 60, 30};
        RecordingContext measured, drawn;
        const Size m = measured.LayOut(text.c_str(), rect, scroll, kLayoutMeasure | flags);
        const Size d = drawn.LayOut(text.c_str(), rect, scroll, flags);
        EXPECT_TRUE(measured.drawn.empty());
        EXPECT_EQ(m.width, d.width);
        EXPECT_EQ(m.height, d.height);
        // The width is the widest line drawn, from where the line starts (a line moved one
        // space right by the scroll covers that space too).
        if (!(flags & (kLayoutRight | kLayoutCentre | kLayoutRightOverlong))) {
          int widest = 0;
          for (const Drawn& line : drawn.drawn)
            widest = std::max(widest, line.x - rect.x +
                                          drawn.TextExtent(line.text.c_str(), 0).width);
          EXPECT_EQ(widest, d.width);
        }
      }
    }
  }
}

TEST(TextLayoutTest, CountAndShorterForms) {
  RecordingContext dc;
  const Rect rect{0, 0, 200, 100};
  // Only the first five bytes.
  dc.LayOut("abc\ndef", 5, rect, Point{0, 0}, 8, 0);
  EXPECT_EQ(dc.drawn, (std::vector<Drawn>{{0, 0, "abc"}, {0, 10, "d"}}));
  // Tab size 8 and no scrolling by default.
  dc.drawn.clear();
  dc.LayOut("a\tb", rect, 0);
  EXPECT_EQ(dc.drawn, (std::vector<Drawn>{{0, 0, "a       b"}}));
  dc.drawn.clear();
  dc.LayOut("a\tb\nc", rect, Point{0, 1}, 0);
  EXPECT_EQ(dc.drawn, (std::vector<Drawn>{{0, 0, "c"}}));
  dc.drawn.clear();
  dc.LayOut("a\tb", rect, Point{0, 0}, 2, 0);
  EXPECT_EQ(dc.drawn, (std::vector<Drawn>{{0, 0, "a b"}}));
}

}  // namespace
