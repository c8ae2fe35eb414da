// Module: a loaded dynamic library, held in the shared handle-wrapper pattern.
#ifndef FRAMEWORK_MODULE_H_
#define FRAMEWORK_MODULE_H_

#include "foundation/kstring.h"
#include "framework/handle_ref.h"
#include "framework/no_win32_macros.h"
#include "framework/types.h"

namespace QWF {

struct ModuleRecord {
  InstanceHandle handle = nullptr;
};

class Module {
 public:
  Module() = default;
  // Wraps a module someone else loaded (the executable's instance, say); never frees it.
  explicit Module(InstanceHandle handle);
  // Shares the other's module without owning it.
  Module(const Module& other);
  Module& operator=(const Module&) = delete;

  // 0: frees the module if this object loaded it.
  virtual ~Module();
  // 1: loads a library by cp932 name (at most 263 characters are used); "/" is taken as
  // "\". False, keeping the old module, when one is held; false when loading fails.
  virtual bool Load(const char* name, unsigned flags);
  // 2: frees the module if this object loaded it; the object is empty afterwards.
  virtual void Detach();
  // 3: frees the module (owned or not). False when the object holds nothing.
  virtual bool Free();
  // 4: frees the module and ends the calling thread with `exit_code` (does not return when a
  // module is held). False when the object holds nothing.
  virtual bool FreeAndExitThread(unsigned exit_code);
  // 5: an exported procedure, or null.
  virtual void* ProcAddress(const char* name);
  // 6: the module's file path in cp932 (at most 263 characters); empty when none.
  virtual zorl::KString FilePath();
  // 7
  virtual bool DisableThreadNotifications();

  InstanceHandle Handle() const { return ref_.Get(); }
  bool Owned() const { return ref_.Owned(); }

 private:
  HandleRef<ModuleRecord> ref_;
};

// The name LoadLibrary gets: `name` cut to 263 characters, every "/" turned into "\". The
// byte after a cp932 lead byte is a trail byte and stays as it is. `out` has 264 bytes.
void NativeModuleName(const char* name, char* out);

}  // namespace QWF

#endif  // FRAMEWORK_MODULE_H_
