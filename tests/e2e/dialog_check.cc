#include "dialog_check.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "window_text.h"

namespace e2e {

const wchar_t kTitle[] = L"Kestrel アップデータ";

namespace {

std::string Hex(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", value);
  return text;
}

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

}  // namespace

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

namespace {

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

}  // namespace

// The live dialog against the table: caption, styles, classes, the bar's range,
// and every item where the same template puts it in a dialog of our own.
void CheckLiveDialog(HWND dialog, const std::vector<BYTE>& tmpl,
                     std::vector<std::string>* problems, const std::wstring& caption) {
  auto problem = [problems](const std::string& what) { problems->push_back(what); };
  const std::wstring shown = TextOf(dialog);
  if (shown != kTitle && (caption.empty() || shown != caption))
    problem("caption \"" + Utf8(shown) + "\"");
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

}  // namespace e2e
