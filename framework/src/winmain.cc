// The GUI entry. It lives in its own object file, so it is linked only into programs that
// have no main function of their own.
#include "framework/win32.h"

#include "framework/entry.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
  // The command line comes through the wide API: the narrow one the system hands in is in the
  // system code page, which need not be cp932.
  zorl::KString arguments = QWF::CommandLineArguments();
  return QWF::RunEntry(instance, show_command, arguments.Text(),
                       QWF::DefaultEntrySteps(&ApplicationMain));
}
