// Copying, comparing and removing whole directory trees through the seam.
#ifndef PATCHLIB_TREE_COPY_H_
#define PATCHLIB_TREE_COPY_H_

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/kfile.h"
#include "patchlib/game_tree.h"

namespace patchlib {

// Copies the file `from` to `to` (created or emptied). False on failure.
bool CopyFile(const std::string& from, const std::string& to);

// Copies the first `size` bytes of `from`, read from its start, to `to` at
// its position. False when `from` holds fewer bytes or a read or write
// fails.
bool CopyStream(zorl::KFile& from, std::uint64_t size, zorl::KFile& to);

// Copies every file and directory below `from` into `to` (which must
// exist), walked as WalkTree does with `options`. False with `error`
// naming the item that failed.
bool CopyTree(const std::string& from, const std::string& to,
              std::string* error, const WalkOptions& options = {});

// Deletes a file the tools made (a link goes as itself, never followed).
// A large file is first cut short in 64 MiB steps: Wine deletes a file's
// blocks in its server, in one step that holds up every program's window
// messages meanwhile (about 0.4 s per GiB). False if it stayed.
bool RemoveMadeFile(const std::string& path);

// Removes `path` and everything below it (files as RemoveMadeFile does). A link anywhere below is removed
// as itself, never followed; when `path` itself is a link, only the link
// goes. False if something stayed.
bool RemoveTree(const std::string& path);

// Compares the trees below `actual` and `expected` (walked with
// `expected_walk`): the same files with the same bytes, and every
// directory of `expected` present. Each mismatch (UTF-8 text naming the
// relative path) goes to `differences`; directories found only in
// `actual` go to `notes`. False when a tree or file could not be read
// (`differences` says which).
bool CompareTrees(const std::string& actual, const std::string& expected,
                  std::vector<std::string>* differences,
                  std::vector<std::string>* notes,
                  const WalkOptions& expected_walk = {});

}  // namespace patchlib

#endif  // PATCHLIB_TREE_COPY_H_
