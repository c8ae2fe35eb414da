#include "framework/win32.h"

#include <cstring>

#include "foundation/ktext.h"
#include "framework/module.h"
#include "platform/module.h"
#include "wide_text.h"

namespace QWF {

namespace {
void UnloadHeld(InstanceHandle module) { platform::UnloadModule(module); }
}  // namespace

void NativeModuleName(const char* name, char* out) {
  zorl::CopyText(out, name, zorl::kNameBufferSize);
  for (char* p = out; *p; ++p) {
    if (zorl::IsLeadByte(static_cast<unsigned char>(*p)) && p[1]) {
      ++p;  // the trail byte stays, whatever it is
    } else if (*p == '/') {
      *p = '\\';
    }
  }
}

Module::Module(InstanceHandle handle) { ref_.Attach(handle, false); }

Module::Module(const Module& other) : ref_(other.ref_) {}

Module::~Module() { Detach(); }

bool Module::Load(const char* name, unsigned flags) {
  if (ref_.Holds()) return false;
  char native[zorl::kNameBufferSize];
  NativeModuleName(name ? name : "", native);
  // The seam loads without flags; the flags (LOAD_LIBRARY_AS_DATAFILE ...) need the system's
  // own call.
  return ref_.Adopt(LoadLibraryExW(Widen(native).c_str(), nullptr, flags));
}

void Module::Detach() { ref_.Detach(&UnloadHeld); }

bool Module::Free() { return ref_.Release(&UnloadHeld); }

bool Module::FreeAndExitThread(unsigned exit_code) {
  if (!ref_.HasRecord()) return false;
  InstanceHandle module = ref_.Get();
  // Let go of the handle first: the call below does not return, and a wrapper still holding
  // the freed module would free it a second time later.
  ref_.Release([](InstanceHandle) {});
  if (module) FreeLibraryAndExitThread(module, exit_code);
  return true;
}

void* Module::ProcAddress(const char* name) {
  return platform::GetModuleSymbol(Handle(), name);
}

zorl::KString Module::FilePath() {
  if (!Handle()) return zorl::KString();
  wchar_t path[32768];
  DWORD n = GetModuleFileNameW(Handle(), path, 32768);
  if (n == 0 || n >= 32768) return zorl::KString();
  char narrow[zorl::kNameBufferSize];
  platform::Narrow(path, narrow, sizeof(narrow));
  return zorl::KString(narrow);
}

bool Module::DisableThreadNotifications() {
  return DisableThreadLibraryCalls(Handle()) != FALSE;
}

}  // namespace QWF
