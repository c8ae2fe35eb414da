// Text in the drawing classes' records and calls: cp932 in the framework, UTF-16 at gdi32.
#ifndef FRAMEWORK_SRC_GDI_TEXT_H_
#define FRAMEWORK_SRC_GDI_TEXT_H_

#include <cstddef>
#include <vector>

#include "framework/drawing_types.h"
#include "framework/win32.h"

namespace QWF {

// A font record with a cp932 face name as the system's wide record, and back. The face name
// is cut to 31 bytes, never inside a two-byte character.
void WidenFontRecord(const FontRecord& record, LOGFONTW* out);
void NarrowFontRecord(const LOGFONTW& wide, FontRecord* out);

// Per-byte advances of `count` bytes of cp932 text as advances per UTF-16 character of its
// `wide_length`-character conversion: a two-byte character advances by the sum of its two
// entries. Empty when the characters do not line up with the conversion.
std::vector<int> WidenSpacing(const char* text, std::size_t count, const int* spacing,
                              std::size_t wide_length);

}  // namespace QWF

#endif  // FRAMEWORK_SRC_GDI_TEXT_H_
