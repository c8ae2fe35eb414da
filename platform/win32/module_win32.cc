#include <windows.h>

#include <string>

#include "platform/module.h"
#include "wide.h"

namespace platform {

ModuleHandle LoadModule(const char* path) {
  std::wstring wide;
  if (!WidenName(path, &wide)) return nullptr;
  return LoadLibraryW(wide.c_str());
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
