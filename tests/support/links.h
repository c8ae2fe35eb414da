// Making links for tests, which the product never makes: symbolic links,
// directory junctions and hard links, FIFOs, and a file's short (8.3) name.
// Paths are cp932, like everything at the seam. Each returns false when
// the system (or Wine) cannot make the link; the caller then skips.
#ifndef TESTS_SUPPORT_LINKS_H_
#define TESTS_SUPPORT_LINKS_H_

#include <string>

namespace testing_support {

// A symbolic link `link` to the file `target` (which need not exist; a
// relative target is taken from the working directory).
bool MakeFileLink(const std::string& target, const std::string& link);
// A link `link` to the directory `target`: a symbolic link on POSIX, a
// junction on Windows (the kind any user may make there).
bool MakeDirectoryLink(const std::string& target, const std::string& link);
// A second name `link` for the file `existing`.
bool MakeHardLink(const std::string& existing, const std::string& link);
// A FIFO (named pipe) `path` in the file system; POSIX only.
bool MakeFifo(const std::string& path);
// The short (8.3) form of an existing path, or "" where there is none.
std::string ShortPath(const std::string& path);

}  // namespace testing_support

#endif  // TESTS_SUPPORT_LINKS_H_
