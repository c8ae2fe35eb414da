// UpdateDialog: the updater's progress dialog (template 101), and the user interface the update
// run talks to. A status line, a progress bar and the name of the file or entry being
// processed; no buttons. Messages are shown in boxes owned by the dialog, captioned with the
// window title. Texts are cp932 and reach Windows through the wide API with code page 932, so
// a Western Windows shows the same Japanese.
#ifndef UPDATER_GUI_UPDATE_DIALOG_H_
#define UPDATER_GUI_UPDATE_DIALOG_H_

#include <string>

#include "engine/update_ui.h"
#include "framework/dialog.h"
#include "framework/module.h"

namespace updater {

class UpdateDialog : public QWF::Dialog, public UpdateUi {
 public:
  UpdateDialog() = default;
  // Closes the dialog when its window is still there.
  ~UpdateDialog() override;

  // Loads the theme library (uxtheme.dll) and looks up the procedure the initialisation
  // uses to give the dialog its themed background. Either may be missing.
  void LoadTheme();
  // Creates the modeless dialog from template 101, with no owner. False when it exists
  // already or cannot be created.
  bool Open();

  // WM_INITDIALOG: icon 102 on the caption, themed background, progress range 0 to 30000;
  // returns 1. Everything else: 0, the dialog manager's default.
  QWF::LResult HandleMessage(unsigned message, QWF::WParam wparam,
                             QWF::LParam lparam) override;
  // Frees the theme library, hides the dialog and destroys it.
  bool Destroy() override;

  // UpdateUi.
  void ShowName(const char* name) override;
  void SetStatus(const char* text) override;
  // Sets the bar and repaints it without erasing (the pump that follows draws it).
  void SetProgress(int position) override;
  // Services the queue; throws the failure signal when it meets WM_QUIT.
  void Pump() override;
  // A box owned by the dialog: type 0x10 for errors, 0x40 for information, 0x30 for
  // warnings, captioned with the window title (or the maker's caption).
  void ShowMessage(const char* text, MessageKind kind) override;
  // A box owned by the dialog, MB_RETRYCANCEL | MB_ICONWARNING: true for Retry.
  bool AskRetry(const char* text) override;
  // The maker's texts, UTF-8, reach Windows as UTF-16 whatever the system's
  // code page: the window's title and the boxes' caption, a message.
  void SetCaption(const std::string& utf8) override;
  void ShowMessageUtf8(const std::string& utf8, MessageKind kind) override;

 private:
  using ThemeProcedure = long(__stdcall*)(void* window, unsigned long flags);

  void Box(const std::wstring& text, MessageKind kind);
  // A box of `type` owned by the dialog; what MessageBoxW returns.
  int Box(const std::wstring& text, unsigned type);

  std::wstring caption_;  // empty: the window title of messages.h
  QWF::Module theme_library_;
  ThemeProcedure enable_theme_ = nullptr;
};

}  // namespace updater

#endif  // UPDATER_GUI_UPDATE_DIALOG_H_
