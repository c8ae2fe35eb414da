// What the bytes after a PE image are, where that can be told from the
// headers: a COFF symbol table (a build linked without -s), an
// Authenticode certificate table (a signed file), or a zlib stream (a
// payload appended before).
#ifndef PATCHLIB_PE_OVERLAY_H_
#define PATCHLIB_PE_OVERLAY_H_

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/kfile.h"

namespace patchlib {

struct OverlayParts {
  // The COFF symbol table lies after the image (PointerToSymbolTable).
  bool symbol_table = false;
  std::uint32_t symbols_at = 0, symbol_count = 0;
  std::uint32_t symbols_entry_at = 0;  // file offset of the header's pointer
  // The certificate table (data directory 4, a file offset) lies after it.
  bool certificate = false;
  std::uint32_t certificate_at = 0, certificate_size = 0;
  std::uint32_t certificate_entry_at = 0;  // file offset of the directory entry
  // The first bytes after the image are a zlib header.
  bool zlib_stream = false;
};

// Reads `exe`'s headers (from its start) and the first bytes after
// `image_end`. Fields that cannot be read stay false.
OverlayParts ExamineOverlay(zorl::KFile& exe, std::uint32_t image_end);

// One sentence per part found, for a person who packs a stub ("" parts
// give nothing):
//   "a COFF symbol table (12 symbols) from an unstripped build: link the
//    stub with -s"
//   "a certificate table (1234 bytes): the stub is signed: sign the packed
//    updater instead, after packing"
//   "a zlib stream: a payload packed before (--replace drops it)"
std::vector<std::string> DescribeOverlay(const OverlayParts& parts);

}  // namespace patchlib

#endif  // PATCHLIB_PE_OVERLAY_H_
