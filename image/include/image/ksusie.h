// The host for Susie image plug-ins: "*.spi" DLLs beside the executable
// that decode pictures the library's own readers do not know.
//
// Start-up searches the executable's own directory (not recursively) and
// keeps, in the order the directory search returns them, every plug-in
// whose GetPluginInfo(0) is exactly "00IN" and that exports IsSupported,
// GetPictureInfo and GetPicture; each refusal is logged as one line of the
// debug log. The Windows tree is x86_64, so the plug-ins it loads are
// 64-bit DLLs. Builds for other systems have no plug-ins: the host stays
// empty and decoding through it fails.
#ifndef IMAGE_KSUSIE_H_
#define IMAGE_KSUSIE_H_

#include <cstdint>

#include "foundation/kfile.h"
#include "image/kimage.h"

namespace zorl {

// Finds, validates and registers the plug-ins. Never fails as a whole: without plug-ins the
// registry simply stays empty. Call once at program start-up.
void KSusieInit();

// Unloads every registered plug-in and empties the registry. Call once at program end.
void KSusieFree();

// The number of registered plug-ins.
std::uint32_t KSusiePluginCount();

// Decodes `stream` through the first plug-in that accepts it: the whole
// stream is read and each plug-in's IsSupported sees its first 4096 bytes
// (zero-padded when shorter), then, if it declines, the 4096 bytes from
// byte 128 on (a plug-in accepting that gets the data without its first 128
// bytes; data shorter than 128 bytes is passed whole).
// Fills `image` with the picture as top-down B, G, R (format 3, rows padded
// to 4 bytes). False when no plug-in accepts or decodes the data or the
// image cannot be created; throws KExceptFile only when the stream cannot
// be rewound.
bool KSusieDecode(KImage& image, KFile& stream);

}  // namespace zorl

#endif  // IMAGE_KSUSIE_H_
