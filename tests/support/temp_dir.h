// A scratch directory for one test, made and removed through the platform
// seam so the same test runs natively and under Wine.
#ifndef TESTS_SUPPORT_TEMP_DIR_H_
#define TESTS_SUPPORT_TEMP_DIR_H_

#include <string>
#include <vector>

namespace testing_support {

class TempDir {
 public:
  // Creates "<cwd>/kt-<tag>-<n>" with a fresh n.
  explicit TempDir(const std::string& tag);
  // Removes the directory and everything below it.
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string operator/(const std::string& name) const;

 private:
  std::string path_;
};

// Writes `bytes` to `path` (cp932), replacing it. False on failure.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// Reads the whole file; false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string* bytes);
// Removes a file or a whole directory tree. False if something stayed.
bool RemoveTree(const std::string& path);
// The names in a directory, "." and ".." left out, sorted.
std::vector<std::string> ListDirectory(const std::string& path);

}  // namespace testing_support

#endif  // TESTS_SUPPORT_TEMP_DIR_H_
