// DeviceContext: a GDI device context in the shared handle-wrapper pattern, with forwarding
// operations for text, colours, lines and blits, and the framework's text layout.
//
// A context this object created (Create, CreateCompatible, CreateInformation) is owned and
// deleted when the object is detached; a wrapped or shared one never is. Objects selected
// into the context and its current objects come back as wrappers that do not own them.
//
// Texts are cp932. They reach the system through its wide functions, converted with code
// page 932, so measuring and drawing are the same whatever the system code page is: a
// two-byte character is one UTF-16 character. Rectangles are origin and extent; the system
// gets their edges (x, y, x + width, y + height).
//
// The operations are virtual in a fixed order; LayOut measures and draws through
// TextExtent (21) and ExtTextOut (24), so a derived class that overrides those lays out with
// them too. Every operation on an empty object passes no context to the system and returns
// what the system returns (false / 0).
#ifndef FRAMEWORK_DEVICE_CONTEXT_H_
#define FRAMEWORK_DEVICE_CONTEXT_H_

#include "framework/drawing_types.h"
#include "framework/font.h"
#include "framework/gdi_object.h"
#include "framework/handle_ref.h"
#include "framework/no_win32_macros.h"
#include "framework/types.h"

namespace QWF {

struct DcRecord {
  DcHandle handle = nullptr;
};

class DeviceContext {
 public:
  // Empty: no context.
  DeviceContext() = default;
  // Wraps a context someone else releases (a paint or window context); never deletes it.
  explicit DeviceContext(DcHandle handle);
  // Shares the other's context without owning it.
  DeviceContext(const DeviceContext& other);
  DeviceContext& operator=(const DeviceContext&) = delete;

