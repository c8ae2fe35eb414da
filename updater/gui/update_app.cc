#include "update_app.h"

#include "engine/messages.h"
#include "engine/update_run.h"
#include "framework/application.h"
#include "framework/entry.h"
#include "platform/filesystem.h"
#include "platform/process.h"

namespace updater {

bool RunUpdateDialog(UpdateDialog& dialog) {
  dialog.LoadTheme();
  if (!dialog.Open()) {  // also when it has a window already
    QWF::Window().MessageBox(kMsgOutOfMemory, kWindowTitle, 0);
    return false;
  }
  // The payload is the executable's own image; the game is the folder it stands in.
  char own_path[platform::kMaxPath] = {};
  platform::GetModulePath(own_path, sizeof own_path);
  QWF::Application* app = QWF::GetApplication();
  const char* game_dir = app ? app->ModuleDirectory().Text() : "";
  const bool completed = RunUpdate(dialog, own_path, game_dir);
  dialog.Destroy();
  return completed;
}

}  // namespace updater

// The application's main function: reads no command line; its result does not depend on how
// the update went.
int ApplicationMain() {
  updater::UpdateDialog dialog;
  updater::RunUpdateDialog(dialog);
  return 0;
}
