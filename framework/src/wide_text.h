// Text crossing into the system (user32, gdi32): cp932 in the framework, UTF-16 at the system.
#ifndef FRAMEWORK_SRC_WIDE_TEXT_H_
#define FRAMEWORK_SRC_WIDE_TEXT_H_

#include <string>

#include "foundation/kstring.h"
#include "platform/wide.h"

namespace QWF {

using platform::Widen;

// UTF-16 text of `count` characters to a cp932 string (never cut).
zorl::KString NarrowText(const wchar_t* text, std::size_t count);

}  // namespace QWF

#endif  // FRAMEWORK_SRC_WIDE_TEXT_H_
