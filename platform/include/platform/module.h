// The dynamic-library seam.
#ifndef PLATFORM_MODULE_H_
#define PLATFORM_MODULE_H_

namespace platform {

using ModuleHandle = void*;

// Loads a library by cp932 path. Returns nullptr on failure, also when the
// path is not valid cp932.
ModuleHandle LoadModule(const char* path);

// Looks up an exported symbol. Returns nullptr when absent.
void* GetModuleSymbol(ModuleHandle module, const char* name);

// Releases a library. False on failure or for nullptr.
bool UnloadModule(ModuleHandle module);

}  // namespace platform

#endif  // PLATFORM_MODULE_H_
