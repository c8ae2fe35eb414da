// RegistryKey: the settings backend on a registry key, "<base>\<section>" under the current
// user or the local machine, held in the shared handle-wrapper pattern.
//
// Integers are REG_DWORD values of exactly 4 bytes, strings REG_SZ; a value of another type
// or size reads as the fallback. Texts go through the wide API with code page 932.
#ifndef FRAMEWORK_REGISTRY_KEY_H_
#define FRAMEWORK_REGISTRY_KEY_H_

#include "foundation/kstring.h"
#include "framework/handle_ref.h"
#include "framework/settings_backend.h"

struct HKEY__;

namespace QWF {

using RegistryHandle = HKEY__*;

enum class RegistryRoot { kCurrentUser, kLocalMachine };

struct RegistryKeyRecord {
  RegistryHandle handle = nullptr;
};

class RegistryKey : public SettingsBackend {
 public:
  // Sections open as subkeys of `base` (cp932, "Software\company\application") in `root`.
  RegistryKey(RegistryRoot root, const zorl::KString& base);
  ~RegistryKey() override;

  // Reading opens an existing key with query access only (a missing key is not created);
  // writing creates the key when needed, with set access only. False for a null or empty
  // section.
  bool Open(const char* section, bool for_writing) override;
  void Detach() override;
  bool Close() override;
  bool WriteInteger(const char* name, int value) override;
  bool WriteString(const char* name, const char* value) override;
  int ReadInteger(const char* name, int fallback) override;
  zorl::KString ReadString(const char* name, const char* fallback) override;

  RegistryHandle Handle() const { return ref_.Get(); }

 private:
  RegistryRoot root_;
  zorl::KString base_;
  HandleRef<RegistryKeyRecord> ref_;
};

// "Software\<company>\<application>", the key every section of `company`'s `application`
// lives under; an empty name stays empty.
zorl::KString RegistrySettingsBase(const zorl::KString& company,
                                   const zorl::KString& application);

}  // namespace QWF

#endif  // FRAMEWORK_REGISTRY_KEY_H_
