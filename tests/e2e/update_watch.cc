#include "update_watch.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <set>

namespace e2e {
namespace {

constexpr int kIdProgress = 1001;
constexpr int kIdName = 1002;
constexpr int kIdStatus = 1003;
constexpr int kRange = 30000;
const wchar_t kTitle[] = L"Kestrel アップデータ";
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

std::wstring TextOf(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int got = GetWindowTextW(window, &text[0], length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  return name;
}

bool SameNoCase(const std::wstring& a, const std::wstring& b) {
  return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

std::string Hex(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", value);
  return text;
}

LRESULT SendTimed(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL, 10000, &result);
  return static_cast<LRESULT>(result);
}

struct Windows {
  DWORD process = 0;
  HWND dialog = nullptr;
  std::vector<HWND> boxes;
};

BOOL CALLBACK Collect(HWND window, LPARAM param) {
  Windows* found = reinterpret_cast<Windows*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != found->process || ClassOf(window) != L"#32770") return TRUE;
  if (GetDlgItem(window, kIdProgress)) {
    found->dialog = window;
  } else if (GetDlgItem(window, 0xFFFF)) {
    found->boxes.push_back(window);
  }
  return TRUE;
}

// --- the template in the executable ---------------------------------------------------

struct ItemSpec {
  int id;
  const wchar_t* cls;  // L"Static" is also accepted as the ordinal 0x0082
  unsigned long style;
  short x, y, cx, cy;
  const wchar_t* text;
};
const ItemSpec kItems[] = {
    {kIdStatus, L"Static", 0x50020000, 7, 7, 173, 8, L"アップデート中"},
    {kIdProgress, L"msctls_progress32", 0x50800001, 7, 19, 173, 14, L""},
    {kIdName, L"Static", 0x50020000, 15, 41, 165, 8, L""},
};
constexpr unsigned long kDialogStyle = 0x90C008C8;

class Reader {
 public:
  Reader(const BYTE* data, size_t size) : p_(data), end_(data + size), start_(data) {}
  bool ok() const { return ok_; }
  WORD Word() {
    if (p_ + 2 > end_) return ok_ = false, 0;
    WORD v;
    std::memcpy(&v, p_, 2);
    p_ += 2;
    return v;
  }
  DWORD Dword() {
    DWORD lo = Word();
    return lo | (static_cast<DWORD>(Word()) << 16);
  }
  BYTE Byte() {
    if (p_ + 1 > end_) return ok_ = false, 0;
    return *p_++;
  }
  // sz_Or_Ord: "" for none, "#<n>" for an ordinal, else the string.
  std::wstring SzOrOrd() {
    WORD first = Word();
    if (first == 0) return L"";
    if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
    std::wstring text(1, static_cast<wchar_t>(first));
    for (WORD c; ok_ && (c = Word()) != 0;) text += static_cast<wchar_t>(c);
    return text;
  }
  void AlignDword() {
    while ((p_ - start_) % 4) ++p_;
  }
  void Skip(size_t n) { p_ += n; }

