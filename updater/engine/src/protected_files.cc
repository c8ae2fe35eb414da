#include "engine/protected_files.h"

#include "platform/filesystem.h"

namespace updater {

bool ProtectedFiles::Add(const zorl::KFile& file, std::uint64_t file_size) {
  platform::FileIdentity identity;
  if (!file.GetIdentity(&identity)) return false;
  Add(identity, file_size);
  return true;
}

void ProtectedFiles::Add(const platform::FileIdentity& identity,
                         std::uint64_t file_size) {
  files_.push_back({identity, file_size});
}

bool ProtectedFiles::Reached(const char* path, bool follow_links) const {
  if (files_.empty()) return false;
  platform::FileIdentity identity;
  switch (platform::GetPathIdentity(path, follow_links, &identity)) {
    case platform::IdentityLookup::kMissing:
      return false;
    case platform::IdentityLookup::kFailed:
      return true;
    case platform::IdentityLookup::kFound:
      break;
  }
  for (const File& f : files_)
    if (f.identity == identity) return true;
  return false;
}

bool ProtectedFiles::ReachedByWrite(const char* path) const {
  return Reached(path, true);
}

bool ProtectedFiles::ReachedByDelete(const char* path) const {
  return Reached(path, false);
}

bool ProtectedFiles::ReachedByDelete(const char* path,
                                     std::uint64_t size) const {
  for (const File& f : files_)
    if (f.size == size) return Reached(path, false);
  return false;
}

}  // namespace updater
