// cp932 paths to the UTF-8 names of a POSIX file system, and back.
#ifndef PLATFORM_POSIX_NATIVE_PATH_H_
#define PLATFORM_POSIX_NATIVE_PATH_H_

#include <string>

namespace platform {

// Turns every separator "\" (never a trail byte) into "/" and converts
// the cp932 text to UTF-8 into `native`. False when the path is not valid
// cp932: the operation on it fails rather than reach another name.
bool NativePath(const char* cp932_path, std::string* native);

// Converts a native UTF-8 name back to cp932 and copies it into `out`
// (`size` bytes, cut to size - 1 and NUL-terminated).
void FromNativeName(const std::string& native, char* out, unsigned size);

}  // namespace platform

#endif  // PLATFORM_POSIX_NATIVE_PATH_H_
