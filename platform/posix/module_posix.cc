#include <dlfcn.h>

#include "native_path.h"
#include "platform/module.h"

namespace platform {

ModuleHandle LoadModule(const char* path) {
  return ::dlopen(NativePath(path).c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* GetModuleSymbol(ModuleHandle module, const char* name) {
  if (!module) return nullptr;
  return ::dlsym(module, name);
}

bool UnloadModule(ModuleHandle module) {
  if (!module) return false;
  return ::dlclose(module) == 0;
}

}  // namespace platform
