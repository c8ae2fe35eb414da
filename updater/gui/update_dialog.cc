#include "update_dialog.h"

#include <windows.h>
#include <commctrl.h>

#include "engine/messages.h"
#include "framework/application.h"
#include "framework/message_pump.h"
#include "platform/wide.h"
#include "updater_resources.h"

namespace updater {

namespace {

constexpr unsigned kEnableTheme = 2;  // ETDT_ENABLE

}  // namespace

UpdateDialog::~UpdateDialog() {
  if (Handle()) Destroy();
}

void UpdateDialog::LoadTheme() {
  if (theme_library_.Handle() || theme_library_.Load("uxtheme.dll", 0)) {
    enable_theme_ = reinterpret_cast<ThemeProcedure>(
        theme_library_.ProcAddress("EnableThemeDialogTexture"));
  }
}

bool UpdateDialog::Open() { return QWF::CreateDialog(IDD_UPDATE, nullptr, this, false); }

QWF::LResult UpdateDialog::HandleMessage(unsigned message, QWF::WParam, QWF::LParam) {
  if (message != WM_INITDIALOG) return 0;
  QWF::Application* app = QWF::GetApplication();
  HICON icon = LoadIconW(app ? app->Instance() : GetModuleHandleW(nullptr),
                         MAKEINTRESOURCEW(IDI_UPDATER));
  if (enable_theme_) enable_theme_(Handle(), kEnableTheme);
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<QWF::LParam>(icon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<QWF::LParam>(icon));
  SendItemMessage(IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressRange));
  return 1;
}

bool UpdateDialog::Destroy() {
  enable_theme_ = nullptr;
  theme_library_.Detach();
  Hide();
  return Dialog::Destroy();
}

void UpdateDialog::ShowName(const char* name) { DialogItem(IDC_NAME).SetText(name); }

void UpdateDialog::SetStatus(const char* text) { DialogItem(IDC_STATUS).SetText(text); }

void UpdateDialog::SetProgress(int position) {
  SendItemMessage(IDC_PROGRESS, PBM_SETPOS, static_cast<QWF::WParam>(position), 0);
  DialogItem(IDC_PROGRESS).Invalidate(nullptr, false);
}

void UpdateDialog::Pump() {
  if (!QWF::PumpPendingMessages(this)) throw kFailureSignal;
}

namespace {

std::wstring FromUtf8(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                    nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
  return wide;
}

unsigned BoxType(MessageKind kind) {
  switch (kind) {
    case MessageKind::kError: return MB_ICONHAND | MB_OK;
    case MessageKind::kWarning: return MB_ICONWARNING | MB_OK;
    case MessageKind::kInformation: break;
  }
  return MB_ICONINFORMATION;
}

}  // namespace

void UpdateDialog::Box(const std::wstring& text, MessageKind kind) { Box(text, BoxType(kind)); }

int UpdateDialog::Box(const std::wstring& text, unsigned type) {
  const std::wstring caption = caption_.empty() ? platform::Widen(kWindowTitle) : caption_;
  return MessageBoxW(reinterpret_cast<HWND>(Handle()), text.c_str(), caption.c_str(), type);
}

void UpdateDialog::ShowMessage(const char* text, MessageKind kind) {
  Box(platform::Widen(text), kind);
}

bool UpdateDialog::AskRetry(const char* text) {
  return Box(platform::Widen(text), MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY;
}

void UpdateDialog::SetCaption(const std::string& utf8) {
  caption_ = FromUtf8(utf8);
  if (Handle() && !caption_.empty())
    SetWindowTextW(reinterpret_cast<HWND>(Handle()), caption_.c_str());
}

void UpdateDialog::ShowMessageUtf8(const std::string& utf8, MessageKind kind) {
  Box(FromUtf8(utf8), kind);
}

}  // namespace updater
