#include "update_app.h"

#include <windows.h>
#include "framework/no_win32_macros.h"

#include <cstdio>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "engine/path_resolve.h"
#include "engine/run_log.h"
#include "engine/silent_ui.h"
#include "framework/application.h"
#include "framework/entry.h"
#include "platform/elevation.h"
#include "platform/fault.h"
#include "platform/filesystem.h"
#include "platform/process.h"

namespace updater {

namespace {

// The payload is the executable's own image; the game is the folder it stands in.
struct Place {
  char exe[platform::kMaxPath] = {};
  const char* game_dir = "";
  Place() {
    platform::GetModulePath(exe, sizeof exe);
    QWF::Application* app = QWF::GetApplication();
    if (app) game_dir = app->ModuleDirectory().Text();
  }
};

// A relative log name against the working directory: a relaunched updater may start in
// another folder and must write the same file.
std::string AbsoluteLogPath(const std::string& path) {
  char dir[platform::kMaxPath];
  if (path.empty() || !platform::GetWorkingDirectory(dir, sizeof dir)) return path;
  return ResolvedPath(dir, path.c_str());
}

// What the run does when the journal folder is refused for lack of rights.
class Elevation {
 public:
  Elevation(const UpdaterSwitches& switches, RunLog& log, const char* exe)
      : switches_(switches), log_(log), exe_(exe) {}

  // Starts the updater again with administrator rights and waits for it (the dialog hidden
  // meanwhile: the new process shows its own). False when it must not or cannot.
  bool Relaunch(UpdateUi& ui, UpdateDialog* dialog) {
    if (switches_.elevated || platform::IsElevated()) return false;
    const std::string arguments = RelaunchArguments(switches_);
    log_.Text("relaunch", "the folder needs administrator rights: " + std::string(exe_) + " " +
                              arguments);
    // The relaunched updater continues this log; it must not write beside an open handle.
    log_.Close();
    if (dialog) dialog->Hide();
    platform::ElevatedRun result = platform::ElevatedRun::kFailed;
    int code = -1;
    ui.WaitPumping([&] {
      result = platform::RunElevated(exe_, arguments.c_str(), &code);
      return true;
    });
    if (!switches_.log_path.empty()) log_.Open(switches_.log_path.c_str(), true);
    switch (result) {
      case platform::ElevatedRun::kFinished:
        log_.Line("relaunch: the updater with administrator rights ended with exit status " +
                  std::to_string(code));
        status_ = code;
        return true;
      case platform::ElevatedRun::kDeclined:
        if (dialog) dialog->Show(SW_SHOW);
        ui.ShowMessage(ui.Text(kMsgNeedsAdministrator), MessageKind::kError);
        status_ = kExitElevationDeclined;
        return true;
      case platform::ElevatedRun::kFailed:
        break;
    }
    log_.Line("relaunch: the updater could not be started with administrator rights");
    if (dialog) dialog->Show(SW_SHOW);
    return false;
  }
  // The exit status the relaunch decided, -1 when there was none.
  int status() const { return status_; }

 private:
  const UpdaterSwitches& switches_;
  RunLog& log_;
  const char* exe_;
  int status_ = -1;
};

}  // namespace

bool RunUpdateDialog(UpdateDialog& dialog, const RunOptions& options) {
  dialog.LoadTheme();
  if (!dialog.Open()) {  // also when it has a window already
    QWF::Window().MessageBox(kMsgOutOfMemory, kWindowTitle, 0);
    return false;
  }
  Place place;
  const bool completed = RunUpdate(dialog, place.exe, place.game_dir, options);
  dialog.Destroy();
  return completed;
}

int RunUpdater(const UpdaterSwitches& given) {
  UpdaterSwitches switches = given;
  if (!switches.unknown.empty()) {
    if (!switches.silent) {
      char text[2048];
      std::snprintf(text, sizeof text, kMsgUsage, switches.unknown.c_str());
      QWF::Window().MessageBox(text, kWindowTitle, MB_ICONWARNING | MB_OK);
    }
    return kExitUsage;
  }
  switches.log_path = AbsoluteLogPath(switches.log_path);
  Place place;
  RunLog log;
  if (!switches.log_path.empty()) {
    log.Open(switches.log_path.c_str(), switches.elevated);
    log.Text("kestrel-update", switches.elevated ? "started again with administrator rights"
                                                 : "started");
    log.Text("updater", place.exe);
    log.Text("game folder", place.game_dir);
    log.Line(std::string("mode: ") + (switches.silent ? "silent" : "dialog"));
    log.Line("version check: none (the payload carries no version manifest)");
  }
  Elevation elevation(switches, log, place.exe);
  RunStatus status = RunStatus::kFailed;
  RunOptions options;
  options.status = &status;
  options.in_use = [&log](const FilesInUse& found) {
    for (const std::string& file : found.files) log.Text("in use", file);
    for (const std::string& program : found.programs) log.Text("held by", program);
  };

  if (switches.silent) {
    SilentUi silent;
    LoggingUi ui(silent, log);
    options.folder_refused = [&](UpdateUi& run) { return elevation.Relaunch(run, nullptr); };
    RunUpdate(ui, place.exe, place.game_dir, options);
  } else {
    UpdateDialog dialog;
    LoggingUi ui(dialog, log);
    options.folder_refused = [&](UpdateUi& run) { return elevation.Relaunch(run, &dialog); };
    dialog.LoadTheme();
    if (!dialog.Open()) {
      QWF::Window().MessageBox(kMsgOutOfMemory, kWindowTitle, 0);
      log.Text("error", kMsgOutOfMemory);
      return kExitFailed;
    }
    RunUpdate(ui, place.exe, place.game_dir, options);
    dialog.Destroy();
  }
  int exit_status = ExitStatusOf(status);
  if (status == RunStatus::kFolderRefused && elevation.status() >= 0)
    exit_status = elevation.status();
  log.Line(std::string("result: ") + RunStatusName(status) + ", exit status " +
           std::to_string(exit_status));
  return exit_status;
}

}  // namespace updater

// The application's main function: the command line's switches, then the run; the exit
// status says how it went.
int ApplicationMain() {
  // Black-box tests arm the seam's faults through the environment (and it is gone then).
  platform::ArmFaultsFromEnvironment();
  std::vector<std::string> words;
  if (QWF::Application* app = QWF::GetApplication()) {
    zorl::KList<char>& arguments = app->Arguments();
    for (auto p = arguments.Begin(); p != arguments.End(); p = arguments.Next(p))
      words.push_back(arguments.At(p).Get());
  }
  return updater::RunUpdater(updater::ParseSwitches(words));
}
