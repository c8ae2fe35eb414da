// Font: a GDI font. Face names are cp932; they reach the system in UTF-16 through code page
// 932, so a Japanese face name is found whatever the system code page is.
//
//   QWF::Font font;
//   font.CreateFixed(-16, 400, "IPAGothic");   // Shift-JIS, fixed pitch
//   QWF::GdiObject previous = dc.Select(font);
#ifndef FRAMEWORK_FONT_H_
#define FRAMEWORK_FONT_H_

#include "framework/drawing_types.h"
#include "framework/gdi_object.h"
#include "framework/no_win32_macros.h"

namespace QWF {

class Font : public GdiObject {
 public:
  Font() = default;
  // Wraps a font someone else owns; never deletes it.
  explicit Font(FontHandle handle);
  // Shares the other's font without owning it.
  Font(const Font& other);
  Font& operator=(const Font&) = delete;
  ~Font() override;

  // 6: creates the font `record` describes (CreateFontIndirect). False when an object is held
  // or the system refuses.
  virtual bool Create(const FontRecord& record);
  // 7: creates a font from the record's fourteen values. The face name is cut to 31 bytes,
  // never inside a two-byte character (null: no face name).
  virtual bool Create(int height, int width, int escapement, int orientation, int weight,
                      bool italic, bool underline, bool strike_out, unsigned char_set,
                      unsigned out_precision, unsigned clip_precision, unsigned quality,
                      unsigned pitch_and_family, const char* face_name);
  // 8: a fixed-pitch Shift-JIS font: character set 128 (SHIFTJIS_CHARSET), pitch and family
  // 49 (FIXED_PITCH | FF_MODERN), every other value 0.
  virtual bool CreateFixed(int height, int weight, const char* face_name);
  // 9: a proportional Shift-JIS font: character set 128, pitch and family 2
  // (VARIABLE_PITCH), every other value 0.
  virtual bool CreateProportional(int height, int weight, const char* face_name);
  // 10: the font's record, face name in cp932. False when none is held.
  virtual bool Record(FontRecord* out);

  FontHandle Handle() const { return static_cast<FontHandle>(GdiObject::Handle()); }
};

}  // namespace QWF

#endif  // FRAMEWORK_FONT_H_
