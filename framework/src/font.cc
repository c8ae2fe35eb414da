#include "framework/win32.h"

#include <cstring>

#include "framework/font.h"
#include "gdi_text.h"
#include "platform/text.h"

namespace QWF {

namespace {
constexpr unsigned kShiftJisCharset = 128;     // SHIFTJIS_CHARSET
constexpr unsigned kFixedModern = 49;          // FIXED_PITCH | FF_MODERN
constexpr unsigned kVariablePitch = 2;         // VARIABLE_PITCH
}  // namespace

Font::Font(FontHandle handle) : GdiObject(handle) {}

Font::Font(const Font& other) : GdiObject(other) {}

Font::~Font() = default;

bool Font::Create(const FontRecord& record) {
  if (Holds()) return false;
  LOGFONTW wide;
  WidenFontRecord(record, &wide);
  return Adopt(CreateFontIndirectW(&wide));
}

bool Font::Create(int height, int width, int escapement, int orientation, int weight,
                  bool italic, bool underline, bool strike_out, unsigned char_set,
                  unsigned out_precision, unsigned clip_precision, unsigned quality,
                  unsigned pitch_and_family, const char* face_name) {
  FontRecord record;
  std::memset(&record, 0, sizeof record);
  record.height = height;
  record.width = width;
  record.escapement = escapement;
  record.orientation = orientation;
  record.weight = weight;
  record.italic = italic ? 1 : 0;
  record.underline = underline ? 1 : 0;
  record.strike_out = strike_out ? 1 : 0;
  record.char_set = static_cast<std::uint8_t>(char_set);
  record.out_precision = static_cast<std::uint8_t>(out_precision);
  record.clip_precision = static_cast<std::uint8_t>(clip_precision);
  record.quality = static_cast<std::uint8_t>(quality);
  record.pitch_and_family = static_cast<std::uint8_t>(pitch_and_family);
  // 31 bytes at most, never half a two-byte character.
  if (face_name) platform::CopyCp932(face_name, record.face_name, sizeof record.face_name);
  return Create(record);
}

bool Font::CreateFixed(int height, int weight, const char* face_name) {
  return Create(height, 0, 0, 0, weight, false, false, false, kShiftJisCharset, 0, 0, 0,
                kFixedModern, face_name);
}

bool Font::CreateProportional(int height, int weight, const char* face_name) {
  return Create(height, 0, 0, 0, weight, false, false, false, kShiftJisCharset, 0, 0, 0,
                kVariablePitch, face_name);
}

bool Font::Record(FontRecord* out) {
  return Description(static_cast<int>(sizeof *out), out) == static_cast<int>(sizeof *out);
}

}  // namespace QWF
