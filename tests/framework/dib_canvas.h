// A white 32-bit picture in memory (a DIB section) with a device context drawing into it,
// for tests that look at what was drawn.
#ifndef TESTS_FRAMEWORK_DIB_CANVAS_H_
#define TESTS_FRAMEWORK_DIB_CANVAS_H_

#include <cstdint>
#include <string>

#include "framework/device_context.h"

namespace fwtest {

class DibCanvas {
 public:
  // A width x height picture, filled white, selected into a memory context compatible with
  // the screen.
  DibCanvas(int width, int height);
  ~DibCanvas();
  DibCanvas(const DibCanvas&) = delete;
  DibCanvas& operator=(const DibCanvas&) = delete;

  bool Ready() const { return pixels_ != nullptr; }
  QWF::DeviceContext& Dc() { return dc_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // The colour at (x, y) as 0x00RRGGBB.
  std::uint32_t At(int x, int y) const { return pixels_[y * width_ + x] & 0xFFFFFF; }
  void Fill(std::uint32_t rgb);
  // Whether any pixel differs from white.
  bool Blank() const;
  // The smallest rectangle holding every pixel that is not white (width 0 when none).
  QWF::Rect Ink() const;
  // The picture as a bottom-up 24-bit BMP file's bytes.
  std::string Bmp() const;
  // All pixels, for comparing two pictures.
  std::string Pixels() const;

 private:
  int width_;
  int height_;
  std::uint32_t* pixels_ = nullptr;
  QWF::DeviceContext dc_;
  QWF::GdiHandle bitmap_ = nullptr;
  QWF::GdiHandle previous_ = nullptr;
};

}  // namespace fwtest

#endif  // TESTS_FRAMEWORK_DIB_CANVAS_H_
