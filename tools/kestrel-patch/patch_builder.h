// PatchBuilder: compares two game directories (each with "mareld.dat" and
// loose files) and writes the command stream that turns the old one into
// the new one, deflated at level 9.
//
// Command order: empty the --clear trees (3); delete loose files only in
// OLD (1); create directories only in NEW (2); write loose files new or
// changed (0); remove archive entries only in OLD (5); put archive entries
// (4), in NEW's order.
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
#include <string>
#include <vector>

#include "engine/manifest.h"
#include "foundation/kfile.h"
#include "patchlib/game_tree.h"

namespace kpatch {

struct BuildOptions {
  std::string old_dir;               // cp932
  std::string new_dir;               // cp932
  // Directories to empty first, relative to the game directory (cp932),
  // read the way the updater reads names: "./cache", "cache/." and
  // "Cache\\" are all the tree "cache", compared without regard to case.
  std::vector<std::string> clear;
  patchlib::WalkOptions walk;        // how OLD and NEW are walked
  bool exact_order = false;          // rebuild NEW's entry order exactly
  // The version manifest after the zlib stream (engine/manifest.h): what
  // every touched file and entry holds before and after. Off: the payload
  // is written exactly as before manifests existed.
  bool manifest = true;
  // Stored in the manifest, UTF-8: version labels (may be empty), the
  // caption and completion text the updater shows (empty: its own), and
  // the language of its messages.
  std::string from_label, to_label, caption, completion_text;
  updater::MessageLanguage language = updater::MessageLanguage::kJapanese;
};

struct BuildSummary {
  std::uint64_t commands[6] = {};
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
