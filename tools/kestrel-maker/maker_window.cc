#include "maker_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "code_signing.h"
#include "file_dialogs.h"
#include "framework/application.h"
#include "foundation/kexcept.h"
#include "framework/settings.h"
#include "interrupt.h"
#include "maker_ids.h"
#include "maker_text.h"
#include "platform/process.h"

namespace kmaker {
namespace {

// The worker's report of its end, posted to the window.
constexpr unsigned kWorkEnded = WM_APP + 1;
// While the work runs, the log and the bar are brought up to date this
// often, however fast the worker reports.
constexpr UINT_PTR kRefreshTimer = 1;
constexpr unsigned kRefreshMillis = 50;

constexpr int kClientWidth = 640;
constexpr int kClientHeight = 600;
constexpr int kMargin = 12;
constexpr int kLabelWidth = 176;
constexpr int kRowHeight = 30;
constexpr int kFieldHeight = 23;
constexpr int kButtonWidth = 84;
constexpr int kFieldX = kMargin + kLabelWidth;
constexpr int kFieldWidth = kClientWidth - kFieldX - kMargin;

const char kSection[] = "Maker";

// The remembered fields and the settings value names they go under.
struct Remembered {
  int id;
  const char* name;
};
const Remembered kRemembered[] = {
    {kIdOld, "Old"},           {kIdNew, "New"},
    {kIdOutput, "Output"},     {kIdCaption, "Caption"},
    {kIdCompletion, "Completion"}, {kIdFromLabel, "FromLabel"},
    {kIdToLabel, "ToLabel"},   {kIdLanguage, "Language"},
    {kIdCertificate, "Certificate"},
};
const Remembered kRememberedChecks[] = {
    {kIdExactOrder, "ExactOrder"}, {kIdFollowLinks, "FollowLinks"}, {kIdSign, "Sign"}};

// Reports the worker's progress to the window's shared record.
class SharedReport : public MakerReport {
 public:
  SharedReport(std::mutex& lock, std::vector<std::string>& lines, int& progress)
      : lock_(lock), lines_(lines), progress_(progress) {}
  void Log(const std::string& line) override {
    std::lock_guard<std::mutex> hold(lock_);
    lines_.push_back(line);
  }
  void Progress(int permille) override {
    std::lock_guard<std::mutex> hold(lock_);
    progress_ = permille;
  }

