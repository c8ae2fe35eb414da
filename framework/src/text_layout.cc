// DeviceContext::LayOut: multi-line cp932 text in a rectangle, with tabs, wrapping,
// alignment and scrolling. Measuring and drawing run the same steps; only drawing calls
// ExtTextOut, so the size answered is the same either way.
#include "framework/win32.h"

#include <algorithm>
#include <cstring>

#include "foundation/ktext.h"
#include "framework/device_context.h"

namespace QWF {

namespace {

// The longest line the layout builds; a longer one goes on in the next line.
constexpr std::size_t kLineBytes = 1024;

// One line as the layout builds it: its bytes (tabs expanded to spaces, each one character)
// and the advance of each character, kept at the character's first byte (0 at a trail byte).
struct Line {
  char bytes[kLineBytes + 1];
  int advance[kLineBytes];
  std::size_t length = 0;
  int width = 0;

  void Clear() {
    length = 0;
    width = 0;
  }
  void Add(const char* piece, std::size_t n, int piece_width) {
    std::memcpy(bytes + length, piece, n);
    advance[length] = piece_width;
    if (n == 2) advance[length + 1] = 0;
    length += n;
    width += piece_width;
  }
};

class Layout {
 public:
  Layout(DeviceContext& dc, const char* text, std::size_t count, const Rect& rect,
         Point scroll, int tab_size, unsigned flags)
      : dc_(dc),
        text_(text),
        count_(count),
        rect_(rect),
        skip_lines_(scroll.y > 0 ? scroll.y : 0),
        skip_bytes_(scroll.x > 0 ? static_cast<std::size_t>(scroll.x) : 0),
        tab_size_(tab_size > 0 ? static_cast<std::size_t>(tab_size) : 1),
        flags_(flags),
        measuring_(flags & kLayoutMeasure) {}

  Size Run(int start_y) {
    const Size space = dc_.TextExtent(" ", 1);
    space_width_ = space.width;
    space_height_ = space.height;
    std::fill(single_width_, single_width_ + 256, -1);

    int y = start_y, lines = 0;
    Size covered;
    std::size_t at = 0;
    while (at < count_) {
      at = BuildLine(at);
      if (lines++ < skip_lines_) continue;
      const Size drawn = PlaceLine(y);
      covered.width = std::max(covered.width, drawn.width);
      covered.height += drawn.height;
      y += drawn.height;
    }
    return covered;
  }

 private:
  // Reads one line from `at` into line_; answers where the next line starts.
  std::size_t BuildLine(std::size_t at) {
    line_.Clear();
    const bool wrap = flags_ & kLayoutWrap;
    while (at < count_) {
      const unsigned char c = static_cast<unsigned char>(text_[at]);
      if (c == '\n') return at + 1;  // consumed, also by a line that is full
      if (c < 0x20 && c != '\t') {
        ++at;  // other control bytes are left out
        continue;
      }
      if (line_.length == kLineBytes) return at;
      // The next piece: n bytes at `at`, or n spaces for a tab.
      std::size_t n = 0;
      int width = 0;
      if (zorl::IsLeadByte(c) && at + 1 < count_) {
        n = 2;  // a two-byte character: measured and copied whole
        width = dc_.TextExtent(text_ + at, 2).width;
      } else if (c == '\t') {
        // Spaces to the next multiple of the tab size, in columns of this line, as far as
        // the line has room.
        n = (line_.length / tab_size_ + 1) * tab_size_ - line_.length;
        n = std::min(n, kLineBytes - line_.length);
        width = static_cast<int>(n) * space_width_;
      } else {
        n = 1;  // any other byte, half-width katakana included, is one character
        width = SingleWidth(c);
      }
      // A two-byte character that no longer fits goes to the next line; with wrapping so
      // does a piece that would overflow the rectangle. Every line takes at least one piece,
      // so a piece wider than the rectangle still moves on.
      if (line_.length + n > kLineBytes ||
          (wrap && line_.length > 0 && line_.width + width > rect_.width))
        return at;
      if (c == '\t') {
        for (std::size_t i = 0; i < n; ++i) line_.Add(" ", 1, space_width_);
        ++at;
      } else {
        line_.Add(text_ + at, n, width);
        at += n;
      }
    }
    return at;
  }

