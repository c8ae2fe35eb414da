// Runs the real kestrel-update.exe and watches it from outside, the way its windows reach the
// player's screen: finds its progress dialog and message boxes among the process's windows,
// reads their texts as UTF-16, checks the dialog against its template, records the progress
// it shows, probes how quickly the dialog answers, can take screenshots, post WM_QUIT to the
// updater's thread, and presses OK on every box. Used by the black-box tests and the demo's
// driver.
#ifndef TESTS_E2E_UPDATE_WATCH_H_
#define TESTS_E2E_UPDATE_WATCH_H_

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "screen.h"
#include "window_text.h"

namespace e2e {

struct MessageBoxSeen {
  std::wstring caption;
  std::wstring text;
  BoxIcon icon = BoxIcon::kNone;
  bool owned_by_dialog = false;
  bool retry_cancel = false;  // the box has Retry and Cancel buttons (and no OK)
  unsigned long process = 0;  // the updater process that showed it
  // The progress dialog as the box found it (empty / -1 without a dialog).
  std::wstring status;
  std::wstring name;
  int position = -1;
};

struct WatchOptions {
  std::wstring exe;  // full path of the updater to start (its folder is the game)
  std::wstring arguments;  // its command line after the program's name
  // Which button to press on a box once it has been read (IDOK, IDRETRY, IDCANCEL); the
  // default presses OK. Runs on the watcher's thread: it may look at the folder meanwhile.
  std::function<int(const MessageBoxSeen& box)> answer;
  // Post WM_QUIT to the updater's thread while it copies a file: the first time the dialog
  // shows status "アップデート中", a name and a position strictly between 0 and 30000.
  bool quit_during_copy = false;
  // Screenshots (BMP files), or empty: of the dialog mid-run (the first time its bar stands
  // between 30 % and 60 % while a file is copied or the archive rebuilt) and of the first
  // message box with the dialog.
  std::wstring mid_screenshot;
  std::wstring box_screenshot;
  unsigned timeout_ms = 300000;  // then the updater is killed
  // The title the payload's manifest gives the dialog, or empty: the template's.
  std::wstring caption;
};

struct WatchResult {
  bool started = false;
  bool exited = false;  // by itself, before the timeout
  unsigned long exit_code = 0;
  double seconds = 0;   // from start to exit
  bool dialog_seen = false;
  std::wstring dialog_caption;  // the dialog's title when it was last seen
  // Differences between the live dialog (and the template in the executable) and the
  // progress dialog's table; empty when everything matched. UTF-8.
  std::vector<std::string> template_problems;
  std::vector<int> positions;  // the bar's positions, consecutive duplicates dropped
  std::vector<std::wstring> statuses;
  std::vector<std::wstring> names;
  double longest_answer_ms = 0;  // slowest answer to WM_NULL while the dialog existed
  long probes = 0;
  // Where the slowest answer came: seconds into the run, and the dialog right after it.
  double slowest_at_seconds = 0;
  std::wstring slowest_status;
  std::wstring slowest_name;
  int slowest_position = -1;
  std::vector<MessageBoxSeen> boxes;
  bool quit_posted = false;
  // Every kestrel-update process seen (the one started and any it started), and the class of
  // every top-level window they had, visible or not, and whether one was visible.
  std::set<unsigned long> processes;
  std::set<std::wstring> window_classes;
  bool visible_window_seen = false;
  bool mid_screenshot_taken = false;
  bool box_screenshot_taken = false;
};

WatchResult RunAndWatch(const WatchOptions& options);

// Tells Wine to draw the frames and captions of `exe_name`'s windows itself and to expect no
// window manager (Xvfb runs none), so screenshots look as on Windows and hiding a window does
// not wait for one. RunAndWatch does it for the updater it starts. Harmless elsewhere.
void DecorateUnderWine(const std::wstring& exe_name);

}  // namespace e2e

#endif  // TESTS_E2E_UPDATE_WATCH_H_
