// The archive loader on arbitrary bytes, then the editing operations and a
// save of whatever loaded, all on memory streams.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/resource_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0 || size > (1u << 20)) return 0;
  zorl::KFile stream;
  if (!stream.OpenMemory("fuzz.dat", static_cast<std::uint32_t>(size),
                         zorl::KMEM_READ | zorl::KMEM_WRITE))
    return 0;
  stream.Write(data, static_cast<std::uint32_t>(size));
  updater::ResourceArchive archive;
  if (!archive.Load(stream)) return 0;

  // Every entry is findable by its own name; removing and re-adding the
  // first moves it to the end.
  const std::uint32_t count = archive.Count();
  for (std::uint32_t i = 0; i < count; ++i) {
    auto entry = archive.EntryAt(i);
    if (!entry || !archive.Find(entry->name)) __builtin_trap();
  }
  if (count > 0) {
    std::string first = archive.EntryAt(0)->name;
    if (!archive.Remove(first.c_str())) __builtin_trap();
    if (!archive.Add(first.c_str(), stream)) __builtin_trap();
  }
  zorl::KFile out;
  if (out.OpenMemory("out.dat", 1u << 20, zorl::KMEM_READ | zorl::KMEM_WRITE)) {
    std::int64_t last = -1;
    archive.Save(out, [&last](std::int64_t done, std::int64_t total) {
      if (done < last || done > total) __builtin_trap();
      last = done;
    });
  }
  archive.Close();
  return 0;
}
