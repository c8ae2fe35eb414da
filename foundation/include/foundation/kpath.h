// Path join and split on the system's 264-byte buffers.
//
// Both accept "/" and "\" as separators and write "/" only; two-byte
// characters are whole (a trail byte 0x5C is no separator). Results longer
// than 263 characters are cut, never rejected.
//
//   MakePath("data\\", "mareld", "bak")  -> "data/mareld.bak"
//   MakePath("", "readme", "")           -> "readme"
//   SplitPath("a\\b/c.tar.gz")           -> dir "a/b/", base "c.tar", ext "gz"
//   SplitPath("file")                    -> dir "",     base "file",  ext ""
#ifndef FOUNDATION_KPATH_H_
#define FOUNDATION_KPATH_H_

#include "foundation/kref.h"

namespace zorl {

// Joins directory, base name and extension into `out` (264 bytes; may be
// nullptr, then nothing is written). A "/" is added after a directory that
// lacks one, a "." before a non-empty extension. Returns `out`.
char* MakePath(const KRef<char>& dir, const KRef<char>& base,
               const KRef<char>& ext, char* out);

// Splits a path into directory (ending in "/", or empty), base name and
// extension (after the last dot of the file part, without it). Any output
// buffer (264 bytes each) may be nullptr.
void SplitPath(const KRef<char>& path, char* dir, char* base, char* ext);

}  // namespace zorl

#endif  // FOUNDATION_KPATH_H_
