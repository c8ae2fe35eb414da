#include "maker_session.h"

#include <set>

#include "update_watch.h"
#include "window_text.h"

namespace e2e {
namespace {

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

struct Found {
  DWORD process = 0;
  HWND main = nullptr;
  std::vector<HWND> boxes;
};

BOOL CALLBACK Collect(HWND window, LPARAM param) {
  Found* found = reinterpret_cast<Found*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != found->process || !IsWindowVisible(window)) return TRUE;
  if (GetDlgItem(window, kmaker::kIdBuild)) {
    found->main = window;
  } else if (ClassOf(window) == L"#32770" && GetDlgItem(window, 0xFFFF)) {
    found->boxes.push_back(window);
  }
  return TRUE;
}

Found Look(DWORD process) {
  Found found;
  found.process = process;
  EnumWindows(&Collect, reinterpret_cast<LPARAM>(&found));
  return found;
}

// The environment block of this process with `changes` applied.
std::wstring Environment(const std::vector<std::wstring>& changes) {
  std::vector<std::wstring> variables;
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* p = block; *p; p += wcslen(p) + 1) variables.push_back(p);
  FreeEnvironmentStringsW(block);
  for (const std::wstring& change : changes) {
    const std::wstring name = change.substr(0, change.find(L'=') + 1);
    for (auto it = variables.begin(); it != variables.end();)
      it = _wcsnicmp(it->c_str(), name.c_str(), name.size()) == 0 ? variables.erase(it) : it + 1;
    if (change.size() > name.size()) variables.push_back(change);
  }
  std::wstring result;
  for (const std::wstring& variable : variables) result += variable + L'\0';
  return result + L'\0';
}

std::wstring LastLine(std::wstring log) {
  while (!log.empty() && (log.back() == L'\n' || log.back() == L'\r')) log.pop_back();
  const std::size_t newline = log.find_last_of(L'\n');
  return newline == std::wstring::npos ? log : log.substr(newline + 1);
}

}  // namespace

MakerSession::~MakerSession() {
  if (process_.hProcess) {
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 10000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
}

bool MakerSession::Start(const std::wstring& exe, const std::vector<std::wstring>& environment) {
  DecorateUnderWine(exe.substr(exe.find_last_of(L"\\/") + 1));
  std::wstring command = L"\"" + exe + L"\"";
  std::wstring block = Environment(environment);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT, &block[0], nullptr, &startup, &process_))
    return false;
  const double start = Now();
  while (Now() - start < 60) {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) return false;
    window_ = Look(process_.dwProcessId).main;
    if (window_) return true;
    Sleep(50);
  }
  return false;
}

void MakerSession::Set(int id, const std::wstring& text) {
  SendTimed(GetDlgItem(window_, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring MakerSession::Get(int id) {
  HWND control = GetDlgItem(window_, id);
  const LRESULT length = SendTimed(control, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT got =
      SendTimed(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<std::size_t>(got));
  return text;
}

void MakerSession::Check(int id, bool checked) {
  SendTimed(GetDlgItem(window_, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool MakerSession::Checked(int id) {
  return SendTimed(GetDlgItem(window_, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool MakerSession::Enabled(int id) { return IsWindowEnabled(GetDlgItem(window_, id)) != FALSE; }

void MakerSession::Press(int id) {
  PostMessageW(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window_, id)));
}

MakerRun MakerSession::Run(int button, const std::function<bool(const std::wstring&)>& is_last,
                           unsigned timeout_ms,
                           const std::function<void(const std::wstring& log)>& during) {
  MakerRun run;
  const std::size_t before = Log().size();
  const double start = Now();
  Press(button);
  std::set<HWND> handled;
  HWND pending = nullptr;
  double pending_since = 0;
  double ended_at = 0;
  for (;;) {
    const double now = Now();
    if ((now - start) * 1000 > timeout_ms) break;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) break;
    DWORD_PTR ignored;
    SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &ignored);
    const double answer_ms = (Now() - now) * 1000;
    ++run.probes;
    const bool slowest = answer_ms > run.longest_answer_ms;
    if (slowest) {
      run.longest_answer_ms = answer_ms;
      run.slowest_at_seconds = now - start;
    }

    const std::wstring log = Log();
    run.log = log.size() > before ? log.substr(before) : L"";
    if (slowest) run.slowest_during = LastLine(run.log);
    if (during) during(run.log);
    for (HWND box : Look(process_.dwProcessId).boxes) {
      if (handled.count(box)) continue;
      // A new box gets a moment to lay itself out before it is read.
      if (box != pending) {
        pending = box;
        pending_since = Now();
        continue;
      }
      if (Now() - pending_since < 0.3) continue;
      run.boxes.push_back(TextOf(GetDlgItem(box, 0xFFFF)));
      handled.insert(box);
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    if (!run.ended && !run.log.empty() && is_last(LastLine(run.log))) {
      run.ended = true;
      run.last_line = LastLine(run.log);
      run.seconds = Now() - start;
      ended_at = Now();
    }
    // A failure's box follows its last line: wait a little for it.
    if (run.ended && Now() - ended_at > 1.5 && pending == nullptr) break;
    if (run.ended && pending && handled.count(pending) && Now() - ended_at > 1.5) break;
    Sleep(10);
  }
  return run;
}

bool MakerSession::Close(unsigned timeout_ms) {
  PostMessageW(window_, WM_CLOSE, 0, 0);
  return WaitForSingleObject(process_.hProcess, timeout_ms) == WAIT_OBJECT_0;
}

void ForgetMakerSettings() {
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tessel Works\\kestrel-maker");
}

}  // namespace e2e
