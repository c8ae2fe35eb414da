// PatchBuilder: compares two game directories (each with "mareld.dat" and
// loose files) and writes the command stream that turns the old one into
// the new one, deflated at level 9.
//
// Command order: empty the --clear trees (3); delete loose files only in
// OLD (1); create directories only in NEW (2); write loose files new or
// changed (0, or 6 as a delta); remove archive entries only in OLD (5); put
// archive entries (4, or 7 as a delta), in NEW's order.
//
// Deltas (only with a manifest, which proves their reference): a changed
// file or entry whose old content is in OLD under the same name goes as a
// zstd delta against that content when the delta is at most 90 % of the
// item deflated whole. Items whose old or new content passes
// kMaxDeltaItemBytes go whole: the build holds both in memory.
//
// Archive entries, by default: only the new and changed entries are put.
// The game reads entries by name, so the patched archive holds exactly
// NEW's names and contents; its order is OLD's with the put entries at
// the end. With exact_order: from the first entry where NEW's order or
// content departs from OLD's, every later entry of NEW is put again, so
// the rebuilt archive lists them exactly in NEW's order (and, when NEW's
// archive is canonical, is byte-identical to it).
#ifndef TOOLS_KESTREL_PATCH_PATCH_BUILDER_H_
#define TOOLS_KESTREL_PATCH_PATCH_BUILDER_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/manifest.h"
#include "engine/patch_format.h"
#include "foundation/kfile.h"
#include "patchlib/game_tree.h"

namespace kpatch {

// The largest old or new content made into a delta (256 MiB).
constexpr std::uint32_t kMaxDeltaItemBytes = 256u << 20;

struct BuildOptions {
  std::string old_dir;               // cp932
  std::string new_dir;               // cp932
  // Directories to empty first, relative to the game directory (cp932),
  // read the way the updater reads names: "./cache", "cache/." and
  // "Cache\\" are all the tree "cache", compared without regard to case.
  std::vector<std::string> clear;
  patchlib::WalkOptions walk;        // how OLD and NEW are walked
  bool exact_order = false;          // rebuild NEW's entry order exactly
  // Threads that compress the payload: 1 is one deflate run; more cut it
  // into blocks compressed side by side (patchlib/parallel_deflate.h).
  unsigned jobs = 1;
  // The version manifest after the zlib stream (engine/manifest.h): what
  // every touched file and entry holds before and after. Off: the payload
  // is written exactly as before manifests existed.
  bool manifest = true;
  // Changed items may go as deltas (with a manifest only). Off: the six
  // original commands only.
  bool delta = true;
  // Stored in the manifest, UTF-8: version labels (may be empty), the
  // caption and completion text the updater shows (empty: its own), and
  // the language of its messages.
  std::string from_label, to_label, caption, completion_text;
  updater::MessageLanguage language = updater::MessageLanguage::kJapanese;
  // For a window that shows the work: bytes compared or packed so far of
  // all there are to read, and each archive entry carried (its cp932 name)
  // with why ("new", "changed", "unchanged, put again for NEW's order").
  // Either may be empty; both are called on the building thread.
  std::function<void(std::uint64_t done, std::uint64_t total)> progress;
  std::function<void(const std::string& entry, const char* why)> carried;
};

// An item that went as a delta, with the bytes it would have taken whole.
struct DeltaItem {
  std::string name;  // the path or entry name as carried
  bool entry = false;
  std::uint64_t size = 0;           // the new content
  std::uint64_t whole_deflated = 0;  // that content deflated alone
  // The build stops deflating once the delta clearly pays: whole_deflated
  // is then only what came out so far.
  bool whole_at_least = false;
  std::uint64_t delta = 0;  // the delta record's head and frames
};

struct BuildSummary {
  std::uint64_t commands[updater::kOpcodeCount] = {};
  std::vector<DeltaItem> deltas;
  std::uint64_t compared_bytes = 0;  // bytes of NEW compared with OLD
  std::uint64_t files_compared = 0;    // loose files of equal size compared
  std::uint64_t entries_compared = 0;  // entries of equal size compared
  std::uint64_t raw_bytes = 0;       // command stream before compression
  std::uint64_t compressed_bytes = 0;
  // NEW's archive entries by what they are to OLD's, and OLD's removed.
  std::uint32_t entries_new = 0, entries_changed = 0, entries_unchanged = 0;
  std::uint32_t entries_removed = 0;
  std::uint32_t entries_reput = 0;  // unchanged, put again for the order
  bool manifest = false;             // a manifest was written
  std::uint64_t manifest_records = 0, manifest_bytes = 0;
};

// Writes the payload at `out`'s position. False with `error` (one line,
// UTF-8, naming the file or entry) on: a missing directory or archive, an
// unreadable file, a corrupt archive, a name longer than the format allows
// (262 bytes) or one that would resolve outside the game directory, a
// --clear directory outside it, a tree WalkTree refuses (links, devices,
// names Windows cannot hold or keep apart), a directory in OLD that is a
// file in NEW (no command removes directories), a manifest text that is
// not UTF-8 or passes 4096 bytes, or a write failure.
bool BuildPatch(const BuildOptions& options, zorl::KFile& out,
                BuildSummary* summary, std::string* error);

}  // namespace kpatch

#endif  // TOOLS_KESTREL_PATCH_PATCH_BUILDER_H_
