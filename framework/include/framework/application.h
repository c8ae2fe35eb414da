// The process's application object, its start-up and the global pointer to it.
//
// One object per process, built by the program entry on its own stack, started, published
// through the global pointer and destroyed when the application's main function returns.
// Every framework part reads the instance, show command, names and settings kind from it.
#ifndef FRAMEWORK_APPLICATION_H_
#define FRAMEWORK_APPLICATION_H_

#include <cstdint>

#include "foundation/klist.h"
#include "foundation/kstring.h"
#include "framework/types.h"

namespace QWF {

class Application {
 public:
  // Empty: no instance, show command 0, empty names, settings kind 0, wheel message 0, no
  // arguments.
  Application() = default;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;
  // Runs TearDown.
  virtual ~Application();

  InstanceHandle Instance() const { return instance_; }
  int ShowCommand() const { return show_command_; }
  const zorl::KString& ApplicationName() const { return application_name_; }
  zorl::KString& ApplicationName() { return application_name_; }
  const zorl::KString& ModuleDirectory() const { return module_directory_; }
  zorl::KString& ModuleDirectory() { return module_directory_; }
  const zorl::KString& CompanyName() const { return company_name_; }
  zorl::KString& CompanyName() { return company_name_; }
  void SetApplicationName(const zorl::KString& name) { application_name_ = name; }
  void SetModuleDirectory(const zorl::KString& dir) { module_directory_ = dir; }
  void SetCompanyName(const zorl::KString& name) { company_name_ = name; }
  int SettingsKind() const { return settings_kind_; }
  void SetSettingsKind(int kind) { settings_kind_ = kind; }
  // The number RegisterWindowMessage gave "MSWHEEL_ROLLMSG"; 0 before start-up.
  unsigned WheelMessage() const { return wheel_message_; }
  // The command line split into words (cp932, one counted NUL-terminated text each).
  zorl::KList<char>& Arguments() { return arguments_; }

 private:
  friend bool StartUp(InstanceHandle, int, Application&, const char*);
  friend void TearDown(Application&);

  InstanceHandle instance_ = nullptr;
  int show_command_ = 0;
  zorl::KString application_name_;
  zorl::KString module_directory_;
  zorl::KString company_name_;
  int settings_kind_ = 0;
  unsigned wheel_message_ = 0;
  zorl::KList<char> arguments_;
  bool com_initialised_ = false;
};

// The company name every application stores its settings under.
constexpr const char kCompanyName[] = "Tessel Works";
// The settings kind start-up selects: an ini file beside the executable.
constexpr int kIniSettings = 2;

// Starts `app`: stores instance and show command, splits `command_line` (may be null: no
// arguments) into the arguments, takes the names from the executable's path, sets company
// name and settings kind, registers the framework's window classes, the wheel message, the
// common controls and COM. Returns false only when a window class cannot be registered (an
// already registered class counts as success, so a second start-up in one process works).
bool StartUp(InstanceHandle instance, int show_command, Application& app,
             const char* command_line);

// The teardown the destructor runs: uninitialises COM if start-up initialised it, then drops
// the arguments and the three names. Running it again does nothing more.
void TearDown(Application& app);

// Splits an executable's path (cp932) into its directory, kept as written up to and
// including the last "\" or "/" (so "C:\games\x\" keeps its backslashes), and its base name
// without the extension. A trail byte equal to "\" is no separator.
void SplitModulePath(const char* path, zorl::KString& directory, zorl::KString& name);

// The process's application object, set by the entry after a successful start-up; null
// before, and again once that object is torn down.
Application* GetApplication();
void PublishApplication(Application* app);

}  // namespace QWF

#endif  // FRAMEWORK_APPLICATION_H_
