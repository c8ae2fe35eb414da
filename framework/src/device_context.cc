#include "framework/win32.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/device_context.h"
#include "gdi_text.h"
#include "wide_text.h"

namespace QWF {

namespace {
void DeleteHeld(DcHandle dc) { ::DeleteDC(dc); }

RECT Edges(const Rect& r) { return RECT{r.x, r.y, r.x + r.width, r.y + r.height}; }

// A cp932 text for CreateDC and CreateIC; null stays null.
struct OptionalText {
  explicit OptionalText(const char* text) : present(text != nullptr) {
    if (text) wide = Widen(text);
  }
  const wchar_t* Get() const { return present ? wide.c_str() : nullptr; }
  bool present;
  std::wstring wide;
};

// The bytes a count stands for: `count` of them, or the whole text for 0 (or less).
std::size_t Bytes(const char* text, int count) {
  if (!text) return 0;
  return count > 0 ? static_cast<std::size_t>(count) : std::strlen(text);
}
}  // namespace

DeviceContext::DeviceContext(DcHandle handle) { ref_.Attach(handle, false); }

DeviceContext::DeviceContext(const DeviceContext& other) : ref_(other.ref_) {}

DeviceContext::~DeviceContext() { Detach(); }

bool DeviceContext::Create(const char* driver, const char* device, const char* output,
                           const DeviceMode* mode) {
  if (ref_.Holds()) return false;
  OptionalText d(driver), v(device), o(output);
  return ref_.Adopt(CreateDCW(d.Get(), v.Get(), o.Get(), mode));
}

bool DeviceContext::CreateCompatible(const DeviceContext& other) {
  if (ref_.Holds()) return false;
  return ref_.Adopt(CreateCompatibleDC(other.Handle()));
}

bool DeviceContext::CreateCompatible() { return CreateCompatible(DeviceContext()); }

bool DeviceContext::CreateInformation(const char* driver, const char* device,
                                      const char* output, const DeviceMode* mode) {
  if (ref_.Holds()) return false;
  OptionalText d(driver), v(device), o(output);
  return ref_.Adopt(CreateICW(d.Get(), v.Get(), o.Get(), mode));
}

void DeviceContext::Detach() { ref_.Detach(&DeleteHeld); }

bool DeviceContext::Delete() {
  if (!ref_.Holds()) return false;
  if (!::DeleteDC(Handle())) return false;
  ref_.Release([](DcHandle) {});
  return true;
}

int DeviceContext::Capability(int index) { return GetDeviceCaps(Handle(), index); }

int DeviceContext::Save() { return SaveDC(Handle()); }

bool DeviceContext::Restore(int saved) { return RestoreDC(Handle(), saved) != FALSE; }

bool DeviceContext::Reset(const DeviceMode& mode) {
  return ResetDCW(Handle(), &mode) != nullptr;
}

GdiObject DeviceContext::Select(const GdiObject& object) {
  return GdiObject(SelectObject(Handle(), object.Handle()));
}

int DeviceContext::LogicalHeight(int tenths_of_point) {
  const int device_height = tenths_of_point * GetDeviceCaps(Handle(), LOGPIXELSY) / 720;
  POINT points[2] = {{0, device_height}, {0, 0}};
  DPtoLP(Handle(), points, 2);
  return std::abs(points[0].y - points[1].y);
}

GdiObject DeviceContext::CurrentPen() { return GdiObject(GetCurrentObject(Handle(), OBJ_PEN)); }

GdiObject DeviceContext::CurrentBrush() {
  return GdiObject(GetCurrentObject(Handle(), OBJ_BRUSH));
}

GdiObject DeviceContext::CurrentPalette() {
  return GdiObject(GetCurrentObject(Handle(), OBJ_PAL));
}

Font DeviceContext::CurrentFont() {
  return Font(static_cast<HFONT>(GetCurrentObject(Handle(), OBJ_FONT)));
}

GdiObject DeviceContext::CurrentBitmap() {
  return GdiObject(GetCurrentObject(Handle(), OBJ_BITMAP));
}

Colour DeviceContext::TextColour() { return GetTextColor(Handle()); }

Colour DeviceContext::SetTextColour(Colour colour) { return SetTextColor(Handle(), colour); }

bool DeviceContext::Metrics(TextMetrics* out) {
  static_assert(sizeof(TextMetrics) == sizeof(TEXTMETRICW), "TextMetrics is TEXTMETRICW");
  TEXTMETRICW metrics;
  if (!GetTextMetricsW(Handle(), &metrics)) return false;
  std::memcpy(out, &metrics, sizeof metrics);
  return true;
}

Size DeviceContext::TextExtent(const char* text, int count) {
  const std::wstring wide = Widen(text, Bytes(text, count));
  SIZE size;
  if (!GetTextExtentPoint32W(Handle(), wide.c_str(), static_cast<int>(wide.size()), &size))
    return Size();
  return Size{size.cx, size.cy};
}

bool DeviceContext::TextOut(int x, int y, const char* text, int count) {
  const std::wstring wide = Widen(text, Bytes(text, count));
  return TextOutW(Handle(), x, y, wide.c_str(), static_cast<int>(wide.size())) != FALSE;
}

namespace {
bool ExtTextOutWide(DcHandle dc, int x, int y, unsigned options, const RECT* rect,
                    const char* text, std::size_t count, const int* spacing) {
  const std::wstring wide = Widen(text, count);
  const std::vector<int> advances = WidenSpacing(text, count, spacing, wide.size());
  return ExtTextOutW(dc, x, y, options, rect, wide.c_str(), static_cast<UINT>(wide.size()),
                     advances.empty() ? nullptr : advances.data()) != FALSE;
}
}  // namespace

bool DeviceContext::ExtTextOut(int x, int y, unsigned options, const Rect& rect,
                               const char* text, int count, const int* spacing) {
  const RECT edges = Edges(rect);
  return ExtTextOutWide(Handle(), x, y, options, &edges, text,
                        text ? static_cast<std::size_t>(count < 0 ? 0 : count) : 0, spacing);
}

bool DeviceContext::ExtTextOut(int x, int y, unsigned options, const Rect& rect,
                               const char* text, const int* spacing) {
  return ExtTextOut(x, y, options, rect, text,
                    text ? static_cast<int>(std::strlen(text)) : 0, spacing);
}

bool DeviceContext::ExtTextOut(int x, int y, unsigned options, const char* text, int count,
                               const int* spacing) {
  return ExtTextOutWide(Handle(), x, y, options, nullptr, text,
                        text ? static_cast<std::size_t>(count < 0 ? 0 : count) : 0, spacing);
}

bool DeviceContext::ExtTextOut(int x, int y, unsigned options, const char* text,
                               const int* spacing) {
  return ExtTextOut(x, y, options, text, text ? static_cast<int>(std::strlen(text)) : 0,
                    spacing);
}

int DeviceContext::DrawText(const char* text, int count, Rect& rect, unsigned format) {
  const std::size_t bytes =
      !text ? 0 : count < 0 ? std::strlen(text) : static_cast<std::size_t>(count);
  const std::wstring wide = Widen(text, bytes);
  RECT edges = Edges(rect);
  // The wide text is a copy: the caller's text could not take the system's changes.
  const int height = DrawTextW(Handle(), wide.c_str(), static_cast<int>(wide.size()), &edges,
                               format & ~static_cast<unsigned>(DT_MODIFYSTRING));
  rect = Rect{edges.left, edges.top, edges.right - edges.left, edges.bottom - edges.top};
  return height;
}

int DeviceContext::DrawText(const char* text, Rect& rect, unsigned format) {
  return DrawText(text, -1, rect, format);
}

Colour DeviceContext::BackgroundColour() { return GetBkColor(Handle()); }

Colour DeviceContext::SetBackgroundColour(Colour colour) { return SetBkColor(Handle(), colour); }

int DeviceContext::BackgroundMode() { return GetBkMode(Handle()); }

int DeviceContext::SetBackgroundMode(int mode) { return SetBkMode(Handle(), mode); }

bool DeviceContext::PatternFill(int x, int y, int width, int height,
                                unsigned raster_operation) {
  return PatBlt(Handle(), x, y, width, height, raster_operation) != FALSE;
}

bool DeviceContext::Copy(int x, int y, int width, int height, const DeviceContext& source,
                         int source_x, int source_y, unsigned raster_operation) {
  return BitBlt(Handle(), x, y, width, height, source.Handle(), source_x, source_y,
                raster_operation) != FALSE;
}

bool DeviceContext::MoveTo(int x, int y) { return MoveToEx(Handle(), x, y, nullptr) != FALSE; }

bool DeviceContext::MoveTo(int x, int y, Point* previous) {
  POINT before = {0, 0};
  if (!MoveToEx(Handle(), x, y, &before)) return false;
  if (previous) *previous = Point{before.x, before.y};
  return true;
}

bool DeviceContext::Line(int x1, int y1, int x2, int y2) {
  return MoveTo(x1, y1) && LineTo(x2, y2);
}

bool DeviceContext::LineTo(int x, int y) { return ::LineTo(Handle(), x, y) != FALSE; }

void DeviceContext::EdgeFrame(const Rect& rect, const GdiObject& light_pen,
                              const GdiObject& dark_pen) {
  EdgeFrame(rect.x, rect.y, rect.width, rect.height, light_pen, dark_pen);
}

void DeviceContext::EdgeFrame(int x, int y, int width, int height, const GdiObject& light_pen,
                              const GdiObject& dark_pen) {
  const int right = x + width - 1, bottom = y + height - 1;
  Select(light_pen);
  Line(x, y, right, y);
  Line(x, y, x, bottom);
  Select(dark_pen);
  Line(right, y, right, bottom);
  // A line leaves out its end point: the bottom edge runs one further to close the corner.
  Line(x, bottom, right + 1, bottom);
}

void DeviceContext::Frame(const Rect& rect) { Frame(rect.x, rect.y, rect.width, rect.height); }

void DeviceContext::Frame(int x, int y, int width, int height) {
  const int right = x + width - 1, bottom = y + height - 1;
  Line(x, y, right, y);
  Line(x, y, x, bottom);
  Line(right, y, right, bottom);
  Line(x, bottom, right + 1, bottom);
}

}  // namespace QWF
