// LooseFiles: what the check before the first change asks of the game
// directory, read-only. The run's view is the disk through the platform
// seam; tests and the fuzz target give a made-up directory instead.
#ifndef ENGINE_LOOSE_FILES_H_
#define ENGINE_LOOSE_FILES_H_

#include <cstdint>
#include <functional>
#include <string>

#include "engine/directory_tree.h"
#include "engine/protected_files.h"
#include "platform/filesystem.h"

namespace updater {

class LooseFiles {
 public:
  virtual ~LooseFiles() = default;
  // What `path` names now, as deleting it would see it: kFile for a file
  // or a link of any kind (deleting removes the link), kDirectory, kNone.
  virtual platform::PathKind Kind(const char* path) = 0;
  // Walks the tree below `path` as WalkTree does.
  virtual bool Walk(const char* path, const std::function<void()>& pump,
                    const std::function<bool(const TreeFile&)>& visit,
                    std::string* failed) = 0;
  // Whether writing to, or deleting, `path` would reach a file the run
  // must not touch (ProtectedFiles).
  virtual bool WriteReaches(const char* path) = 0;
  virtual bool DeleteReaches(const char* path) = 0;
  virtual bool DeleteReaches(const TreeFile& file) = 0;
  // Whether names compare the Windows way (platform::NamesIgnoreCase).
  virtual bool NamesIgnoreCase() = 0;
};

// The game directory on disk; `protect` (may be null) names the run's own
// files.
class DiskLooseFiles : public LooseFiles {
 public:
  explicit DiskLooseFiles(const ProtectedFiles* protect) : protect_(protect) {}
  platform::PathKind Kind(const char* path) override;
  bool Walk(const char* path, const std::function<void()>& pump,
            const std::function<bool(const TreeFile&)>& visit,
            std::string* failed) override;
  bool WriteReaches(const char* path) override;
  bool DeleteReaches(const char* path) override;
  bool DeleteReaches(const TreeFile& file) override;
  bool NamesIgnoreCase() override;

 private:
  const ProtectedFiles* protect_;
};

}  // namespace updater

#endif  // ENGINE_LOOSE_FILES_H_
