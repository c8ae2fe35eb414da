// The patch payload's command stream, as the updater reads it.
//
// The inflated payload is a flat run of commands, read until its end. All
// integers are 32-bit little-endian. A *name* is a u32 byte count n (0 to
// 262) followed by n bytes of cp932 text without a NUL; paths in names are
// relative to the game directory and use "/" as separator.
//
//   opcode  record after the opcode                       action
//   0       name, u32 size, size bytes of content         write a loose file
//   1       name                                          delete a loose file
//   2       name                                          create a directory tree
//   3       name                                          delete every file in a tree
//   4       name, u32 size, size bytes of content         add or replace an entry
//   5       name                                          remove an archive entry
//   6       name, delta                                   patch a loose file
//   7       name, delta                                   patch an archive entry
//
// Opcode 0's size is signed: 0 or less writes an empty file and no content
// bytes follow. Entry names (opcodes 4, 5, 7) match regardless of ASCII case.
//
// A *delta* (opcodes 6 and 7) rebuilds the new content from the old content
// of the same file or entry, its *reference*:
//   u32 new size N (1 or more), u32 reference size R (1 or more),
//   16 bytes XXH3-128 of the reference (canonical, most significant first),
//   u32 byte count D, then D bytes: ceil(N / 8 MiB) frames in order, each a
//   u32 byte count F and F bytes of one zstd frame (no skippable frame).
// Frame k decodes bytes [k * 8 MiB, min((k + 1) * 8 MiB, N)) of the new
// content, declared in its header, with the reference window of delta_frames.h
// as its raw-content prefix (the whole reference while R is at most 24 MiB).
// The old content must be exactly the reference, an item no earlier command
// of the stream changed; a payload carries deltas only with a version
// manifest, whose "before" state of the item is that reference.
#ifndef ENGINE_PATCH_FORMAT_H_
#define ENGINE_PATCH_FORMAT_H_

#include <cstdint>

#include "foundation/kfile.h"

namespace updater {

enum PatchOpcode : std::uint32_t {
  kOpWriteFile = 0,
  kOpDeleteFile = 1,
  kOpMakeDirectory = 2,
  kOpEmptyDirectoryTree = 3,
  kOpPutEntry = 4,
  kOpRemoveEntry = 5,
  kOpPatchFile = 6,
  kOpPatchEntry = 7,
};
constexpr std::uint32_t kOpcodeCount = 8;
// The commands every payload may carry; the delta commands follow them.
constexpr std::uint32_t kOriginalOpcodeCount = 6;

// Longest name a command may carry (it is kept with its NUL in 264 bytes).
constexpr std::uint32_t kMaxPatchNameLength = 262;

// Reads one little-endian u32 at the stream's position. False (the value
// untouched) when fewer than 4 bytes could be read.
bool ReadU32(zorl::KFile& stream, std::uint32_t* value);

// Reads a name into `out` (264 bytes), NUL-terminated. False when the
// length field or the text is short, or the length is above 262 (which
// includes every length with its top bit set).
bool ReadPatchName(zorl::KFile& stream, char* out);

}  // namespace updater

#endif  // ENGINE_PATCH_FORMAT_H_