  // 0: deletes the context if this object created it.
  virtual ~DeviceContext();
  // 1: CreateDC. Texts in cp932; a null text stays null ("DISPLAY", null, null, null is the
  // screen). False when a context is held or the system refuses.
  virtual bool Create(const char* driver, const char* device, const char* output,
                      const DeviceMode* mode);
  // 2: a memory context compatible with `other`'s context (with an empty one: the screen).
  virtual bool CreateCompatible(const DeviceContext& other);
  // 3: a memory context compatible with the screen.
  virtual bool CreateCompatible();
  // 4: CreateIC: an information context (no drawing), texts as for Create.
  virtual bool CreateInformation(const char* driver, const char* device, const char* output,
                                 const DeviceMode* mode);
  // 5: deletes the context if this object created it; the object is empty afterwards.
  virtual void Detach();
  // 6: deletes the context (owned or not); the object is empty afterwards. False when it
  // holds nothing or the system refuses.
  virtual bool Delete();
  // 7: GetDeviceCaps.
  virtual int Capability(int index);
  // 8: SaveDC: the saved state's number, 0 on failure.
  virtual int Save();
  // 9: RestoreDC (a number from Save, or -1 for the last one).
  virtual bool Restore(int saved);
  // 10: ResetDC with a new mode.
  virtual bool Reset(const DeviceMode& mode);
  // 11: selects `object`; the object it replaces comes back, not owned (empty on failure).
  virtual GdiObject Select(const GdiObject& object);
  // 12: the logical height of a font size given in tenths of a point: the device height
  // size * LOGPIXELSY / 720, mapped to logical units ( 120 at 96 dpi in MM_TEXT -> 16 ).
  virtual int LogicalHeight(int tenths_of_point);
  // 13-17: the selected pen, brush, palette, font and bitmap, not owned.
  virtual GdiObject CurrentPen();
  virtual GdiObject CurrentBrush();
  virtual GdiObject CurrentPalette();
  virtual Font CurrentFont();
  virtual GdiObject CurrentBitmap();
  // 18-19: GetTextColor / SetTextColor (which answers the previous colour).
  virtual Colour TextColour();
  virtual Colour SetTextColour(Colour colour);
  // 20: the selected font's metrics.
  virtual bool Metrics(TextMetrics* out);
  // 21: the extent of `count` bytes of `text` (0: the whole text); (0, 0) on failure.
  virtual Size TextExtent(const char* text, int count);
  // 22: draws `count` bytes of `text` (0: the whole text) at (x, y).
  virtual bool TextOut(int x, int y, const char* text, int count);
  // 23: ExtTextOut with options (ETO_CLIPPED, ETO_OPAQUE ...), the rectangle they refer to,
  // `count` bytes of text and, optionally, one advance per byte: a two-byte character
  // advances by the sum of its two entries.
  virtual bool ExtTextOut(int x, int y, unsigned options, const Rect& rect, const char* text,
                          int count, const int* spacing);
  // 24: as 23 with the whole text.
  virtual bool ExtTextOut(int x, int y, unsigned options, const Rect& rect, const char* text,
                          const int* spacing);
  // 25: as 23 without a rectangle.
  virtual bool ExtTextOut(int x, int y, unsigned options, const char* text, int count,
                          const int* spacing);
  // 26: as 25 with the whole text.
  virtual bool ExtTextOut(int x, int y, unsigned options, const char* text,
                          const int* spacing);
  // 27: DrawText of `count` bytes (-1: the whole text) in `rect` with DT_ format flags; the
  // height of the text drawn, 0 on failure. With DT_CALCRECT `rect` receives the extent the
  // text needs. The text itself is never changed (DT_MODIFYSTRING is not passed on).
  virtual int DrawText(const char* text, int count, Rect& rect, unsigned format);
  // 28: as 27 with the whole text.
  virtual int DrawText(const char* text, Rect& rect, unsigned format);
  // 29: lays out `count` bytes of multi-line `text` (0: the whole text; a NUL ends it in any
  // case) in `rect` and draws it, or only measures it with kLayoutMeasure; answers the size
  // the drawing covers (its widest line and the height of its lines), the same whether it
  // draws or measures.
  //   Lines end at "\n" and, with kLayoutWrap, before a character that would make them
  //   wider than `rect` (every line takes at least one character). A line holds at most 1024
  //   bytes; a longer one goes on in the next line.
  //   A tab advances to the next multiple of `tab_size` columns of the line (a column is a
  //   space's width); other bytes below 32 are left out.
  //   `scroll` skips scroll.y lines at the top and scroll.x bytes at the start of every line;
  //   a two-byte character that the skip would cut is skipped whole, and the rest of its line
  //   is drawn one space further right.
  //   Alignment: see LayoutFlags. Each line is drawn with ExtTextOut (24), clipped to `rect`.
  virtual Size LayOut(const char* text, int count, const Rect& rect, Point scroll,
                      int tab_size, unsigned flags);
  // 30: as 29 with the whole text.
  virtual Size LayOut(const char* text, const Rect& rect, Point scroll, int tab_size,
                      unsigned flags);
  // 31: as 30 with tab size 8.
  virtual Size LayOut(const char* text, const Rect& rect, Point scroll, unsigned flags);
  // 32: as 31 without scrolling.
  virtual Size LayOut(const char* text, const Rect& rect, unsigned flags);
  // 33-36: GetBkColor / SetBkColor, GetBkMode / SetBkMode (setters answer the previous value).
  virtual Colour BackgroundColour();
  virtual Colour SetBackgroundColour(Colour colour);
  virtual int BackgroundMode();
  virtual int SetBackgroundMode(int mode);
  // 37: PatBlt with the selected brush.
  virtual bool PatternFill(int x, int y, int width, int height, unsigned raster_operation);
  // 38: BitBlt from `source`.
  virtual bool Copy(int x, int y, int width, int height, const DeviceContext& source,
                    int source_x, int source_y, unsigned raster_operation);
  // 39-40: MoveToEx, optionally answering the previous position.
  virtual bool MoveTo(int x, int y);
  virtual bool MoveTo(int x, int y, Point* previous);
  // 41: a line from (x1, y1) to (x2, y2) (the end point itself is not drawn); nothing when
  // the move fails.
  virtual bool Line(int x1, int y1, int x2, int y2);
  // 42: LineTo.
  virtual bool LineTo(int x, int y);
  // 43-44: a raised frame on every pixel of the rectangle's outline: top and left edges with
  // `light_pen`, right and bottom edges (x + width - 1, y + height - 1, their corner
  // included) with `dark_pen`, which stays selected.
  virtual void EdgeFrame(const Rect& rect, const GdiObject& light_pen,
                         const GdiObject& dark_pen);
  virtual void EdgeFrame(int x, int y, int width, int height, const GdiObject& light_pen,
                         const GdiObject& dark_pen);
  // 45-46: the same outline (top, left, right, bottom) with the selected pen.
  virtual void Frame(const Rect& rect);
  virtual void Frame(int x, int y, int width, int height);

  DcHandle Handle() const { return ref_.Get(); }
  bool Owned() const { return ref_.Owned(); }

 private:
  HandleRef<DcRecord> ref_;
};

}  // namespace QWF

#endif  // FRAMEWORK_DEVICE_CONTEXT_H_
