// The smallest PE image the payload locator accepts: DOS header, "PE\0\0",
// a file header with one section and no optional header, and that
// section's 512 bytes of raw data. It is not runnable; it serves as a stub
// for checking payloads (build --verify) and in tests.
#ifndef PATCHLIB_MINIMAL_PE_H_
#define PATCHLIB_MINIMAL_PE_H_

#include <string>

namespace patchlib {

// 1024 bytes; the image (and any overlay) ends at offset 1024.
std::string MinimalPe();

}  // namespace patchlib

#endif  // PATCHLIB_MINIMAL_PE_H_