 private:
  const BYTE* p_;
  const BYTE* end_;
  const BYTE* start_;
  bool ok_ = true;
};

void CheckTemplate(const std::wstring& exe, std::vector<std::string>* problems,
                   std::vector<BYTE>* copy) {
  auto problem = [problems](const std::string& what) { problems->push_back(what); };
  HMODULE module = LoadLibraryExW(exe.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return problem("the executable cannot be read for its resources");
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(101), RT_DIALOG);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  if (!data) {
    FreeLibrary(module);
    return problem("no dialog template 101");
  }
  copy->assign(data, data + SizeofResource(module, found));
  if (!FindResourceW(module, MAKEINTRESOURCEW(102), RT_GROUP_ICON))
    problem("no icon group 102");
  FreeLibrary(module);

  Reader r(copy->data(), copy->size());
  if (r.Word() != 1 || r.Word() != 0xFFFF) return problem("template 101 is not a DIALOGEX");
  r.Dword();  // help id
  r.Dword();  // extended style
  DWORD style = r.Dword();
  if (style != kDialogStyle) problem("template style " + Hex(style));
  WORD count = r.Word();
  short x = static_cast<short>(r.Word()), y = static_cast<short>(r.Word());
  short cx = static_cast<short>(r.Word()), cy = static_cast<short>(r.Word());
  if (x != 0 || y != 0 || cx != 187 || cy != 56) problem("template size is not 187 x 56");
  if (!r.SzOrOrd().empty()) problem("template has a menu");
  if (!r.SzOrOrd().empty()) problem("template has a window class");
  std::wstring caption = r.SzOrOrd();
  if (caption != kTitle) problem("template caption \"" + Utf8(caption) + "\"");
  WORD points = r.Word();
  r.Word();  // weight
  r.Byte();  // italic
  r.Byte();  // character set
  std::wstring face = r.SzOrOrd();
  if (points != 9 || face != L"MS Shell Dlg")
    problem("template font " + Utf8(face) + " " + std::to_string(points));
  if (count != 3) return problem("template has " + std::to_string(count) + " items");
  for (const ItemSpec& want : kItems) {
    r.AlignDword();
    r.Dword();  // help id
    r.Dword();  // extended style
    DWORD item_style = r.Dword();
    short ix = static_cast<short>(r.Word()), iy = static_cast<short>(r.Word());
    short icx = static_cast<short>(r.Word()), icy = static_cast<short>(r.Word());
    DWORD id = r.Dword();
    std::wstring cls = r.SzOrOrd();
    std::wstring text = r.SzOrOrd();
    r.Skip(r.Word());  // creation data
    std::string which = "template item " + std::to_string(want.id);
    if (static_cast<int>(id) != want.id) problem(which + ": found id " + std::to_string(id));
    bool static_class = SameNoCase(want.cls, L"Static");
    if (!SameNoCase(cls, want.cls) && !(static_class && cls == L"#130"))
      problem(which + ": class " + Utf8(cls));
    if (item_style != want.style) problem(which + ": style " + Hex(item_style));
    if (ix != want.x || iy != want.y || icx != want.cx || icy != want.cy)
      problem(which + ": position " + std::to_string(ix) + "," + std::to_string(iy) + " " +
              std::to_string(icx) + "x" + std::to_string(icy));
    if (text != want.text) problem(which + ": text \"" + Utf8(text) + "\"");
  }
  if (!r.ok()) problem("template 101 is cut short");
}

INT_PTR CALLBACK TwinProcedure(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG;
}

RECT ItemRect(HWND dialog, int id) {
  RECT r = {};
  HWND item = GetDlgItem(dialog, id);
  GetWindowRect(item, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The live dialog against the table: caption, styles, classes, the bar's range,
// and every item where the same template puts it in a dialog of our own.
void CheckLiveDialog(HWND dialog, const std::vector<BYTE>& tmpl,
                     std::vector<std::string>* problems) {
  auto problem = [problems](const std::string& what) { problems->push_back(what); };
  if (TextOf(dialog) != kTitle) problem("caption \"" + Utf8(TextOf(dialog)) + "\"");
  DWORD style = static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE));
  if ((style & kDialogStyle) != kDialogStyle || (style & (WS_SYSMENU | WS_THICKFRAME)))
    problem("dialog style " + Hex(style));
  if (GetParent(dialog) || GetWindow(dialog, GW_OWNER)) problem("the dialog has an owner");
  // (Its icon cannot be asked from outside: Wine answers WM_GETICON only inside the
  // process. tests/updater/gui checks it from within.)
  for (const ItemSpec& want : kItems) {
    HWND item = GetDlgItem(dialog, want.id);
    if (!item) problem("item " + std::to_string(want.id) + " missing");
    else if (!SameNoCase(ClassOf(item), want.cls))
      problem("item " + std::to_string(want.id) + ": class " + Utf8(ClassOf(item)));
  }
  HWND bar = GetDlgItem(dialog, kIdProgress);
  LRESULT low = SendTimed(bar, PBM_GETRANGE, TRUE, 0), high = SendTimed(bar, PBM_GETRANGE, FALSE, 0);
  if (low != 0 || high != kRange)
    problem("progress range " + std::to_string(low) + " to " + std::to_string(high));

  if (tmpl.size() < 16) return;
  std::vector<BYTE> hidden = tmpl;
  DWORD twin_style;
  std::memcpy(&twin_style, &hidden[12], 4);
  twin_style &= ~static_cast<DWORD>(WS_VISIBLE);
  std::memcpy(&hidden[12], &twin_style, 4);
  HWND twin = CreateDialogIndirectParamW(
      GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(hidden.data()), nullptr,
      &TwinProcedure, 0);
  if (!twin) return problem("the template cannot be made into a dialog here");
  RECT live_client, twin_client;
  GetClientRect(dialog, &live_client);
  GetClientRect(twin, &twin_client);
  if (!EqualRect(&live_client, &twin_client)) problem("dialog client size differs from the template's");
  // The live items against the twin's: the controls adjust their own styles when created
  // (a themed progress bar trades WS_BORDER for an edge), the same way in both.
  for (const ItemSpec& want : kItems) {
    std::string which = "item " + std::to_string(want.id);
    RECT live = ItemRect(dialog, want.id), expected = ItemRect(twin, want.id);
    if (!EqualRect(&live, &expected)) problem(which + ": not where the template puts it");
    DWORD live_style = static_cast<DWORD>(GetWindowLongW(GetDlgItem(dialog, want.id), GWL_STYLE));
    DWORD twin_style = static_cast<DWORD>(GetWindowLongW(GetDlgItem(twin, want.id), GWL_STYLE));
    if (live_style != twin_style)
      problem(which + ": style " + Hex(live_style) + ", the template's makes " + Hex(twin_style));
  }
  DestroyWindow(twin);
}

BOOL CALLBACK FindIconControl(HWND child, LPARAM param) {
  if (SameNoCase(ClassOf(child), L"Static") &&
      (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
    *reinterpret_cast<HWND*>(param) = child;
    return FALSE;
  }
  return TRUE;
}

// 32-bit pixels (0x00RRGGBB, top row first) of a DIB section, and its device context.
struct Pixels {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  DWORD* bits = nullptr;
  Pixels(int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    void* memory = nullptr;
    bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    ReleaseDC(nullptr, screen);
    bits = static_cast<DWORD*>(memory);
    old = SelectObject(dc, bitmap);
  }
  ~Pixels() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
};

bool Near(DWORD a, DWORD b) {
  for (int shift : {0, 8, 16}) {
    int x = static_cast<int>((a >> shift) & 0xFF), y = static_cast<int>((b >> shift) & 0xFF);
    if (x - y > 8 || y - x > 8) return false;
  }
  return true;
}

// Which icon the box shows. Icon handles are the showing process's own, so the icon is read
// off the screen and compared with the system's hand and information icons drawn here on the
// same background.
BoxIcon IconOf(HWND box) {
  HWND control = nullptr;
  EnumChildWindows(box, &FindIconControl, reinterpret_cast<LPARAM>(&control));
  if (!control || !IsWindowVisible(control)) return BoxIcon::kNone;
  RECT r = {};
  GetWindowRect(control, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return BoxIcon::kNone;
  Pixels shown(width, height);
  HDC screen = GetDC(nullptr);
  BitBlt(shown.dc, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  GdiFlush();
  const DWORD background = shown.bits[0] & 0xFFFFFF;
  BoxIcon best = BoxIcon::kOther;
  long best_differences = static_cast<long>(width) * height;
  const std::pair<BoxIcon, LPCWSTR> candidates[] = {{BoxIcon::kHand, IDI_HAND},
                                                    {BoxIcon::kInformation, IDI_ASTERISK}};
  for (const auto& candidate : candidates) {
    Pixels drawn(width, height);
    HBRUSH brush = CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF,
                                        background & 0xFF));
    RECT all = {0, 0, width, height};
    FillRect(drawn.dc, &all, brush);
    DeleteObject(brush);
    DrawIconEx(drawn.dc, 0, 0, LoadIconW(nullptr, candidate.second), 0, 0, 0, nullptr, DI_NORMAL);
    GdiFlush();
    long differences = 0;
    for (long i = 0; i < static_cast<long>(width) * height; ++i)
      if (!Near(shown.bits[i] & 0xFFFFFF, drawn.bits[i] & 0xFFFFFF)) ++differences;
    if (differences < best_differences) {
      best_differences = differences;
      best = candidate.first;
    }
  }
  // An icon is mostly not background: a match leaves few pixels apart.
  return best_differences * 20 <= static_cast<long>(width) * height ? best : BoxIcon::kOther;
}

bool SaveScreen(const RECT& r, const std::wstring& path) {
  int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  DWORD stride = ((width * 3 + 3) / 4) * 4;
  DWORD image_size = stride * height;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
  file.bfSize = file.bfOffBits + image_size;
  info.bmiHeader.biSizeImage = image_size;
  bool ok = false;
  if (FILE* out = _wfopen(path.c_str(), L"wb")) {
    ok = std::fwrite(&file, sizeof(file), 1, out) == 1 &&
         std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out) == 1 &&
         std::fwrite(bits, 1, image_size, out) == image_size;
    ok = std::fclose(out) == 0 && ok;
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

RECT Around(HWND a, HWND b) {
  RECT ra = {}, rb = {}, both = {};
  GetWindowRect(a, &ra);
  if (b) {
    GetWindowRect(b, &rb);
    UnionRect(&both, &ra, &rb);
  } else {
    both = ra;
  }
  InflateRect(&both, 8, 8);
  both.left = both.left < 0 ? 0 : both.left;
  both.top = both.top < 0 ? 0 : both.top;
  return both;
}

template <class T>
void AddChanged(std::vector<T>* seen, const T& value) {
  if (seen->empty() || seen->back() != value) seen->push_back(value);
}

}  // namespace

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return "";
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                 nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size,
                      nullptr, nullptr);
  return out;
}

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
  DecorateUnderWine(options.exe.substr(options.exe.find_last_of(L"\\/") + 1));
  std::wstring dir = options.exe.substr(0, options.exe.find_last_of(L"\\/"));
  std::wstring command = L"\"" + options.exe + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const double start = Now();
  if (!CreateProcessW(options.exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                      dir.c_str(), &startup, &process))
    return result;
  result.started = true;

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
    Windows found;
    found.process = process.dwProcessId;
    EnumWindows(&Collect, reinterpret_cast<LPARAM>(&found));

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
        CheckLiveDialog(found.dialog, tmpl, &result.template_problems);
      }
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
        result.mid_screenshot_taken = SaveScreen(Around(found.dialog, nullptr), options.mid_screenshot);
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
      seen.status = status;
      seen.name = name;
      seen.position = position;
      result.boxes.push_back(seen);
      if (!options.box_screenshot.empty() && !result.box_screenshot_taken)
        result.box_screenshot_taken =
            SaveScreen(Around(box, found.dialog), options.box_screenshot);
      handled.insert(box);
      PostMessageW(box, WM_COMMAND, IDOK, 0);
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
