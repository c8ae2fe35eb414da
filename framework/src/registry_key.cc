#include "framework/win32.h"

#include <string>
#include <vector>

#include "framework/registry_key.h"
#include "wide_text.h"

namespace QWF {

namespace {

void CloseHeld(RegistryHandle key) { RegCloseKey(key); }

HKEY RootHandle(RegistryRoot root) {
  return root == RegistryRoot::kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

bool HasName(const char* name) { return name && *name; }

}  // namespace

zorl::KString RegistrySettingsBase(const zorl::KString& company,
                                   const zorl::KString& application) {
  zorl::KString base(zorl::KRef<char>("Software\\"));
  base.Append(company);
  base.Append("\\");
  base.Append(application);
  return base;
}

RegistryKey::RegistryKey(RegistryRoot root, const zorl::KString& base)
    : root_(root), base_(base) {}

RegistryKey::~RegistryKey() { Detach(); }

bool RegistryKey::Open(const char* section, bool for_writing) {
  // Without a section the values would land in the application's own key.
  if (ref_.Holds() || !section || !*section) return false;
  zorl::KString path = base_;
  path.Append("\\");
  path.Append(zorl::KRef<char>(section));
  std::wstring wide_path = Widen(path.Text());
  HKEY key = nullptr;
  LONG status;
  if (for_writing) {
    status = RegCreateKeyExW(RootHandle(root_), wide_path.c_str(), 0, nullptr,
                             REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
  } else {
    status = RegOpenKeyExW(RootHandle(root_), wide_path.c_str(), 0, KEY_QUERY_VALUE, &key);
  }
  if (status != ERROR_SUCCESS) return false;
  ref_.Attach(key, true);
  return true;
}

void RegistryKey::Detach() { ref_.Detach(&CloseHeld); }

bool RegistryKey::Close() {
  if (!ref_.Holds()) return false;
  return ref_.Release(&CloseHeld);
}

bool RegistryKey::WriteInteger(const char* name, int value) {
  if (!ref_.Holds() || !HasName(name)) return false;
  DWORD data = static_cast<DWORD>(value);
  return RegSetValueExW(Handle(), Widen(name).c_str(), 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&data), sizeof(data)) == ERROR_SUCCESS;
}

bool RegistryKey::WriteString(const char* name, const char* value) {
  if (!ref_.Holds() || !HasName(name)) return false;
  std::wstring text = Widen(value);
  DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(Handle(), Widen(name).c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

int RegistryKey::ReadInteger(const char* name, int fallback) {
  if (!ref_.Holds() || !HasName(name)) return fallback;
  std::wstring wide_name = Widen(name);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(Handle(), wide_name.c_str(), nullptr, &type, nullptr, &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(DWORD)) {
    return fallback;
  }
  DWORD data = 0;
  size = sizeof(data);
  if (RegQueryValueExW(Handle(), wide_name.c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(DWORD)) {
    return fallback;
  }
  return static_cast<int>(data);
}

zorl::KString RegistryKey::ReadString(const char* name, const char* fallback) {
  zorl::KString fallback_text(zorl::KRef<char>(fallback ? fallback : ""));
  if (!ref_.Holds() || !HasName(name)) return fallback_text;
  std::wstring wide_name = Widen(name);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(Handle(), wide_name.c_str(), nullptr, &type, nullptr, &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ || size == 0) {
    return fallback_text;
  }
  // Room for a value stored without its terminating zero, and for an odd byte count.
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
  DWORD got = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
  if (RegQueryValueExW(Handle(), wide_name.c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(buffer.data()), &got) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return fallback_text;
  }
  std::size_t length = 0;  // up to the first zero
  std::size_t units = got / sizeof(wchar_t);
  while (length < units && buffer[length]) ++length;
  return NarrowText(buffer.data(), length);
}

}  // namespace QWF
