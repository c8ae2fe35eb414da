#include <windows.h>

#include "platform/module.h"
#include "wide.h"

namespace platform {

ModuleHandle LoadModule(const char* path) {
  return LoadLibraryW(Widen(path).c_str());
}

void* GetModuleSymbol(ModuleHandle module, const char* name) {
  if (!module) return nullptr;
  return reinterpret_cast<void*>(
      GetProcAddress(static_cast<HMODULE>(module), name));
}

bool UnloadModule(ModuleHandle module) {
  if (!module) return false;
  return FreeLibrary(static_cast<HMODULE>(module)) != FALSE;
}

}  // namespace platform
