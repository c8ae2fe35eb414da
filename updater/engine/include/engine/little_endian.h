// Little-endian integers in byte buffers: how every integer of the archive,
// the command stream and PE headers is stored.
//   LoadLe32("\x01\x02\x03\x04") -> 0x04030201
#ifndef ENGINE_LITTLE_ENDIAN_H_
#define ENGINE_LITTLE_ENDIAN_H_

#include <cstdint>

namespace updater {

inline std::uint16_t LoadLe16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline std::uint32_t LoadLe32(const unsigned char* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
         std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

inline void StoreLe32(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

}  // namespace updater

#endif  // ENGINE_LITTLE_ENDIAN_H_
