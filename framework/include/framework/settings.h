// The framework's persistent settings: integers and strings addressed by section and value
// name, kept where the application object's settings kind says.
//
//   kind 1      registry, HKEY_LOCAL_MACHINE\Software\<company>\<application>\<section>
//   kind 2      ini file <module directory><application>.ini (what start-up selects)
//   kind 3      ini file <Windows directory>\<application>.ini
//   otherwise   registry, HKEY_CURRENT_USER\Software\<company>\<application>\<section>
//
// Texts are cp932. Nothing raises an error: reads give the fallback (also when no
// application object is published), writes report false.
#ifndef FRAMEWORK_SETTINGS_H_
#define FRAMEWORK_SETTINGS_H_

#include <memory>

#include "foundation/kstring.h"
#include "framework/application.h"
#include "framework/settings_backend.h"

namespace QWF {

constexpr int kLocalMachineRegistrySettings = 1;
constexpr int kWindowsDirectoryIniSettings = 3;

// The backend `app`'s settings kind selects, not yet open.
std::unique_ptr<SettingsBackend> MakeSettingsBackend(const Application& app);

int ReadSettingInteger(const char* section, const char* name, int fallback);
bool WriteSettingInteger(const char* section, const char* name, int value);
zorl::KString ReadSettingString(const char* section, const char* name, const char* fallback);
bool WriteSettingString(const char* section, const char* name, const char* value);

}  // namespace QWF

#endif  // FRAMEWORK_SETTINGS_H_
