#include <dlfcn.h>

#include <string>

#include "native_path.h"
#include "platform/module.h"

namespace platform {

ModuleHandle LoadModule(const char* path) {
  std::string native;
  if (!NativePath(path, &native)) return nullptr;
  return ::dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
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
