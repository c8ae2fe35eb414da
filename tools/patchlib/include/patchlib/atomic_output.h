// AtomicOutput: an output file that appears under its name complete or not
// at all. Bytes go to a temporary file beside the target; Commit flushes it
// and moves it over the target in one atomic replace.
#ifndef PATCHLIB_ATOMIC_OUTPUT_H_
#define PATCHLIB_ATOMIC_OUTPUT_H_

#include <string>

#include "foundation/kfile.h"

namespace patchlib {

class AtomicOutput {
 public:
  AtomicOutput() = default;
  // Deletes the temporary file unless Commit succeeded.
  ~AtomicOutput();
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;

  // Creates an empty temporary file in the directory of `path` (cp932) and
  // opens file() on it for reading and writing. False when it cannot be
  // created; the target is untouched.
  bool Open(const std::string& path);
  zorl::KFile& file() { return file_; }
  const std::string& temp_path() const { return temp_; }

  // Flushes and closes the file, then replaces the target with it. False
  // on any failure: the temporary file is deleted and the target untouched.
  bool Commit();
  // Closes and deletes the temporary file (nothing happens to the target).
  void Abandon();

 private:
  std::string target_;
  std::string temp_;
  zorl::KFile file_;
};

// The directory part of a cp932 path ("." when it has none); a trail byte
// 0x5C is no separator.
std::string DirectoryOf(const std::string& path);

}  // namespace patchlib

#endif  // PATCHLIB_ATOMIC_OUTPUT_H_
