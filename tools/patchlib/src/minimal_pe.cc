#include "patchlib/minimal_pe.h"

#include <cstdint>

namespace patchlib {
namespace {
void Put16(std::string& s, std::size_t at, std::uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  Put16(s, at, v & 0xFFFF);
  Put16(s, at + 2, v >> 16);
}
}  // namespace

std::string MinimalPe() {
  std::string pe(1024, '\0');
  pe[0] = 'M';
  pe[1] = 'Z';
  Put32(pe, 60, 64);            // offset of the PE header
  pe.replace(64, 4, "PE\0\0", 4);
  Put16(pe, 68, 0x8664);        // machine: x86-64
  Put16(pe, 70, 1);             // one section
  Put16(pe, 84, 0);             // no optional header
  pe.replace(88, 6, ".data\0", 6);  // section header at 68 + 20
  Put32(pe, 88 + 16, 512);      // size of raw data
  Put32(pe, 88 + 20, 512);      // pointer to raw data
  return pe;
}

}  // namespace patchlib
