#include "update_watch.h"

#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <set>

#include "dialog_check.h"
#include "screen.h"
#include "support/screenshot.h"
#include "window_text.h"

namespace e2e {
namespace {

const wchar_t kUpdating[] = L"アップデート中";

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Windows {
  const std::set<unsigned long>* processes = nullptr;
  HWND dialog = nullptr;
  std::vector<HWND> boxes;
  std::set<std::wstring> classes;
  bool visible = false;
};

BOOL CALLBACK Collect(HWND window, LPARAM param) {
  Windows* found = reinterpret_cast<Windows*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (!found->processes->count(process)) return TRUE;
  found->classes.insert(ClassOf(window));
  if (IsWindowVisible(window)) found->visible = true;
  if (ClassOf(window) != L"#32770") return TRUE;
  if (GetDlgItem(window, kIdProgress)) {
    // A relaunching updater hides its dialog while the one it started shows its own.
    if (!found->dialog || IsWindowVisible(window)) found->dialog = window;
  } else if (GetDlgItem(window, 0xFFFF)) {
    found->boxes.push_back(window);
  }
  return TRUE;
}

template <class T>
void AddChanged(std::vector<T>* seen, const T& value) {
  if (seen->empty() || seen->back() != value) seen->push_back(value);
}

// Adds every running process whose executable has the name `exe_name` to `seen`.
void AddProcesses(const std::wstring& exe_name, std::set<unsigned long>* seen) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (SameNoCase(entry.szExeFile, exe_name)) seen->insert(entry.th32ProcessID);
  CloseHandle(snapshot);
}

}  // namespace

void DecorateUnderWine(const std::wstring& exe_name) {
  std::wstring key = L"Software\\Wine\\AppDefaults\\" + exe_name + L"\\X11 Driver";
  const wchar_t no[] = L"N";
  for (const wchar_t* value : {L"Decorated", L"Managed"})
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), value, REG_SZ, no, sizeof no);
}

WatchResult RunAndWatch(const WatchOptions& options) {
  WatchResult result;
  static bool controls = [] {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_PROGRESS_CLASS};
    return InitCommonControlsEx(&init) != FALSE;
  }();
  (void)controls;

  // Without it Wine waits up to two seconds for a window manager each time a window of the
  // updater is hidden, and the dialog cannot answer meanwhile.
  const std::wstring exe_name = options.exe.substr(options.exe.find_last_of(L"\\/") + 1);
  DecorateUnderWine(exe_name);
  std::wstring dir = options.exe.substr(0, options.exe.find_last_of(L"\\/"));
  std::wstring command = L"\"" + options.exe + L"\"";
  if (!options.arguments.empty()) command += L" " + options.arguments;
  // Updaters already running (another test's) are not this run's.
  std::set<unsigned long> earlier;
  AddProcesses(exe_name, &earlier);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const double start = Now();
  if (!CreateProcessW(options.exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                      dir.c_str(), &startup, &process))
    return result;
  result.started = true;
  result.processes.insert(process.dwProcessId);

  std::vector<BYTE> tmpl;
  std::set<HWND> handled;
  HWND first_box_seen = nullptr;
  double box_seen_at = 0;
  bool checked = false;
  for (;;) {
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
      result.exited = true;
      break;
    }
    if ((Now() - start) * 1000 > options.timeout_ms) {
      TerminateProcess(process.hProcess, 99);
      WaitForSingleObject(process.hProcess, 10000);
      break;
    }
    std::set<unsigned long> now;
    AddProcesses(exe_name, &now);
    for (unsigned long id : now)
      if (!earlier.count(id)) result.processes.insert(id);
    Windows found;
    found.processes = &result.processes;
    EnumWindows(&Collect, reinterpret_cast<LPARAM>(&found));
    result.window_classes.insert(found.classes.begin(), found.classes.end());
    if (found.visible) result.visible_window_seen = true;

    int position = -1;
    std::wstring status, name;
    if (found.dialog && IsWindowVisible(found.dialog)) {
      result.dialog_seen = true;
      const double before = Now();
      DWORD_PTR ignored;
      SendMessageTimeoutW(found.dialog, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &ignored);
      const double answer_ms = (Now() - before) * 1000;
      ++result.probes;
      const bool slowest = answer_ms > result.longest_answer_ms;
      if (slowest) {
        result.longest_answer_ms = answer_ms;
        result.slowest_at_seconds = before - start;
      }
      if (!checked) {
        checked = true;
        CheckTemplate(options.exe, &result.template_problems, &tmpl);
        CheckLiveDialog(found.dialog, tmpl, &result.template_problems, options.caption);
      }
      // (A dialog being destroyed answers with no text.)
      const std::wstring caption = TextOf(found.dialog);
      if (!caption.empty()) result.dialog_caption = caption;
      position = static_cast<int>(SendTimed(GetDlgItem(found.dialog, kIdProgress), PBM_GETPOS, 0, 0));
      status = TextOf(GetDlgItem(found.dialog, kIdStatus));
      name = TextOf(GetDlgItem(found.dialog, kIdName));
      if (slowest) {
        result.slowest_status = status;
        result.slowest_name = name;
        result.slowest_position = position;
      }
      AddChanged(&result.positions, position);
      AddChanged(&result.statuses, status);
      if (!name.empty()) AddChanged(&result.names, name);

      if (options.quit_during_copy && !result.quit_posted && status == kUpdating &&
          !name.empty() && position > 0 && position < kRange) {
        result.quit_posted =
            PostThreadMessageW(process.dwThreadId, WM_QUIT, 0, 0) != FALSE;
      }
      // Mid-run: the bar between 30 % and 60 %, with a file's name shown or the archive being
      // rebuilt (the first such moment; a file's name comes first when there is one).
      if (!options.mid_screenshot.empty() && !result.mid_screenshot_taken &&
          (!name.empty() || status != kUpdating) && position >= kRange * 3 / 10 &&
          position <= kRange * 6 / 10) {
        result.mid_screenshot_taken = testing_support::SaveScreen(
            ScreenAround(found.dialog, nullptr), options.mid_screenshot);
      }
    }

    for (HWND box : found.boxes) {
      if (handled.count(box)) continue;
      // Give a new box time to lay itself out and paint before reading and photographing it.
      if (box != first_box_seen) {
        first_box_seen = box;
        box_seen_at = Now();
        continue;
      }
      if (Now() - box_seen_at < 0.5) continue;
      MessageBoxSeen seen;
      seen.caption = TextOf(box);
      seen.text = TextOf(GetDlgItem(box, 0xFFFF));
      seen.icon = IconOf(box);
      seen.owned_by_dialog = found.dialog && GetWindow(box, GW_OWNER) == found.dialog;
      seen.retry_cancel = GetDlgItem(box, IDRETRY) && GetDlgItem(box, IDCANCEL) && !GetDlgItem(box, IDOK);
      DWORD box_process = 0;
      GetWindowThreadProcessId(box, &box_process);
      seen.process = box_process;
      seen.status = status;
      seen.name = name;
      seen.position = position;
      result.boxes.push_back(seen);
      if (!options.box_screenshot.empty() && !result.box_screenshot_taken)
        result.box_screenshot_taken = testing_support::SaveScreen(
            ScreenAround(box, found.dialog), options.box_screenshot);
      handled.insert(box);
      const int button = options.answer ? options.answer(seen) : IDOK;
      PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
    }
    Sleep(10);
  }
  result.seconds = Now() - start;
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  result.exit_code = code;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

}  // namespace e2e
