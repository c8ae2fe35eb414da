// Checking a built payload: apply it with the update engine to a scratch
// copy of OLD and compare the outcome with NEW: loose files byte for byte;
// the archive by entry names and contents, or with exact_order byte for
// byte (entry for entry in NEW's order when NEW's archive is not
// canonical, with a note).
#ifndef TOOLS_KESTREL_PATCH_PATCH_VERIFY_H_
#define TOOLS_KESTREL_PATCH_PATCH_VERIFY_H_

#include <string>
#include <vector>

#include "foundation/kfile.h"
#include "patchlib/game_tree.h"

namespace kpatch {

struct VerifyResult {
  bool applied = false;                  // the engine ran to completion
  std::string engine_message;            // UTF-8, when it did not
  std::vector<std::string> differences;  // UTF-8; empty when identical
  std::vector<std::string> notes;        // UTF-8; not failures
};

// Copies `old_dir` (walked with `walk`) into a new scratch directory
// "kvf*" beside `scratch_near` (a cp932 file path: the scratch goes into
// its directory), puts `payload` (read from its start) behind a minimal
// PE stub, runs the update there and compares the tree with `new_dir`.
// The scratch is removed afterwards, also when tools::StopRequested
// passes through. False with `error` when the scratch cannot be prepared;
// otherwise true with the findings in `result`.
bool VerifyPatch(const std::string& old_dir, const std::string& new_dir,
                 zorl::KFile& payload, const std::string& scratch_near,
                 const patchlib::WalkOptions& walk, bool exact_order,
                 VerifyResult* result, std::string* error);

// The same check of a finished updater (`updater_exe`, cp932, a stub with
// its payload): applied as it stands to a scratch copy of `old_dir` beside
// it, compared with `new_dir`, the scratch removed afterwards.
bool TryUpdater(const std::string& old_dir, const std::string& new_dir,
                const std::string& updater_exe, const patchlib::WalkOptions& walk,
                bool exact_order, VerifyResult* result, std::string* error);

}  // namespace kpatch

#endif  // TOOLS_KESTREL_PATCH_PATCH_VERIFY_H_
