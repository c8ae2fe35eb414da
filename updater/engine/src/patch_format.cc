#include "engine/patch_format.h"

#include "engine/little_endian.h"

namespace updater {

bool ReadU32(zorl::KFile& stream, std::uint32_t* value) {
  unsigned char bytes[4];
  if (stream.Read(4, bytes) != 4) return false;
  *value = LoadLe32(bytes);
  return true;
}

bool ReadPatchName(zorl::KFile& stream, char* out) {
  out[0] = '\0';
  std::uint32_t length;
  if (!ReadU32(stream, &length) || length > kMaxPatchNameLength) return false;
  if (length > 0 &&
      stream.Read(length, out) != static_cast<std::int32_t>(length)) {
    out[0] = '\0';
    return false;
  }
  out[length] = '\0';
  return true;
}

}  // namespace updater
