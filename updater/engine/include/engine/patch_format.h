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
//
// Opcode 0's size is signed: 0 or less writes an empty file and no content
// bytes follow. Entry names (opcodes 4, 5) match regardless of ASCII case.
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
};
constexpr std::uint32_t kOpcodeCount = 6;

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
