#include "framework/win32.h"

#include <clocale>
#include <new>

#include "framework/entry.h"
#include "image/kdebuglog.h"
#include "image/ksusie.h"
#include "image/ktables.h"
#include "wide_text.h"

namespace QWF {

namespace {
// The standard out-of-memory exception, with the text the system's own runtime gives it.
class OutOfMemory : public std::bad_alloc {
 public:
  const char* what() const noexcept override { return "bad allocation"; }
};

void ThrowOutOfMemory() { throw OutOfMemory(); }
}  // namespace

EntrySteps DefaultEntrySteps(int (*main)()) {
  EntrySteps steps;
  steps.init_math_tables = &zorl::KInitMathTables;
  steps.init_color_tables = &zorl::KInitColorTables;
  steps.plugin_host_start = &zorl::KSusieInit;
  steps.start_up = &StartUp;
  steps.main = main;
  steps.debug_log_close = &zorl::KDebugLogClose;
  steps.plugin_host_stop = &zorl::KSusieFree;
  return steps;
}

int RunEntry(InstanceHandle instance, int show_command, const char* command_line,
             const EntrySteps& steps) {
  std::setlocale(LC_ALL, "");
  std::set_new_handler(&ThrowOutOfMemory);
  steps.init_math_tables();
  steps.init_color_tables();
  steps.plugin_host_start();

  // The object's destructor is the teardown; the image library shuts down after it, also
  // when main leaves by an exception.
  struct ImageShutDown {
    const EntrySteps& steps;
    ~ImageShutDown() {
      steps.debug_log_close();
      steps.plugin_host_stop();
    }
  } image_shut_down{steps};

  Application app;
  int result = 0;
  if (steps.start_up(instance, show_command, app, command_line)) {
    PublishApplication(&app);
    result = steps.main();
  }
  return result;
}

const char* SkipProgramName(const char* line) {
  const char* p = line;
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

zorl::KString CommandLineArguments() {
  const wchar_t* line = GetCommandLineW();
  zorl::KString whole = NarrowText(line, wcslen(line));
  return zorl::KString(SkipProgramName(whole.Text()));
}

int RunDefaultEntry(int (*main)()) {
  zorl::KString arguments = CommandLineArguments();
  return RunEntry(GetModuleHandleW(nullptr), SW_SHOWNORMAL, arguments.Text(),
                  DefaultEntrySteps(main));
}

}  // namespace QWF