  // Draws (unless measuring) the line built at `y`; answers the size it covers.
  Size PlaceLine(int y) {
    // Skip the scrolled bytes, never half a two-byte character: one the skip would cut is
    // skipped whole and the rest moves one space right.
    std::size_t from = 0;
    int skipped_width = 0, shift = 0;
    while (from < line_.length && from < skip_bytes_) {
      const std::size_t n =
          zorl::IsLeadByte(static_cast<unsigned char>(line_.bytes[from])) &&
                  from + 1 < line_.length
              ? 2
              : 1;
      if (from + n > skip_bytes_) shift = space_width_;
      skipped_width += line_.advance[from];
      from += n;
    }
    const int free_width = rect_.width - line_.width;
    const bool fits = line_.width <= rect_.width;
    int offset = 0;
    if ((fits && (flags_ & kLayoutRight)) || (!fits && (flags_ & kLayoutRightOverlong)))
      offset = free_width;
    else if (flags_ & kLayoutCentre)
      offset = free_width / 2;

    const std::size_t rest = line_.length - from;
    line_.bytes[line_.length] = '\0';
    const char* text = line_.bytes + from;
    if (!measuring_ && rest > 0)
      dc_.ExtTextOut(rect_.x + offset + shift, y, ETO_CLIPPED, rect_, text, nullptr);
    const int height = rest > 0 ? dc_.TextExtent(text, static_cast<int>(rest)).height
                                : space_height_;
    const int width = rest > 0 ? shift + line_.width - skipped_width : 0;
    return Size{width, height};
  }

  int SingleWidth(unsigned char c) {
    if (single_width_[c] < 0) {
      const char piece[2] = {static_cast<char>(c), '\0'};
      single_width_[c] = dc_.TextExtent(piece, 1).width;
    }
    return single_width_[c];
  }

  DeviceContext& dc_;
  const char* text_;
  std::size_t count_;
  Rect rect_;
  int skip_lines_;
  std::size_t skip_bytes_;
  std::size_t tab_size_;
  unsigned flags_;
  bool measuring_;
  int space_width_ = 0;
  int space_height_ = 0;
  int single_width_[256];
  Line line_;
};

}  // namespace

Size DeviceContext::LayOut(const char* text, int count, const Rect& rect, Point scroll,
                           int tab_size, unsigned flags) {
  if (!text) text = "";
  const std::size_t bytes =
      count > 0 ? strnlen(text, static_cast<std::size_t>(count)) : std::strlen(text);
  int y = rect.y;
  if (flags & kLayoutMeasure) {
    y = 0;
  } else if (flags & (kLayoutBottom | kLayoutMiddle | kLayoutBottomOverlong)) {
    // Where the first line goes depends on the height of them all.
    const int height = LayOut(text, static_cast<int>(bytes), rect, scroll, tab_size,
                              kLayoutMeasure | (flags & kLayoutWrap))
                           .height;
    if (height > rect.height) {
      if (flags & kLayoutBottomOverlong) y = rect.y + rect.height - height;
    } else if (flags & kLayoutBottom) {
      y = rect.y + rect.height - height;
    } else if (flags & kLayoutMiddle) {
      y = rect.y + (rect.height - height) / 2;
    }
  }
  return Layout(*this, text, bytes, rect, scroll, tab_size, flags).Run(y);
}

Size DeviceContext::LayOut(const char* text, const Rect& rect, Point scroll, int tab_size,
                           unsigned flags) {
  return LayOut(text, 0, rect, scroll, tab_size, flags);
}

Size DeviceContext::LayOut(const char* text, const Rect& rect, Point scroll, unsigned flags) {
  return LayOut(text, rect, scroll, 8, flags);
}

Size DeviceContext::LayOut(const char* text, const Rect& rect, unsigned flags) {
  return LayOut(text, rect, Point{0, 0}, flags);
}

}  // namespace QWF
