// WriteProof: what the run writes for a recorded item is hashed as it is
// written and compared with the manifest's "after" state before the run
// commits, so a result that is not the one the maker built is undone
// instead of kept. Nothing is read back.
#ifndef ENGINE_WRITE_PROOF_H_
#define ENGINE_WRITE_PROOF_H_

#include <cstdint>
#include <string>
#include <unordered_map>

#include "engine/content_hash.h"
#include "engine/manifest.h"

namespace updater {

class WriteProof {
 public:
  // Keeps the records of `manifest` (which must outlive the proof).
  explicit WriteProof(const Manifest& manifest);

  // A loose file the run has just written whole, by the name its command
  // carries. True when no record names it or it is what the record says.
  bool LooseFileWritten(const char* name, std::uint64_t size, const ContentHash& hash);

  // Entries of the rebuilt archive: each one as it is saved, by its
  // (lowered) name. Call Entry when an entry begins, Content for its bytes,
  // and EntriesDone after the last: true when every recorded entry that
  // must be there was written with its recorded content and none that must
  // be gone was.
  void Entry(const char* lowered_name);
  void Content(const void* data, std::uint32_t size);
  bool EntriesDone();

  // The first item found wrong (cp932, as the manifest names it); "" while
  // none was.
  const std::string& failed() const { return failed_; }

 private:
  bool Fail(const std::string& name);
  void EndEntry();

  std::unordered_map<std::string, const ManifestRecord*> files_, entries_;  // by name, by key
  std::unordered_map<std::string, bool> seen_;  // recorded entries written
  const ManifestRecord* current_ = nullptr;     // the entry being hashed
  ContentHasher hasher_;
  std::string failed_;
};

}  // namespace updater

#endif  // ENGINE_WRITE_PROOF_H_
