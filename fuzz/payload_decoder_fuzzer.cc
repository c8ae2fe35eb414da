// The producer tools' payload reader (kestrel-patch list, pack's check):
// the input, deflated, must decode to whole commands that account for every
// byte or be refused; the input taken as a zlib stream itself must be
// refused or decoded without harm. Names go through the tools' checks.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "patchlib/command_decoder.h"
#include "patchlib/entry_name.h"

namespace {

// Decodes `bytes` as a payload; returns whether it decoded and how many
// inflated bytes were consumed.
bool Decode(const std::string& bytes, std::uint64_t* consumed) {
  zorl::KFile file;
  if (bytes.empty() ||
      !file.OpenMemory("fuzz", static_cast<std::uint32_t>(bytes.size()),
                       zorl::KMEM_READ | zorl::KMEM_WRITE) ||
      file.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size())) !=
          static_cast<std::int32_t>(bytes.size()) ||
      !file.Seek(zorl::KSEEK_BEGIN, 0))
    return false;
  patchlib::InflateReader reader(file);
  std::string error;
  const bool ok = patchlib::DecodeCommands(
      reader,
      [](const patchlib::DecodedCommand& c) {
        std::string why;
        patchlib::SafeRelativePath(c.name, &why);
        patchlib::ResolvesInsideGame(c.name);
        if (c.name.size() > 262) __builtin_trap();
      },
      &error);
  if (!ok && error.empty()) __builtin_trap();  // every refusal says why
  *consumed = reader.position();
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 16)) return 0;
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<unsigned char> packed(compressBound(size) + 16);
  uLongf packed_size = packed.size();
  if (compress2(packed.data(), &packed_size, data, size, 1) != Z_OK) return 0;
  std::uint64_t consumed = 0;
  if (Decode(std::string(reinterpret_cast<char*>(packed.data()), packed_size),
             &consumed) &&
      consumed != size)
    __builtin_trap();  // a clean decode covers the whole stream
  Decode(input, &consumed);
  return 0;
}
