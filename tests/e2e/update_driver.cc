// Runs an updater (a kestrel-update.exe with its payload) as a player would and reports what
// its windows showed: the demo's eyes and hands under Wine.
//
//   kestrel_update_driver UPDATER.exe [--mid-shot FILE.bmp] [--box-shot FILE.bmp]
//                         [--caption TEXT] [--completion TEXT]
//
// Takes a screenshot of the progress dialog mid-run and one of the first message box, presses
// OK on every box, and prints one "key: value" line per finding (UTF-8). Exits 0 when the
// update completed (the completion box, and nothing amiss in the dialog), 1 otherwise, 2 for
// a wrong command line. --caption and --completion give the maker's texts the payload carries
// (by default the updater's own Japanese ones): the dialog, its box and the box's text must
// show them.
#include <windows.h>

#include <cstdio>
#include <string>

#include "update_watch.h"

namespace {

const wchar_t kCompleted[] = L"Q18版からプレス版へのアップデートが完了しました。";

const char* IconName(e2e::BoxIcon icon) {
  switch (icon) {
    case e2e::BoxIcon::kHand: return "error";
    case e2e::BoxIcon::kInformation: return "information";
    case e2e::BoxIcon::kOther: return "other";
    default: return "none";
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  e2e::WatchOptions options;
  std::wstring completion = kCompleted;
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    if (a == L"--caption" && i + 1 < argc) {
      options.caption = argv[++i];
    } else if (a == L"--completion" && i + 1 < argc) {
      completion = argv[++i];
    } else if (a == L"--mid-shot" && i + 1 < argc) {
      options.mid_screenshot = argv[++i];
    } else if (a == L"--box-shot" && i + 1 < argc) {
      options.box_screenshot = argv[++i];
    } else if (options.exe.empty() && a[0] != L'-') {
      wchar_t full[MAX_PATH];
      GetFullPathNameW(a.c_str(), MAX_PATH, full, nullptr);
      options.exe = full;
    } else {
      std::fprintf(stderr, "usage: kestrel_update_driver UPDATER.exe [--mid-shot FILE.bmp] "
                           "[--box-shot FILE.bmp] [--caption TEXT] [--completion TEXT]\n");
      return 2;
    }
  }
  if (options.exe.empty()) {
    std::fprintf(stderr, "kestrel_update_driver: UPDATER.exe is missing\n");
    return 2;
  }
  e2e::WatchResult r = e2e::RunAndWatch(options);

  std::printf("started: %s\n", r.started ? "yes" : "no");
  std::printf("exited: %s (exit code %lu) after %.1f s\n", r.exited ? "yes" : "no (killed)",
              r.exit_code, r.seconds);
  std::printf("dialog: %s\n", r.dialog_seen ? "seen" : "never seen");
  if (r.dialog_seen) std::printf("dialog caption: %s\n", e2e::Utf8(r.dialog_caption).c_str());
  for (const std::string& problem : r.template_problems) std::printf("dialog problem: %s\n", problem.c_str());
  for (const std::wstring& status : r.statuses) std::printf("status: %s\n", e2e::Utf8(status).c_str());
  std::printf("names shown: %zu", r.names.size());
  if (!r.names.empty()) std::printf(" (first %s, last %s)", e2e::Utf8(r.names.front()).c_str(),
                                    e2e::Utf8(r.names.back()).c_str());
  std::printf("\nprogress positions seen: %zu\n", r.positions.size());
  std::printf("longest answer to WM_NULL: %.1f ms over %ld probes\n", r.longest_answer_ms, r.probes);
  bool completed = false;
  for (const e2e::MessageBoxSeen& box : r.boxes) {
    std::printf("message box: [%s] %s (icon %s%s)\n", e2e::Utf8(box.caption).c_str(),
                e2e::Utf8(box.text).c_str(), IconName(box.icon),
                box.owned_by_dialog ? ", owned by the dialog" : "");
    if (box.text == completion &&
        (options.caption.empty() || box.caption == options.caption))
      completed = true;
  }
  if (!options.mid_screenshot.empty())
    std::printf("mid-run screenshot: %s\n", r.mid_screenshot_taken ? "taken" : "not taken");
  if (!options.box_screenshot.empty())
    std::printf("message box screenshot: %s\n", r.box_screenshot_taken ? "taken" : "not taken");
  const bool ok = r.exited && completed && r.boxes.size() == 1 && r.template_problems.empty();
  std::printf("result: %s\n", ok ? "completed" : "FAILED");
  return ok ? 0 : 1;
}
