#include "engine/loose_files.h"

namespace updater {

platform::PathKind DiskLooseFiles::Kind(const char* path) {
  if (platform::IsLink(path)) return platform::PathKind::kFile;
  return platform::GetPathKind(path);
}

bool DiskLooseFiles::Walk(const char* path, const std::function<void()>& pump,
                          const std::function<bool(const TreeFile&)>& visit,
                          std::string* failed) {
  const ProtectedFiles* protect = protect_;
  return WalkTree(path, pump, visit, failed,
                  [protect](const char* dir, const char* name) {
                    return !protect || protect->MayEnter(dir, name);
                  });
}

bool DiskLooseFiles::WriteReaches(const char* path) {
  return protect_ && protect_->ReachedByWrite(path);
}

bool DiskLooseFiles::DeleteReaches(const char* path) {
  return protect_ && protect_->ReachedByDelete(path);
}

bool DiskLooseFiles::DeleteReaches(const TreeFile& file) {
  return protect_ && !file.is_link &&
         protect_->ReachedByDelete(file.path, file.size);
}

bool DiskLooseFiles::NamesIgnoreCase() { return platform::NamesIgnoreCase(); }

}  // namespace updater
