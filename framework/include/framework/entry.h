// The program entry: prepares the runtime and the image library, starts the application
// object, runs the application's main function and tears everything down in a fixed order.
//
// The program defines ApplicationMain; the framework's GUI entry (WinMain, CMake target
// framework_entry) calls it. A program with its own main (a test) leaves the GUI entry out and
// may call RunEntry directly.
#ifndef FRAMEWORK_ENTRY_H_
#define FRAMEWORK_ENTRY_H_

#include "framework/application.h"

// Defined by the program: its main function, run once the application object is published.
int ApplicationMain();

namespace QWF {

// The steps the entry runs around the application; tests replace them to watch the order.
struct EntrySteps {
  void (*init_math_tables)();
  void (*init_color_tables)();
  void (*plugin_host_start)();
  bool (*start_up)(InstanceHandle, int, Application&, const char*);
  int (*main)();
  void (*debug_log_close)();
  void (*plugin_host_stop)();
};

// The real steps with `main` as the application's main function.
EntrySteps DefaultEntrySteps(int (*main)());

// The entry: user-default C locale, out-of-memory handler (std::bad_alloc), image tables,
// plug-in host start, application object, start-up; on success publish the object and run
// main. Then teardown, debug log close, plug-in host stop. Returns main's result, or 0 when
// start-up failed (main is then never called). If main throws, the object and the image
// library are still shut down and the exception goes on.
int RunEntry(InstanceHandle instance, int show_command, const char* command_line,
             const EntrySteps& steps);

// The entry for a program without the GUI entry signature: instance of the executable, its
// command line without the program name, show command 1 (normal).
int RunDefaultEntry(int (*main)());

// The process command line without the program name (cp932), read through the wide API so
// the text survives a system code page other than 932.
zorl::KString CommandLineArguments();

// Skips the program name at the start of a command line as the C runtime does: a quoted name
// runs to the closing quote, otherwise to the first blank; the blanks after it go too.
const char* SkipProgramName(const char* command_line);

}  // namespace QWF

#endif  // FRAMEWORK_ENTRY_H_
