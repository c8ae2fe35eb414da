// Drives the running framework sample from outside: finds its window and dialog, checks their
// texts as the system holds them, takes a screenshot of both into a BMP file and closes the
// sample. Prints what it saw; exits 0 when everything was as expected.
//
//   framework_sample_driver <screenshot.bmp>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/screenshot.h"

namespace {

std::wstring TextOf(HWND window) {
  wchar_t buffer[256] = {};
  GetWindowTextW(window, buffer, 256);
  return buffer;
}

std::string Utf8(const std::wstring& text) {
  char buffer[1024] = {};
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof(buffer), nullptr, nullptr);
  return buffer;
}

struct Found {
  HWND main = nullptr;
  HWND dialog = nullptr;
};

BOOL CALLBACK Look(HWND window, LPARAM param) {
  Found* found = reinterpret_cast<Found*>(param);
  wchar_t class_name[64] = {};
  GetClassNameW(window, class_name, 64);
  std::wstring title = TextOf(window);
  if (title == L"Kestrel framework sample" &&
      std::wstring(class_name) == L"QWF Basic Window Class")
    found->main = window;
  if (title == L"サンプル ダイアログ" && std::wstring(class_name) == L"#32770")
    found->dialog = window;
  return TRUE;
}

bool Check(bool ok, const char* what, const std::wstring& seen) {
  std::printf("%s %s: \"%s\"\n", ok ? "ok  " : "FAIL", what, Utf8(seen).c_str());
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: framework_sample_driver <screenshot.bmp>\n");
    return 2;
  }
  // Both windows are listed as soon as they exist, the dialog even while it
  // is still being created: wait until both are shown, too.
  Found found;
  auto ready = [&found] {
    return found.main && found.dialog && IsWindowVisible(found.main) &&
           IsWindowVisible(found.dialog);
  };
  for (int i = 0; i < 300 && !ready(); ++i) {
    found = Found();
    EnumWindows(&Look, reinterpret_cast<LPARAM>(&found));
    if (!ready()) Sleep(100);
  }
  bool ok = Check(found.main != nullptr, "main window", found.main ? TextOf(found.main) : L"");
  ok = Check(found.dialog != nullptr, "dialog", found.dialog ? TextOf(found.dialog) : L"") && ok;
  if (!ok) return 1;

  ok = Check(GetWindow(found.dialog, GW_OWNER) == found.main, "dialog owned by the window",
             TextOf(GetWindow(found.dialog, GW_OWNER))) && ok;
  ok = Check(IsWindowVisible(found.main) && IsWindowVisible(found.dialog), "both visible", L"") &&
       ok;
  std::wstring label = TextOf(GetDlgItem(found.main, 10));
  ok = Check(label == L"ウィンドウの中身", "window label", label) && ok;
  std::wstring name = TextOf(GetDlgItem(found.dialog, 1001));
  ok = Check(name == L"ファイル: 表示.dat", "dialog name line", name) && ok;
  std::wstring status = TextOf(GetDlgItem(found.dialog, 1002));
  ok = Check(status == L"更新しています…", "dialog status line", status) && ok;
  LRESULT position = SendMessageW(GetDlgItem(found.dialog, 1003), PBM_GETPOS, 0, 0);
  ok = Check(position == 40, "progress at 40", std::to_wstring(position)) && ok;
  // Let both finish painting, then photograph the area they cover.
  Sleep(700);
  RECT a, b, both;
  GetWindowRect(found.main, &a);
  GetWindowRect(found.dialog, &b);
  UnionRect(&both, &a, &b);
  ok = Check(testing_support::SaveScreen(both, argv[1]), "screenshot written", L"") && ok;

  PostMessageW(found.main, WM_CLOSE, 0, 0);
  return ok ? 0 : 1;
}
