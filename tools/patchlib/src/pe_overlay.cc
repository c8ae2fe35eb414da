#include "patchlib/pe_overlay.h"

#include "engine/little_endian.h"

namespace patchlib {
namespace {

using updater::LoadLe16;
using updater::LoadLe32;

bool ReadAt(zorl::KFile& f, std::uint32_t at, std::uint32_t n, unsigned char* out) {
  return f.Seek(zorl::KSEEK_BEGIN, static_cast<std::int32_t>(at)) &&
         f.Read(n, out) == static_cast<std::int32_t>(n);
}

}  // namespace

OverlayParts ExamineOverlay(zorl::KFile& exe, std::uint32_t image_end) {
  OverlayParts parts;
  unsigned char dos[64], head[24];
  if (!ReadAt(exe, 0, sizeof dos, dos)) return parts;
  const std::uint32_t pe = LoadLe32(dos + 60);
  if (!ReadAt(exe, pe, sizeof head, head)) return parts;
  // head: "PE\0\0", then the file header (20 bytes).
  const std::uint32_t symbols_at = LoadLe32(head + 4 + 8);
  const std::uint32_t symbols = LoadLe32(head + 4 + 12);
  if (symbols_at >= image_end && symbols > 0) {
    parts.symbol_table = true;
    parts.symbols_at = symbols_at;
    parts.symbol_count = symbols;
    parts.symbols_entry_at = pe + 4 + 8;
  }
  const std::uint32_t optional_size = LoadLe16(head + 4 + 16);
  const std::uint32_t optional_at = pe + 24;
  unsigned char magic[2];
  if (optional_size >= 2 && ReadAt(exe, optional_at, 2, magic)) {
    // The data directories: after 96 bytes in PE32, 112 in PE32+; the
    // certificate table is the fifth, and its address is a file offset.
    const std::uint32_t directories = LoadLe16(magic) == 0x20B ? 112 : 96;
    const std::uint32_t count_at = directories - 4, entry_at = directories + 4 * 8;
    unsigned char count[4], entry[8];
    if (entry_at + 8 <= optional_size && ReadAt(exe, optional_at + count_at, 4, count) &&
        LoadLe32(count) > 4 && ReadAt(exe, optional_at + entry_at, 8, entry) &&
        LoadLe32(entry) >= image_end && LoadLe32(entry + 4) > 0) {
      parts.certificate = true;
      parts.certificate_at = LoadLe32(entry);
      parts.certificate_size = LoadLe32(entry + 4);
      parts.certificate_entry_at = optional_at + entry_at;
    }
  }
  unsigned char z[2];
  if (ReadAt(exe, image_end, 2, z) && (z[0] & 0x0F) == 8 && (z[0] >> 4) <= 7 &&
      (z[0] * 256u + z[1]) % 31 == 0)
    parts.zlib_stream = true;
  return parts;
}

std::vector<std::string> DescribeOverlay(const OverlayParts& parts) {
  std::vector<std::string> lines;
  if (parts.symbol_table)
    lines.push_back("a COFF symbol table (" + std::to_string(parts.symbol_count) +
                    " symbols at byte " + std::to_string(parts.symbols_at) +
                    ") from an unstripped build: link the stub with -s");
  if (parts.certificate)
    lines.push_back("a certificate table (" + std::to_string(parts.certificate_size) +
                    " bytes at byte " + std::to_string(parts.certificate_at) +
                    "): the stub is signed: sign the packed updater instead, after "
                    "packing");
  if (parts.zlib_stream && !parts.symbol_table)
    lines.push_back("a zlib stream: a payload packed before (--replace drops it)");
  return lines;
}

}  // namespace patchlib
