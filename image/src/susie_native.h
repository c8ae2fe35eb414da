// Internal: the system half of the plug-in host. The Susie calls with the
// plug-ins' calling convention, and turning a decoded picture (a Windows
// BITMAPINFO and bits in local memory handles) into an image.
// win32/susie_native_win32.cc on Windows; posix/susie_native_posix.cc
// elsewhere, where no plug-in can be loaded.
#ifndef IMAGE_SRC_SUSIE_NATIVE_H_
#define IMAGE_SRC_SUSIE_NATIVE_H_

#include <cstdint>

#include "image/kimage.h"

namespace zorl {
namespace susie_native {

// Whether plug-ins can be loaded at all; false leaves the host empty.
bool Available();

// GetPluginInfo(number, buffer, size) through its address.
int GetPluginInfo(void* function, int number, char* buffer, int size);

// IsSupported(name, head): head is a memory block (the in-memory form).
int IsSupported(void* function, const char* name, const void* head);

// GetPicture on in-memory data, then the picture converted to 24-bit
// top-down B, G, R in `image` (format 3, stride = width x 3 rounded up to
// 4). False when the plug-in fails, the picture cannot be converted or the
// image cannot be created.
bool GetPicture(void* function, const unsigned char* data,
                std::uint32_t length, KImage& image);

}  // namespace susie_native
}  // namespace zorl

#endif  // IMAGE_SRC_SUSIE_NATIVE_H_
