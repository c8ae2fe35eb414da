// The Windows half of the plug-in host: the Susie calls, and GDI turning
// whatever bit depth and palette a plug-in delivers into 24-bit pixels.
#include <windows.h>

#include <climits>
#include <cstring>

#include "image/kimagefile.h"

#include "../susie_native.h"

namespace zorl {
namespace susie_native {

namespace {

using GetPluginInfoFn = int(WINAPI*)(int, LPSTR, int);
using IsSupportedFn = int(WINAPI*)(LPCSTR, void*);
using GetPictureFn = int(WINAPI*)(LPCSTR, LONG_PTR, unsigned int, HLOCAL*,
                                  HLOCAL*, void*, LONG_PTR);

// One memory device context with a DIB section selected into it; released
// in reverse order of creation.
class DibContext {
 public:
  // A section described by `info`; null bits() when anything failed.
  explicit DibContext(const BITMAPINFO* info) {
    dc_ = CreateCompatibleDC(nullptr);
    if (!dc_) return;
    bitmap_ = CreateDIBSection(dc_, info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (!bitmap_) {
      bits_ = nullptr;
      return;
    }
    old_ = SelectObject(dc_, bitmap_);
  }
  ~DibContext() {
    if (old_) SelectObject(dc_, old_);
    if (bitmap_) DeleteObject(bitmap_);
    if (dc_) DeleteDC(dc_);
  }
  DibContext(const DibContext&) = delete;
  DibContext& operator=(const DibContext&) = delete;

  HDC dc() const { return dc_; }
  unsigned char* bits() const { return static_cast<unsigned char*>(bits_); }

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  void* bits_ = nullptr;
};

// The two handles GetPicture hands over: locked while in use, then freed
// (the information block first).
class PluginResult {
 public:
  PluginResult(HLOCAL info, HLOCAL bits) : info_(info), bits_(bits) {
    info_data_ = info_ ? LocalLock(info_) : nullptr;
    bits_data_ = bits_ ? LocalLock(bits_) : nullptr;
  }
  ~PluginResult() {
    if (info_data_) LocalUnlock(info_);
    if (info_) LocalFree(info_);
    if (bits_data_) LocalUnlock(bits_);
    if (bits_) LocalFree(bits_);
  }
  PluginResult(const PluginResult&) = delete;
  PluginResult& operator=(const PluginResult&) = delete;

  const BITMAPINFO* info() const {
    return static_cast<const BITMAPINFO*>(info_data_);
  }
  SIZE_T info_size() const { return LocalSize(info_); }
  const unsigned char* bits() const {
    return static_cast<const unsigned char*>(bits_data_);
  }
  SIZE_T bits_size() const { return LocalSize(bits_); }

 private:
  HLOCAL info_;
  HLOCAL bits_;
  void* info_data_ = nullptr;
  void* bits_data_ = nullptr;
};

// Whether the information block a plug-in returned describes a picture GDI
// can take, read within the block's own size: the header, then the colour
// table (or the three masks of bit fields) that GDI reads after it. False
// for anything else, including a size beyond the pixel limit.
bool ValidInfo(const BITMAPINFO* info, SIZE_T size) {
  if (size < sizeof(BITMAPINFOHEADER)) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > size) return false;
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == LONG_MIN) return false;
  const WORD bits = h.biBitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 &&
      bits != 32)
    return false;
  unsigned long long table = 0;  // bytes after the header GDI may read
  if (h.biCompression == BI_BITFIELDS) {
    if (bits != 16 && bits != 32) return false;
    if (h.biSize == sizeof(BITMAPINFOHEADER)) table = 3 * sizeof(DWORD);
  } else if (h.biCompression != BI_RGB) {
    return false;
  }
  if (h.biClrUsed != 0)
    table += static_cast<unsigned long long>(h.biClrUsed) * sizeof(RGBQUAD);
  else if (bits <= 8)
    table += (1ull << bits) * sizeof(RGBQUAD);
  if (table > size - h.biSize) return false;
  const LONG height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  return KimgPixelsAllowed(static_cast<std::uint32_t>(h.biWidth),
                           static_cast<std::uint32_t>(height));
}

}  // namespace

bool Available() { return true; }

int GetPluginInfo(void* function, int number, char* buffer, int size) {
  return reinterpret_cast<GetPluginInfoFn>(function)(number, buffer, size);
}

int IsSupported(void* function, const char* name, const void* head) {
  return reinterpret_cast<IsSupportedFn>(function)(
      name, const_cast<void*>(head));
}

bool GetPicture(void* function, const unsigned char* data,
                std::uint32_t length, KImage& image) {
  HLOCAL info_handle = nullptr;
  HLOCAL bits_handle = nullptr;
  if (reinterpret_cast<GetPictureFn>(function)(
          reinterpret_cast<LPCSTR>(data), static_cast<LONG_PTR>(length), 1,
          &info_handle, &bits_handle, nullptr, 0) != 0)
    return false;
  PluginResult result(info_handle, bits_handle);
  if (!result.info() || !result.bits() ||
      !ValidInfo(result.info(), result.info_size()))
    return false;

  const BITMAPINFOHEADER& header = result.info()->bmiHeader;
  const LONG width = header.biWidth;
  const LONG height = header.biHeight < 0 ? -header.biHeight : header.biHeight;

  // The plug-in's picture, as it delivered it.
  DibContext source(result.info());
  if (!source.bits()) return false;
  const unsigned long long row_size =
      (static_cast<unsigned long long>(header.biBitCount) * width + 31) / 32 * 4;
  unsigned long long copy = row_size * static_cast<unsigned long long>(height);
  if (copy > result.bits_size()) copy = result.bits_size();
  std::memcpy(source.bits(), result.bits(), static_cast<std::size_t>(copy));

  // GDI converts it into a top-down 24-bit section.
  BITMAPINFO target_info{};
  target_info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  target_info.bmiHeader.biWidth = width;
  target_info.bmiHeader.biHeight = -height;
  target_info.bmiHeader.biPlanes = 1;
  target_info.bmiHeader.biBitCount = 24;
  target_info.bmiHeader.biCompression = BI_RGB;
  DibContext target(&target_info);
  if (!target.bits()) return false;
  if (!BitBlt(target.dc(), 0, 0, width, height, source.dc(), 0, 0, SRCCOPY))
    return false;
  GdiFlush();

  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
  if (!image.Create(static_cast<std::uint32_t>(width),
                    static_cast<std::uint32_t>(height), stride, KIMG_BGR))
    return false;
  const unsigned char* from = target.bits();
  unsigned char* to = image.BeginAccess();
  for (LONG y = 0; y < height; ++y, from += stride) {
    std::memcpy(to, from, stride);
    to = image.NextRow(to);
  }
  image.EndAccess();
  return true;
}

}  // namespace susie_native
}  // namespace zorl
