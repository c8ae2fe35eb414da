#include "framework/settings.h"

#include <vector>

#include "framework/ini_file.h"
#include "framework/registry_key.h"
#include "platform/process.h"

namespace QWF {

namespace {

// Opens the backend of the published application's settings on `section`; null when there
// is no application object or the section cannot be opened.
std::unique_ptr<SettingsBackend> OpenSection(const char* section, bool for_writing) {
  Application* app = GetApplication();
  if (!app) return nullptr;
  std::unique_ptr<SettingsBackend> backend = MakeSettingsBackend(*app);
  if (!backend->Open(section, for_writing)) return nullptr;
  return backend;
}

}  // namespace

std::unique_ptr<SettingsBackend> MakeSettingsBackend(const Application& app) {
  switch (app.SettingsKind()) {
    case kLocalMachineRegistrySettings:
      return std::make_unique<RegistryKey>(
          RegistryRoot::kLocalMachine,
          RegistrySettingsBase(app.CompanyName(), app.ApplicationName()));
    case kIniSettings:
      return std::make_unique<IniFile>(
          IniSettingsPath(app.ModuleDirectory(), app.ApplicationName()));
    case kWindowsDirectoryIniSettings: {
      std::vector<char> directory(32768);
      zorl::KString path;
      if (platform::GetSystemSettingsDirectory(directory.data(),
                                               static_cast<unsigned>(directory.size()))) {
        path = IniSettingsPath(zorl::KString(zorl::KRef<char>(directory.data())),
                               app.ApplicationName());
      }
      return std::make_unique<IniFile>(path);
    }
    default:
      return std::make_unique<RegistryKey>(
          RegistryRoot::kCurrentUser,
          RegistrySettingsBase(app.CompanyName(), app.ApplicationName()));
  }
}

int ReadSettingInteger(const char* section, const char* name, int fallback) {
  std::unique_ptr<SettingsBackend> backend = OpenSection(section, false);
  return backend ? backend->ReadInteger(name, fallback) : fallback;
}

bool WriteSettingInteger(const char* section, const char* name, int value) {
  std::unique_ptr<SettingsBackend> backend = OpenSection(section, true);
  return backend && backend->WriteInteger(name, value);
}

zorl::KString ReadSettingString(const char* section, const char* name, const char* fallback) {
  std::unique_ptr<SettingsBackend> backend = OpenSection(section, false);
  if (!backend) return zorl::KString(zorl::KRef<char>(fallback ? fallback : ""));
  return backend->ReadString(name, fallback);
}

bool WriteSettingString(const char* section, const char* name, const char* value) {
  std::unique_ptr<SettingsBackend> backend = OpenSection(section, true);
  return backend && backend->WriteString(name, value);
}

}  // namespace QWF
