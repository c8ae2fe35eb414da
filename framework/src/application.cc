#include "framework/win32.h"

#include <commctrl.h>
#include <objbase.h>

#include <vector>

#include "foundation/ktext.h"
#include "framework/application.h"
#include "framework/window_class.h"
#include "platform/process.h"

namespace QWF {

namespace {
Application* g_application = nullptr;
}  // namespace

Application::~Application() { TearDown(*this); }

void SplitModulePath(const char* path, zorl::KString& directory, zorl::KString& name) {
  std::size_t dir_end = 0;  // bytes up to and including the last separator
  std::size_t dot = 0;      // position of the last dot after it, 0 when none
  std::size_t i = 0;
  while (path[i]) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (zorl::IsLeadByte(c) && path[i + 1]) {
      i += 2;
      continue;
    }
    if (c == '\\' || c == '/') {
      dir_end = i + 1;
      dot = 0;
    } else if (c == '.') {
      dot = i;
    }
    ++i;
  }
  std::size_t name_end = dot > dir_end ? dot : i;
  directory.Assign(zorl::KRef<char>(path), 0, dir_end);
  name.Assign(zorl::KRef<char>(path), dir_end, name_end - dir_end);
}

bool StartUp(InstanceHandle instance, int show_command, Application& app,
             const char* command_line) {
  app.instance_ = instance;
  app.show_command_ = show_command;
  if (command_line) zorl::SplitCommandLine(command_line, app.arguments_);

  std::vector<char> path(32768);
  if (platform::GetModulePath(path.data(), static_cast<unsigned>(path.size()))) {
    SplitModulePath(path.data(), app.module_directory_, app.application_name_);
  }

  app.company_name_.Assign(kCompanyName);
  app.settings_kind_ = kIniSettings;

  if (!RegisterFrameworkClasses(instance)) return false;

  app.wheel_message_ = RegisterWindowMessageW(L"MSWHEEL_ROLLMSG");
  InitCommonControls();
  app.com_initialised_ = SUCCEEDED(CoInitialize(nullptr));
  return true;
}

void TearDown(Application& app) {
  // Only a start-up that initialised COM balances it here: uninitialising a COM this object
  // never initialised would tear down someone else's apartment.
  if (app.com_initialised_) CoUninitialize();
  // The global pointer must not outlive the object it points to.
  if (g_application == &app) g_application = nullptr;
  app.com_initialised_ = false;
  app.arguments_.TearDown();
  app.application_name_ = zorl::KString();
  app.module_directory_ = zorl::KString();
  app.company_name_ = zorl::KString();
}

Application* GetApplication() { return g_application; }

void PublishApplication(Application* app) { g_application = app; }

}  // namespace QWF
