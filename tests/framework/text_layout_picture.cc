// Draws a sample of the text layout (Japanese and Latin, tabs, wrapping, every alignment,
// scrolling) into a DIB section and saves it as a BMP file, for a person to look at and for
// comparing the drawing under two system code pages.
//
//   text_layout_picture <out.bmp>     prints "code page <n>" (the system code page it ran in)
#include <cstdio>
#include <string>

#include "dib_canvas.h"
#include "framework/device_context.h"
#include "framework/font.h"
#include "framework/win32.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace {

std::string Cp932(const char* utf8) { return platform::Utf8ToCp932(utf8); }

struct Panel {
  const char* caption;
  const char* text;  // UTF-8 here, cp932 on the way in
  unsigned flags;
  QWF::Point scroll;
  bool fixed;  // fixed-pitch font (else proportional)
};

const Panel kPanels[] = {
    {"0: tabs (size 8), fixed pitch",
     "品名\t数量\t値段\nりんご\t3\t120円\nみかん\t12\t80円\nぶどう\t1\t450円", 0, {0, 0}, true},
    {"0x200: wrap",
     "吾輩は猫である。名前はまだ無い。The quick brown fox jumps over the lazy dog. "
     "どこで生れたかとんと見当がつかぬ。",
     QWF::kLayoutWrap, {0, 0}, false},
    {"0x4: right", "右寄せ\nright aligned\n短い", QWF::kLayoutRight, {0, 0}, false},
    {"0x8 | 0x40: centre, middle", "中央\ncentred text\nｶﾀｶﾅ ﾃｷｽﾄ",
     QWF::kLayoutCentre | QWF::kLayoutMiddle, {0, 0}, false},
    {"0x20: bottom", "下寄せ\nbottom", QWF::kLayoutBottom, {0, 0}, false},
    {"0x100: bottom, taller than the box",
     "1行目\n2行目\n3行目\n4行目\n5行目\n6行目\n7行目 (the end stays in view)",
     QWF::kLayoutBottomOverlong, {0, 0}, false},
    {"0x80: right, an overlong line",
     "この行は枠より長いので、末尾が見えるように右寄せされる: the end", QWF::kLayoutRightOverlong,
     {0, 0}, false},
    {"scroll (3, 1), fixed pitch: 漢 cut, skipped whole",
     "skipped line\nab漢字cd\nxyzかなABC\n\ttab", 0, {3, 1}, true},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: text_layout_picture <out.bmp>\n");
    return 2;
  }
  fwtest::DibCanvas canvas(660, 500);
  if (!canvas.Ready()) return 1;
  QWF::DeviceContext& dc = canvas.Dc();
  QWF::Font fixed, proportional, caption;
  if (!fixed.CreateFixed(-14, FW_NORMAL, "IPAGothic") ||
      !proportional.CreateProportional(-14, FW_NORMAL, "IPAPGothic") ||
      !caption.CreateProportional(-11, FW_BOLD, "IPAPGothic"))
    return 1;
  QWF::GdiObject grey(CreatePen(PS_SOLID, 1, RGB(0xB0, 0xB0, 0xB0)));
  QWF::GdiObject previous_font = dc.Select(caption);
  QWF::GdiObject previous_pen = dc.Select(grey);
  dc.SetBackgroundMode(TRANSPARENT);

  dc.SetTextColour(RGB(0, 0, 0));
  dc.TextOut(10, 6, Cp932("テキストのレイアウト: tabs, wrapping, alignment, scrolling").c_str(), 0);
  for (int i = 0; i < 8; ++i) {
    const Panel& p = kPanels[i];
    const int x = 10 + (i % 2) * 325, y = 28 + (i / 2) * 118;
    dc.Select(caption);
    dc.SetTextColour(RGB(0x20, 0x40, 0xC0));
    dc.TextOut(x, y, Cp932(p.caption).c_str(), 0);
    const QWF::Rect box{x, y + 16, 315, 96};
    dc.Frame(QWF::Rect{box.x - 1, box.y - 1, box.width + 2, box.height + 2});
    dc.Select(p.fixed ? fixed : proportional);
    dc.SetTextColour(RGB(0, 0, 0));
    dc.LayOut(Cp932(p.text).c_str(), box, p.scroll, p.flags);
  }
  dc.Select(previous_font);
  dc.Select(previous_pen);
  DeleteObject(grey.Handle());

  if (!testing_support::WriteFileBytes(argv[1], canvas.Bmp())) return 1;
  std::printf("code page %u\n", GetACP());
  return 0;
}
