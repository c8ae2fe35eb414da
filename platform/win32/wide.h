// The seam's own use of the cp932 <-> UTF-16 conversions, which it also
// publishes to Windows code above it.
#ifndef PLATFORM_WIN32_WIDE_H_
#define PLATFORM_WIN32_WIDE_H_

#include "platform/wide.h"

#endif  // PLATFORM_WIN32_WIDE_H_
