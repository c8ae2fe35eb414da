// Drives the real kestrel-maker.exe from outside, as a maker's hands and
// eyes would: finds its window, fills the fields (WM_SETTEXT), ticks boxes,
// presses buttons, reads the log, waits for a run's last log line while
// probing how fast the window answers WM_NULL, and presses OK on its
// message boxes (keeping their texts). Used by the black-box tests and the
// demo's maker driver.
#ifndef TESTS_E2E_MAKER_SESSION_H_
#define TESTS_E2E_MAKER_SESSION_H_

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "maker_ids.h"

namespace e2e {

// What one run (Build or Try it) showed, from the press to its last log line.
struct MakerRun {
  bool ended = false;           // the last line came before the timeout
  std::wstring last_line;       // the log's last line then
  std::wstring log;             // the lines the run added
  std::vector<std::wstring> boxes;  // texts of the message boxes, OK pressed
  double seconds = 0;
  double longest_answer_ms = 0;  // slowest answer to WM_NULL during the run
  long probes = 0;
  double slowest_at_seconds = 0;  // when the slowest answer came, from the press
  std::wstring slowest_during;    // the log's last line then
};

class MakerSession {
 public:
  MakerSession() = default;
  ~MakerSession();  // ends the maker if it is still running
  MakerSession(const MakerSession&) = delete;
  MakerSession& operator=(const MakerSession&) = delete;

  // Starts `exe` with `environment` changes ("NAME=value"; "NAME=" removes
  // it) and waits up to 60 s for its window. False when it never showed.
  bool Start(const std::wstring& exe, const std::vector<std::wstring>& environment = {});
  HWND window() const { return window_; }

  void Set(int id, const std::wstring& text);
  std::wstring Get(int id);
  void Check(int id, bool checked);
  bool Checked(int id);
  bool Enabled(int id);
  void Press(int id);  // a click's WM_COMMAND, posted
  std::wstring Log() { return Get(kmaker::kIdLog); }

  // Presses `button` and waits until the log's last line is one a run ends
  // with (`is_last` says which), pressing OK on every message box on the
  // way and `during` called every 10 ms with the log so far.
  MakerRun Run(int button, const std::function<bool(const std::wstring&)>& is_last,
               unsigned timeout_ms = 300000,
               const std::function<void(const std::wstring& log)>& during = {});

  // Closes the window (WM_CLOSE) and waits for the process to end.
  bool Close(unsigned timeout_ms = 30000);

 private:
  PROCESS_INFORMATION process_ = {};
  HWND window_ = nullptr;
};

// The maker's registry key (its remembered values), removed: the next
// start shows empty fields.
void ForgetMakerSettings();

}  // namespace e2e

#endif  // TESTS_E2E_MAKER_SESSION_H_
