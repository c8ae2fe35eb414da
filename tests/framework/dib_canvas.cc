#include "dib_canvas.h"

#include <cstring>

#include "framework/win32.h"

namespace fwtest {

DibCanvas::DibCanvas(int width, int height) : width_(width), height_(height) {
  if (!dc_.CreateCompatible()) return;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down: row 0 is the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(dc_.Handle(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap_) return;
  previous_ = SelectObject(dc_.Handle(), bitmap_);
  pixels_ = static_cast<std::uint32_t*>(bits);
  Fill(0xFFFFFF);
}

DibCanvas::~DibCanvas() {
  if (!bitmap_) return;
  SelectObject(dc_.Handle(), previous_);
  DeleteObject(bitmap_);
}

void DibCanvas::Fill(std::uint32_t rgb) {
  GdiFlush();
  for (int i = 0; i < width_ * height_; ++i) pixels_[i] = rgb;
}

bool DibCanvas::Blank() const { return Ink().width == 0; }

QWF::Rect DibCanvas::Ink() const {
  GdiFlush();
  int left = width_, top = height_, right = -1, bottom = -1;
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      if (At(x, y) == 0xFFFFFF) continue;
      if (x < left) left = x;
      if (x > right) right = x;
      if (y < top) top = y;
      if (y > bottom) bottom = y;
    }
  }
  if (right < 0) return QWF::Rect{};
  return QWF::Rect{left, top, right - left + 1, bottom - top + 1};
}

std::string DibCanvas::Pixels() const {
  GdiFlush();
  return std::string(reinterpret_cast<const char*>(pixels_),
                     static_cast<std::size_t>(width_) * height_ * 4);
}

std::string DibCanvas::Bmp() const {
  GdiFlush();
  const std::size_t row = (static_cast<std::size_t>(width_) * 3 + 3) / 4 * 4;
  const std::size_t image = row * height_;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = static_cast<DWORD>(file.bfOffBits + image);
  info.biSize = sizeof info;
  info.biWidth = width_;
  info.biHeight = height_;  // bottom-up, as every reader expects
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(image);
  std::string out(reinterpret_cast<const char*>(&file), sizeof file);
  out.append(reinterpret_cast<const char*>(&info), sizeof info);
  std::string line(row, '\0');
  for (int y = height_ - 1; y >= 0; --y) {
    for (int x = 0; x < width_; ++x) {
      const std::uint32_t p = pixels_[y * width_ + x];
      line[x * 3] = static_cast<char>(p & 0xFF);
      line[x * 3 + 1] = static_cast<char>((p >> 8) & 0xFF);
      line[x * 3 + 2] = static_cast<char>((p >> 16) & 0xFF);
    }
    out += line;
  }
  return out;
}

}  // namespace fwtest
