#include "image/ksusie.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/klist.h"
#include "foundation/kpath.h"
#include "image_io.h"
#include "platform/filesystem.h"
#include "platform/module.h"
#include "platform/process.h"
#include "susie_native.h"

namespace zorl {

namespace {

// IsSupported always sees at least this many readable bytes.
constexpr std::uint32_t kHeadSize = 4096;
// The second try skips a header of this many bytes in front of the picture.
constexpr std::uint32_t kSkippedHeader = 128;
// Data shorter than this is handed over zero-padded to this size, so that
// the second try, too, sees kHeadSize readable bytes.
constexpr std::uint32_t kPaddedSize = kHeadSize + kSkippedHeader;

struct SusiePlugin {
  platform::ModuleHandle module;
  void* is_supported;
  void* get_picture_info;
  void* get_picture;
};

// The registry, in the order the plug-ins were accepted. Never destroyed:
// KSusieFree empties it, and it may be asked after other statics are gone.
KList<SusiePlugin>& Registry() {
  static KList<SusiePlugin>* registry = new KList<SusiePlugin>();
  return *registry;
}

// Loads, validates and registers the plug-in at `path`.
void TryPlugin(const char* path) {
  platform::ModuleHandle module = platform::LoadModule(path);
  if (!module) return;  // not a DLL we can load: skipped silently
  void* get_plugin_info = platform::GetModuleSymbol(module, "GetPluginInfo");
  if (!get_plugin_info) {
    image_io::LogNamed("[_KSusieInit] can't get \"GetPluginInfo\" in \"", path,
                       "\"\n");
    platform::UnloadModule(module);
    return;
  }
  char version[257] = {};
  const int written =
      susie_native::GetPluginInfo(get_plugin_info, 0, version, 256);
  version[256] = '\0';
  if (written == 0 || std::strcmp(version, "00IN") != 0) {
    image_io::LogNamed("[_KSusieInit] \"", path, "\": version error.\n");
    platform::UnloadModule(module);
    return;
  }
  KRef<SusiePlugin> plugin;
  plugin.Reset(1);
  plugin->module = module;
  plugin->is_supported = platform::GetModuleSymbol(module, "IsSupported");
  plugin->get_picture_info = platform::GetModuleSymbol(module, "GetPictureInfo");
  plugin->get_picture = platform::GetModuleSymbol(module, "GetPicture");
  if (!plugin->is_supported || !plugin->get_picture_info ||
      !plugin->get_picture) {
    image_io::LogNamed("[_KSusieInit] \"", path, "\": can't find functions.\n");
    platform::UnloadModule(module);
    return;
  }
  Registry().PushBack(plugin);
  image_io::LogNamed("[_KSusieInit] \"", path, "\": loaded.\n");
}

}  // namespace

void KSusieInit() {
  if (!susie_native::Available()) return;
  char executable[platform::kMaxPath];
  if (!platform::GetModulePath(executable, sizeof executable)) return;
  char dir[kNameBufferSize];
  char pattern[kNameBufferSize];
  SplitPath(executable, dir, nullptr, nullptr);
  MakePath(dir, "*", "spi", pattern);

  platform::FindData entry;
  platform::FindHandle search = platform::FindFirst(pattern, &entry);
  if (!search) return;
  do {
    if (entry.is_directory) continue;
    char base[kNameBufferSize];
    char ext[kNameBufferSize];
    char path[kNameBufferSize];
    SplitPath(entry.name, nullptr, base, ext);
    MakePath(dir, base, ext, path);
    TryPlugin(path);
  } while (platform::FindNext(search, &entry));
  platform::FindClose(search);
}

void KSusieFree() {
  KList<SusiePlugin>& registry = Registry();
  for (auto p = registry.Begin(); p != registry.End(); p = registry.Next(p))
    platform::UnloadModule(registry.At(p)->module);
  registry.TearDown();
}

std::uint32_t KSusiePluginCount() { return Registry().Count(); }

bool KSusieDecode(KImage& image, KFile& stream) {
  image_io::Rewind(stream);
  KList<SusiePlugin>& registry = Registry();
  if (registry.Count() == 0) return false;  // nothing could take the data

  const std::int64_t size = image_io::SizeOf(stream);
  if (size < 0) return false;
  const std::uint32_t length = static_cast<std::uint32_t>(size);
  // The plug-ins' check sees only the head, at the start and 128 bytes on:
  // read that much (zero-padded) and no more until one accepts.
  const std::uint32_t head_length = std::min(length, kPaddedSize);
  std::vector<unsigned char> head(kPaddedSize, 0);
  if (head_length > 0 &&
      !image_io::ReadExactly(stream, head.data(), head_length))
    return false;

  const char* name = stream.GetName();
  for (auto p = registry.Begin(); p != registry.End(); p = registry.Next(p)) {
    const KRef<SusiePlugin> plugin = registry.At(p);
    std::uint32_t skip = 0;
    if (susie_native::IsSupported(plugin->is_supported, name, head.data()) ==
        0) {
      if (susie_native::IsSupported(plugin->is_supported, name,
                                    head.data() + kSkippedHeader) == 0)
        continue;
      if (length >= kSkippedHeader) skip = kSkippedHeader;
    }
    // Accepted: now the whole data, which the plug-in decodes.
    std::vector<unsigned char> data;
    if (length <= kPaddedSize) {
      head.resize(length);
      data.swap(head);
    } else {
      data.resize(length);
      std::memcpy(data.data(), head.data(), kPaddedSize);
      if (!image_io::ReadExactly(stream, data.data() + kPaddedSize,
                                 length - kPaddedSize))
        return false;
    }
    return susie_native::GetPicture(plugin->get_picture, data.data() + skip,
                                    length - skip, image);
  }
  return false;
}

}  // namespace zorl
