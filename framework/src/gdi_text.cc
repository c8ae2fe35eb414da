#include "gdi_text.h"

#include <cstring>

#include "foundation/ktext.h"
#include "platform/text.h"
#include "platform/wide.h"

namespace QWF {

void WidenFontRecord(const FontRecord& record, LOGFONTW* out) {
  static_assert(sizeof(FontRecord) == sizeof(LOGFONTA), "FontRecord is LOGFONTA's layout");
  std::memset(out, 0, sizeof *out);
  out->lfHeight = record.height;
  out->lfWidth = record.width;
  out->lfEscapement = record.escapement;
  out->lfOrientation = record.orientation;
  out->lfWeight = record.weight;
  out->lfItalic = record.italic;
  out->lfUnderline = record.underline;
  out->lfStrikeOut = record.strike_out;
  out->lfCharSet = record.char_set;
  out->lfOutPrecision = record.out_precision;
  out->lfClipPrecision = record.clip_precision;
  out->lfQuality = record.quality;
  out->lfPitchAndFamily = record.pitch_and_family;
  // The record's name need not be terminated: at most 31 bytes of it count.
  char face[sizeof record.face_name];
  platform::CopyCp932(std::string(record.face_name, strnlen(record.face_name,
                                                             sizeof record.face_name)),
                      face, sizeof face);
  std::wstring wide = platform::Widen(face);
  const std::size_t n = wide.size() < LF_FACESIZE - 1 ? wide.size() : LF_FACESIZE - 1;
  std::memcpy(out->lfFaceName, wide.data(), n * sizeof(wchar_t));
  out->lfFaceName[n] = L'\0';
}

void NarrowFontRecord(const LOGFONTW& wide, FontRecord* out) {
  std::memset(out, 0, sizeof *out);
  out->height = wide.lfHeight;
  out->width = wide.lfWidth;
  out->escapement = wide.lfEscapement;
  out->orientation = wide.lfOrientation;
  out->weight = wide.lfWeight;
  out->italic = wide.lfItalic;
  out->underline = wide.lfUnderline;
  out->strike_out = wide.lfStrikeOut;
  out->char_set = wide.lfCharSet;
  out->out_precision = wide.lfOutPrecision;
  out->clip_precision = wide.lfClipPrecision;
  out->quality = wide.lfQuality;
  out->pitch_and_family = wide.lfPitchAndFamily;
  wchar_t face[LF_FACESIZE];
  std::memcpy(face, wide.lfFaceName, sizeof face);
  face[LF_FACESIZE - 1] = L'\0';
  platform::Narrow(face, out->face_name, sizeof out->face_name);
}

std::vector<int> WidenSpacing(const char* text, std::size_t count, const int* spacing,
                              std::size_t wide_length) {
  std::vector<int> out;
  if (!spacing) return out;
  out.reserve(wide_length);
  for (std::size_t i = 0; i < count;) {
    const bool pair = zorl::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < count;
    out.push_back(pair ? spacing[i] + spacing[i + 1] : spacing[i]);
    i += pair ? 2 : 1;
  }
  if (out.size() != wide_length) out.clear();
  return out;
}

}  // namespace QWF