 private:
  std::mutex& lock_;
  std::vector<std::string>& lines_;
  int& progress_;
};

// The folder the maker runs from (cp932, with its separator).
std::string ModuleDirectory() {
  QWF::Application* app = QWF::GetApplication();
  return app ? app->ModuleDirectory().Text() : "";
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

MakerWindow::~MakerWindow() {
  if (worker_.joinable()) {
    tools::RequestStop();
    worker_.join();
  }
  if (font_) DeleteObject(font_);
}

bool MakerWindow::Open() {
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT frame = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_ACCEPTFILES);
  if (!Create(nullptr, ToCp932(Say(Text::kTitle)).c_str(), style, WS_EX_ACCEPTFILES,
              CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
              nullptr, nullptr))
    return false;
  // The title in UTF-16, so it reads right on any system code page.
  SetWindowTextW(Handle(), Say(Text::kTitle));
  MakeControls();
  Recall();
  SetWorking(false);
  ShowWindow(Handle(), SW_SHOWNORMAL);
  UpdateWindow(Handle());
  SetFocus(Item(kIdOld));
  return true;
}

void MakerWindow::MakeControls() {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  font_ = CreateFontIndirectW(&metrics.lfMessageFont);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  auto make = [&](const wchar_t* kind, const wchar_t* text, DWORD style, int id, int x, int y,
                  int width, int height, DWORD ex_style = 0) {
    HWND control = CreateWindowExW(ex_style, kind, text, WS_CHILD | WS_VISIBLE | style, x, y,
                                   width, height, Handle(),
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                                   nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return control;
  };
  int label_id = kIdFirstLabel;
  auto label = [&](Text text, int x, int y, int width) {
    make(L"STATIC", Say(text), SS_LEFT | SS_CENTERIMAGE, label_id++, x, y, width, kFieldHeight);
  };
  auto edit = [&](int id, int x, int y, int width, DWORD extra = 0) {
    make(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL | extra, id, x, y, width, kFieldHeight,
         WS_EX_CLIENTEDGE);
  };
  auto button = [&](Text text, int id, int x, int y, int width, DWORD kind = BS_PUSHBUTTON) {
    make(L"BUTTON", Say(text), WS_TABSTOP | kind, id, x, y, width, kFieldHeight + 2);
  };

  int y = kMargin;
  const int path_width = kFieldWidth - kButtonWidth - 6;
  const struct {
    Text label;
    int field, browse;
  } paths[] = {{Text::kOld, kIdOld, kIdOldBrowse},
               {Text::kNew, kIdNew, kIdNewBrowse},
               {Text::kOutput, kIdOutput, kIdOutputBrowse}};
  for (const auto& path : paths) {
    label(path.label, kMargin, y, kLabelWidth - 6);
    edit(path.field, kFieldX, y, path_width);
    button(Text::kBrowse, path.browse, kFieldX + path_width + 6, y - 1, kButtonWidth);
    y += kRowHeight;
  }
  y += 8;
  const struct {
    Text label;
    int field;
  } texts[] = {{Text::kCaption, kIdCaption}, {Text::kCompletion, kIdCompletion}};
  for (const auto& text : texts) {
    label(text.label, kMargin, y, kLabelWidth - 6);
    edit(text.field, kFieldX, y, kFieldWidth);
    y += kRowHeight;
  }
  const int half = (kFieldWidth - kLabelWidth) / 2;
  label(Text::kFromLabel, kMargin, y, kLabelWidth - 6);
  edit(kIdFromLabel, kFieldX, y, half);
  label(Text::kToLabel, kFieldX + half + 12, y, kLabelWidth - 18);
  edit(kIdToLabel, kFieldX + half + kLabelWidth, y, kFieldWidth - half - kLabelWidth);
  y += kRowHeight;
  label(Text::kLanguage, kMargin, y, kLabelWidth - 6);
  make(WC_COMBOBOXW, L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN, kIdLanguage, kFieldX, y, 96,
       120);
  for (const wchar_t* language : {L"ja", L"en", L"auto"})
    SendMessageW(Item(kIdLanguage), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(language));
  make(L"STATIC", Say(Text::kLanguageChoices), SS_LEFT | SS_CENTERIMAGE, label_id++,
       kFieldX + 104, y, kFieldWidth - 104, kFieldHeight);
  y += kRowHeight + 4;

  button(Text::kExactOrder, kIdExactOrder, kMargin, y, 300, BS_AUTOCHECKBOX);
  button(Text::kFollowLinks, kIdFollowLinks, kMargin + 310, y, 200, BS_AUTOCHECKBOX);
  y += kRowHeight;
  const int certificate_width = kFieldWidth - kButtonWidth - 6 - 190;
  button(Text::kSign, kIdSign, kMargin, y, kLabelWidth - 6, BS_AUTOCHECKBOX);
  edit(kIdCertificate, kFieldX, y, certificate_width);
  button(Text::kBrowse, kIdCertificateBrowse, kFieldX + certificate_width + 6, y - 1,
         kButtonWidth);
  const int password_x = kFieldX + certificate_width + kButtonWidth + 12;
  label(Text::kPassword, password_x, y, 78);
  edit(kIdPassword, password_x + 80, y, kClientWidth - kMargin - password_x - 80, ES_PASSWORD);
  y += kRowHeight + 8;

  button(Text::kBuild, kIdBuild, kMargin, y, 120, BS_DEFPUSHBUTTON);
  button(Text::kTry, kIdTry, kMargin + 128, y, 120);
  button(Text::kCancel, kIdCancel, kMargin + 256, y, 120);
  y += kRowHeight + 6;
  make(PROGRESS_CLASSW, L"", 0, kIdProgress, kMargin, y, kClientWidth - 2 * kMargin, 18);
  SendMessageW(Item(kIdProgress), PBM_SETRANGE32, 0, 1000);
  y += 26;
  make(L"EDIT", L"",
       WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
       kIdLog, kMargin, y, kClientWidth - 2 * kMargin, kClientHeight - y - kMargin,
       WS_EX_CLIENTEDGE);
  // The log may hold more than an edit control's first 32 K characters.
  SendMessageW(Item(kIdLog), EM_SETLIMITTEXT, 0x7FFFFFFE, 0);

  signer_ = FindSigner();
  if (signer_.empty()) {
    CheckDlgButton(Handle(), kIdSign, BST_UNCHECKED);
    Show(Say(Text::kNoSigner));
  }
}

std::wstring MakerWindow::FieldText(int id) const {
  HWND field = Item(id);
  const int length = GetWindowTextLengthW(field);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(field, &text[0], length + 1)));
  return text;
}

void MakerWindow::Browse(int id) {
  std::wstring picked;
  switch (id) {
    case kIdOldBrowse:
      picked = PickFolder(Handle(), Say(Text::kPickOld), FieldText(kIdOld));
      id = kIdOld;
      break;
    case kIdNewBrowse:
      picked = PickFolder(Handle(), Say(Text::kPickNew), FieldText(kIdNew));
      id = kIdNew;
      break;
    case kIdOutputBrowse:
      picked = PickFile(Handle(), Say(Text::kPickOutput), FieldText(kIdOutput), true,
                        Say(Text::kProgramFiles), L"*.exe");
      id = kIdOutput;
      break;
    default:
      picked = PickFile(Handle(), Say(Text::kPickCertificate), FieldText(kIdCertificate), false,
                        Say(Text::kCertificateFiles), L"*.pfx;*.p12");
      id = kIdCertificate;
      break;
  }
  if (!picked.empty()) SetWindowTextW(Item(id), picked.c_str());
}

// A folder dropped on OLD or NEW fills that field; on the output field, a
// folder gets the updater's usual name inside it; a file dropped on the
// certificate field is the certificate. Dropped elsewhere, a folder fills
// OLD when it is empty, else NEW.
void MakerWindow::Dropped(HDROP drop) {
  const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  std::wstring path(length + 1, L'\0');
  DragQueryFileW(drop, 0, &path[0], length + 1);
  path.resize(length);
  POINT point = {};
  DragQueryPoint(drop, &point);
  DragFinish(drop);
  if (path.empty() || working_) return;
  HWND under = ChildWindowFromPointEx(Handle(), point, CWP_SKIPINVISIBLE);
  const int id = under && under != Handle() ? GetDlgCtrlID(under) : 0;
  const bool folder = IsFolder(path);
  int target = 0;
  if (id == kIdOutput || id == kIdOutputBrowse) {
    target = kIdOutput;
    if (folder) path += L"\\kestrel-update.exe";
  } else if (id == kIdCertificate || id == kIdCertificateBrowse) {
    if (!folder) target = kIdCertificate;
  } else if (!folder) {
    return;
  } else if (id == kIdNew || id == kIdNewBrowse) {
    target = kIdNew;
  } else if (id == kIdOld || id == kIdOldBrowse) {
    target = kIdOld;
  } else {
    target = GetWindowTextLengthW(Item(kIdOld)) == 0 ? kIdOld : kIdNew;
  }
  if (target) SetWindowTextW(Item(target), path.c_str());
}

void MakerWindow::Show(const std::wstring& line) {
  HWND log = Item(kIdLog);
  const std::wstring text = (GetWindowTextLengthW(log) > 0 ? L"\r\n" : L"") + line;
  const int end = GetWindowTextLengthW(log);
  SendMessageW(log, EM_SETSEL, end, end);
  SendMessageW(log, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

void MakerWindow::ShowPending() {
  std::vector<std::string> lines;
  int progress = 0;
  {
    std::lock_guard<std::mutex> hold(shared_.lock);
    lines.swap(shared_.lines);
    progress = shared_.progress;
  }
  if (!lines.empty()) {
    std::wstring text;
    for (const std::string& line : lines) text += (text.empty() ? L"" : L"\r\n") + FromCp932(line);
    Show(text);
  }
  SendMessageW(Item(kIdProgress), PBM_SETPOS, progress, 0);
}

void MakerWindow::SetWorking(bool working) {
  working_ = working;
  for (int id = kIdOld; id <= kIdTry; ++id) EnableWindow(Item(id), !working);
  if (!working && signer_.empty()) {
    EnableWindow(Item(kIdSign), FALSE);
    EnableWindow(Item(kIdCertificate), FALSE);
    EnableWindow(Item(kIdCertificateBrowse), FALSE);
    EnableWindow(Item(kIdPassword), FALSE);
  }
  EnableWindow(Item(kIdCancel), working);
  if (working) {
    SetTimer(kRefreshTimer, kRefreshMillis, nullptr);
    SetFocus(Item(kIdCancel));
  } else {
    KillTimer(kRefreshTimer);
  }
}

void MakerWindow::Start(bool try_it) {
  MakerJob job;
  // Paths go through the seam as cp932; the manifest keeps its texts in UTF-8.
  struct {
    int id;
    std::string* to;
  } paths[] = {{kIdOld, &job.old_dir},
               {kIdNew, &job.new_dir},
               {kIdOutput, &job.output},
               {kIdCertificate, &job.certificate},
               {kIdPassword, &job.password}},
    texts[] = {{kIdCaption, &job.manifest.caption},
               {kIdCompletion, &job.manifest.completion_text},
               {kIdFromLabel, &job.manifest.from_label},
               {kIdToLabel, &job.manifest.to_label},
               {kIdLanguage, &job.manifest.language}};
  for (const auto& field : paths) {
    bool ok = true;
    const std::wstring text = FieldText(field.id);
    *field.to = ToCp932(text, &ok);
    if (!ok) {
      const std::wstring message = Say(Text::kNotCp932) + text;
      Show(message);
      MessageBoxW(Handle(), message.c_str(), Say(Text::kTitle), MB_OK | MB_ICONERROR);
      return;
    }
  }
  for (const auto& field : texts) *field.to = ToUtf8(FieldText(field.id));
  if (job.old_dir.empty() || job.new_dir.empty() || job.output.empty()) {
    MessageBoxW(Handle(), Say(Text::kNeedFolders), Say(Text::kTitle), MB_OK | MB_ICONERROR);
    return;
  }
  job.exact_order = IsDlgButtonChecked(Handle(), kIdExactOrder) == BST_CHECKED;
  job.follow_links = IsDlgButtonChecked(Handle(), kIdFollowLinks) == BST_CHECKED;
  if (!signer_.empty() && IsDlgButtonChecked(Handle(), kIdSign) == BST_CHECKED) {
    if (job.certificate.empty()) {
      MessageBoxW(Handle(), Say(Text::kNeedCertificate), Say(Text::kTitle),
                  MB_OK | MB_ICONERROR);
      return;
    }
    job.signer = signer_;
  }
  job.stub = ModuleDirectory() + "kestrel-update.exe";
  if (!try_it && GetFileAttributesW(FromCp932(job.stub).c_str()) == INVALID_FILE_ATTRIBUTES) {
    const std::wstring message = Say(Text::kNoStub) + FromCp932(ModuleDirectory());
    Show(message);
    MessageBoxW(Handle(), message.c_str(), Say(Text::kTitle), MB_OK | MB_ICONERROR);
    return;
  }
  Remember();

  Show(L"");
  Show(Say(try_it ? Text::kTrying : Text::kBuilding));
  output_ = job.output;
  trying_ = try_it;
  error_.clear();
  {
    std::lock_guard<std::mutex> hold(shared_.lock);
    shared_.lines.clear();
    shared_.progress = 0;
  }
  SendMessageW(Item(kIdProgress), PBM_SETPOS, 0, 0);
  tools::ClearStopRequest();
  SetWorking(true);
  HWND window = Handle();
  worker_ = std::thread([this, job, try_it, window] {
    SharedReport report(shared_.lock, shared_.lines, shared_.progress);
    std::string error;
    Outcome outcome = Outcome::kFailed;
    try {
      outcome = try_it ? TryUpdater(job, report, &error) : MakeUpdater(job, report, &error);
    } catch (const std::bad_alloc&) {
      error = "out of memory";
    } catch (const zorl::KExcept&) {
      error = "a file could not be read or written";
    }
    {
      std::lock_guard<std::mutex> hold(shared_.lock);
      outcome_ = outcome;
      error_ = error;
    }
    PostMessageW(window, kWorkEnded, 0, 0);
  });
}

void MakerWindow::Finished() {
  worker_.join();
  ShowPending();
  SetWorking(false);
  switch (outcome_) {
    case Outcome::kDone:
      Show(trying_ ? std::wstring(Say(Text::kTried))
                   : std::wstring(Say(Text::kBuilt)) + FromCp932(output_));
      break;
    case Outcome::kCancelled:
      SendMessageW(Item(kIdProgress), PBM_SETPOS, 0, 0);
      Show(Say(Text::kCancelled));
      break;
    case Outcome::kFailed: {
      const std::wstring message = Say(Text::kFailed) + FromCp932(error_);
      Show(message);
      if (!close_when_done_)
        MessageBoxW(Handle(), message.c_str(), Say(Text::kTitle), MB_OK | MB_ICONERROR);
      break;
    }
  }
  if (close_when_done_) DestroyWindow(Handle());
}

void MakerWindow::Remember() {
  for (const Remembered& field : kRemembered)
    QWF::WriteSettingString(kSection, field.name, ToCp932(FieldText(field.id)).c_str());
  for (const Remembered& check : kRememberedChecks)
    QWF::WriteSettingInteger(kSection, check.name,
                             IsDlgButtonChecked(Handle(), check.id) == BST_CHECKED);
}

void MakerWindow::Recall() {
  for (const Remembered& field : kRemembered)
    SetWindowTextW(Item(field.id),
                   FromCp932(QWF::ReadSettingString(kSection, field.name,
                                                    field.id == kIdLanguage ? "ja" : "")
                                 .Text())
                       .c_str());
  for (const Remembered& check : kRememberedChecks)
    CheckDlgButton(Handle(), check.id,
                   QWF::ReadSettingInteger(kSection, check.name, 0) ? BST_CHECKED : BST_UNCHECKED);
  if (signer_.empty()) CheckDlgButton(Handle(), kIdSign, BST_UNCHECKED);
}

QWF::LResult MakerWindow::HandleMessage(unsigned message, QWF::WParam wparam,
                                        QWF::LParam lparam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wparam) != BN_CLICKED) break;
      switch (LOWORD(wparam)) {
        case kIdOldBrowse:
        case kIdNewBrowse:
        case kIdOutputBrowse:
        case kIdCertificateBrowse:
          if (!working_) Browse(LOWORD(wparam));
          return 0;
        case kIdBuild:
          if (!working_) Start(false);
          return 0;
        case kIdTry:
          if (!working_) Start(true);
          return 0;
        case kIdCancel:
          if (working_) tools::RequestStop();
          return 0;
      }
      break;
    case WM_ERASEBKGND: {
      // The face colour of dialogs, which the labels and boxes are drawn on.
      RECT client;
      GetClientRect(Handle(), &client);
      FillRect(reinterpret_cast<HDC>(wparam), &client, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_DROPFILES:
      Dropped(reinterpret_cast<HDROP>(wparam));
      return 0;
    case WM_TIMER:
      if (wparam == kRefreshTimer) {
        ShowPending();
        return 0;
      }
      break;
    case kWorkEnded:
      Finished();
      return 0;
    case WM_CLOSE:
      // Closing during the work cancels it first; the window goes when the
      // worker has cleaned up.
      if (working_) {
        close_when_done_ = true;
        tools::RequestStop();
        return 0;
      }
      Remember();
      DestroyWindow(Handle());
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return Window::HandleMessage(message, wparam, lparam);
}

}  // namespace kmaker
