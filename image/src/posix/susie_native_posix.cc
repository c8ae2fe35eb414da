// No Susie plug-ins outside Windows: they are Windows DLLs.
#include "../susie_native.h"

namespace zorl {
namespace susie_native {

bool Available() { return false; }

int GetPluginInfo(void*, int, char*, int) { return 0; }

int IsSupported(void*, const char*, const void*) { return 0; }

bool GetPicture(void*, const unsigned char*, std::uint32_t, KImage&) {
  return false;
}

}  // namespace susie_native
}  // namespace zorl
