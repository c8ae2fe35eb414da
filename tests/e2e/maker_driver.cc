// Drives kestrel-maker.exe for the demo: fills OLD, NEW, the output and the manifest's caption
// and completion text, presses Build, waits for the log's last line, takes a screenshot of the
// window, and closes it. Prints one "key: value" line per finding (UTF-8).
//
//   kestrel_maker_driver MAKER.exe OLD NEW OUTPUT.exe [--caption TEXT] [--completion TEXT]
//                        [--shot FILE.bmp]
//
// Exits 0 when the build ended with the maker's "done" line and no message box, 1 otherwise,
// 2 for a wrong command line.
#include <windows.h>

#include <cstdio>
#include <string>

#include "maker_ids.h"
#include "maker_session.h"
#include "screen.h"
#include "support/screenshot.h"
#include "window_text.h"

namespace {

std::wstring Full(const std::wstring& path) {
  wchar_t full[MAX_PATH];
  const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  return length > 0 && length < MAX_PATH ? full : path;
}

bool Done(const std::wstring& line) {
  for (const wchar_t* start : {L"完了しました: ", L"Done: ", L"失敗しました: ", L"Failed: "})
    if (line.compare(0, wcslen(start), start) == 0) return true;
  return line == L"中止しました。何も書き込んでいません。" || line == L"Cancelled. Nothing was written.";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring positional[4], caption, completion, shot;
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    if (a == L"--caption" && i + 1 < argc) {
      caption = argv[++i];
    } else if (a == L"--completion" && i + 1 < argc) {
      completion = argv[++i];
    } else if (a == L"--shot" && i + 1 < argc) {
      shot = argv[++i];
    } else if (count < 4 && a[0] != L'-') {
      positional[count++] = Full(a);
    } else {
      count = -1;
      break;
    }
  }
  if (count != 4) {
    std::fprintf(stderr, "usage: kestrel_maker_driver MAKER.exe OLD NEW OUTPUT.exe "
                         "[--caption TEXT] [--completion TEXT] [--shot FILE.bmp]\n");
    return 2;
  }
  e2e::MakerSession maker;
  if (!maker.Start(positional[0])) {
    std::printf("started: no\nresult: FAILED\n");
    return 1;
  }
  maker.Set(kmaker::kIdOld, positional[1]);
  maker.Set(kmaker::kIdNew, positional[2]);
  maker.Set(kmaker::kIdOutput, positional[3]);
  if (!caption.empty()) maker.Set(kmaker::kIdCaption, caption);
  if (!completion.empty()) maker.Set(kmaker::kIdCompletion, completion);
  e2e::MakerRun run = maker.Run(kmaker::kIdBuild, Done);
  std::printf("started: yes\nbuild: %s after %.1f s\n", run.ended ? "ended" : "did not end",
              run.seconds);
  std::printf("last log line: %s\n", e2e::Utf8(run.last_line).c_str());
  std::printf("longest answer to WM_NULL: %.1f ms over %ld probes\n", run.longest_answer_ms,
              run.probes);
  for (const std::wstring& box : run.boxes) std::printf("message box: %s\n", e2e::Utf8(box).c_str());
  if (!shot.empty()) {
    Sleep(300);  // the last lines painted
    const bool taken =
        testing_support::SaveScreen(e2e::ScreenAround(maker.window(), nullptr), shot);
    std::printf("screenshot: %s\n", taken ? "taken" : "not taken");
  }
  maker.Close();
  const bool ok = run.ended && run.boxes.empty() &&
                  (run.last_line.rfind(L"完了しました: ", 0) == 0 || run.last_line.rfind(L"Done: ", 0) == 0);
  std::printf("result: %s\n", ok ? "built" : "FAILED");
  return ok ? 0 : 1;
}
