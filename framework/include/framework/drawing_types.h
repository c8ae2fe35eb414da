// Handles, values and records of the drawing classes (device contexts, GDI objects, fonts),
// named like types.h does: the incomplete structs <windows.h> uses, and records laid out as
// the system's, so the framework's headers never need the system header.
#ifndef FRAMEWORK_DRAWING_TYPES_H_
#define FRAMEWORK_DRAWING_TYPES_H_

#include <cstdint>

#include "framework/types.h"

struct HDC__;
struct HFONT__;
struct _devicemodeW;

namespace QWF {

using DcHandle = HDC__*;
using FontHandle = HFONT__*;
// Any GDI object: pen, brush, font, bitmap, palette, region (HGDIOBJ).
using GdiHandle = void*;
// A colour 0x00BBGGRR (COLORREF).
using Colour = std::uint32_t;
// A display or printer mode (DEVMODEW). Its texts cross in UTF-16, as every text the
// framework hands to the system.
using DeviceMode = _devicemodeW;

// The system's logical font record (LOGFONTA, 60 bytes). The face name is cp932.
struct FontRecord {
  std::int32_t height;
  std::int32_t width;
  std::int32_t escapement;
  std::int32_t orientation;
  std::int32_t weight;
  std::uint8_t italic;
  std::uint8_t underline;
  std::uint8_t strike_out;
  std::uint8_t char_set;
  std::uint8_t out_precision;
  std::uint8_t clip_precision;
  std::uint8_t quality;
  std::uint8_t pitch_and_family;
  char face_name[32];
};

// The system's text metrics (TEXTMETRICW): the four characters are UTF-16, so they do not
// depend on the system code page.
struct TextMetrics {
  std::int32_t height;
  std::int32_t ascent;
  std::int32_t descent;
  std::int32_t internal_leading;
  std::int32_t external_leading;
  std::int32_t ave_char_width;
  std::int32_t max_char_width;
  std::int32_t weight;
  std::int32_t overhang;
  std::int32_t digitized_aspect_x;
  std::int32_t digitized_aspect_y;
  wchar_t first_char;
  wchar_t last_char;
  wchar_t default_char;
  wchar_t break_char;
  std::uint8_t italic;
  std::uint8_t underlined;
  std::uint8_t struck_out;
  std::uint8_t pitch_and_family;
  std::uint8_t char_set;
};

// Flags of DeviceContext::LayOut.
enum LayoutFlags : unsigned {
  kLayoutMeasure = 0x1,          // measure only: nothing is drawn
  kLayoutRight = 0x4,            // right-align lines that fit the width
  kLayoutCentre = 0x8,           // centre lines (where kLayoutRight / kLayoutRightOverlong do not)
  kLayoutBottom = 0x20,          // bottom-align a text that fits the height
  kLayoutMiddle = 0x40,          // centre a text that fits the height vertically
  kLayoutRightOverlong = 0x80,   // right-align lines wider than the rectangle (their end shows)
  kLayoutBottomOverlong = 0x100, // bottom-align a text taller than the rectangle (its end shows)
  kLayoutWrap = 0x200,           // a line also ends before a character that would overflow it
};

}  // namespace QWF

#endif  // FRAMEWORK_DRAWING_TYPES_H_
