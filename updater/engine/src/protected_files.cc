#include "engine/protected_files.h"

#include "engine/planned_files.h"
#include "foundation/ktext.h"
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

void ProtectedFiles::AddFolder(const char* path, const char* name,
                               const platform::FileIdentity& identity) {
  folders_.push_back({path, name, identity});
}

bool ProtectedFiles::InFolder(const char* path) const {
  for (const Folder& f : folders_)
    if (PathIsInside(path, f.path.c_str(), platform::NamesIgnoreCase())) return true;
  return false;
}

bool ProtectedFiles::MayEnter(const char* path, const char* name) const {
  for (const Folder& f : folders_) {
    // Only a directory of the folder's name can be it: few lookups.
    if (zorl::CompareTextNoCase(name, f.name.c_str(), zorl::kNameBufferSize) != 0)
      continue;
    platform::FileIdentity identity;
    switch (platform::GetPathIdentity(path, false, &identity)) {
      case platform::IdentityLookup::kMissing:
        continue;
      case platform::IdentityLookup::kFailed:
        return false;  // cannot tell: stay out
      case platform::IdentityLookup::kFound:
        if (identity == f.identity) return false;
    }
  }
  return true;
}

bool ProtectedFiles::Reached(const char* path, bool follow_links) const {
  if (InFolder(path)) return true;
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
  if (!folders_.empty() && InFolder(path)) return true;
  for (const File& f : files_)
    if (f.size == size) return Reached(path, false);
  return false;
}

}  // namespace updater
