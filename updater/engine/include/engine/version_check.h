// The version check: before anything changes, every item the payload's
// manifest records is compared with what the game folder holds now.
#ifndef ENGINE_VERSION_CHECK_H_
#define ENGINE_VERSION_CHECK_H_

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/manifest.h"
#include "engine/resource_archive.h"

namespace updater {

enum class VersionState {
  kBefore,   // every item as the patch expects to find it: apply
  kAfter,    // every item as the patch leaves it: nothing to do
  kNeither,  // another version, a modified file, a half-applied folder
};

// What one item holds now. A file's hash is taken only when its size is
// the size of its before or after state (else it cannot match either).
struct FoundItem {
  const ManifestRecord* record;
  ItemState found;
  bool hashed = false;  // found.hash is valid (kFile only)
  bool other = false;   // neither file nor directory (a device, say), or a
                        // name that does not resolve within 263 bytes
  bool Is(const ItemState& state) const;
  // "absent", "directory", "123 bytes" or "123 bytes, xxh3-128 <hex>".
  std::string Describe() const;
};

struct VersionReport {
  VersionState state = VersionState::kBefore;
  // For kNeither: the items that fit neither state, in manifest order; in a
  // folder where each fits one but not all the same one, those that are
  // not in their before state.
  std::vector<FoundItem> misfits;
  std::vector<FoundItem> found;  // every item, in manifest order
  std::uint64_t items = 0;
  std::uint64_t hashed_bytes = 0;
};

// Compares the manifest's records with `game_dir` (loose files, resolved
// as the commands resolve them) and `archive` (entries, by name key; it
// must be loaded). Reads only. `tick` is called between chunks of hashing
// (it may throw).
VersionReport CheckVersion(const Manifest& manifest, const char* game_dir,
                           ResourceArchive& archive,
                           const std::function<void()>& tick = {});

}  // namespace updater

#endif  // ENGINE_VERSION_CHECK_H_
