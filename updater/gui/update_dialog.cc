#include "update_dialog.h"

#include <windows.h>
#include <commctrl.h>

#include "engine/messages.h"
#include "framework/application.h"
#include "framework/message_pump.h"
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

void UpdateDialog::ShowMessage(const char* text, MessageKind kind) {
  unsigned type = MB_ICONINFORMATION;
  if (kind == MessageKind::kError) type = MB_ICONHAND | MB_OK;
  if (kind == MessageKind::kWarning) type = MB_ICONWARNING | MB_OK;
  MessageBox(text, kWindowTitle, type);
}

bool UpdateDialog::AskRetry(const char* text) {
  return MessageBox(text, kWindowTitle, MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY;
}

}  // namespace updater
