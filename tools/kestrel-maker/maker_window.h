// The maker's window: OLD, NEW and the updater to write (each a field with
// a Browse button, and a drop target for a folder dragged from Explorer),
// the manifest's texts, the options, signing, Build / Try it / Cancel, a
// progress bar and a live log. The work runs on a worker thread
// (maker_job.h); the window only shows what it reports, so it stays
// responsive throughout. The fields are remembered in the framework's
// settings between runs.
#ifndef TOOLS_KESTREL_MAKER_MAKER_WINDOW_H_
#define TOOLS_KESTREL_MAKER_MAKER_WINDOW_H_

#include <windows.h>
#include <shellapi.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "framework/window.h"
#include "maker_job.h"

namespace kmaker {

class MakerWindow : public QWF::Window {
 public:
  MakerWindow() = default;
  ~MakerWindow() override;

  // Creates the window with its controls and the remembered values, and
  // shows it. False when the window cannot be created.
  bool Open();

  QWF::LResult HandleMessage(unsigned message, QWF::WParam wparam, QWF::LParam lparam) override;

 private:
  // What the worker hands the window, under `lock`.
  struct Shared {
    std::mutex lock;
    std::vector<std::string> lines;  // cp932, not yet shown
    int progress = 0;                // 0..1000
  };

  void MakeControls();
  HWND Item(int id) const { return GetDlgItem(Handle(), id); }
  std::wstring FieldText(int id) const;
  void Browse(int id);
  void Dropped(HDROP drop);
  void Start(bool try_it);
  void Show(const std::wstring& line);
  void ShowPending();
  void Finished();
  void SetWorking(bool working);
  void Remember();
  void Recall();

  HFONT font_ = nullptr;
  std::string signer_;  // cp932; "" when there is none
  std::thread worker_;
  Shared shared_;
  Outcome outcome_ = Outcome::kDone;
  std::string error_;   // cp932, of the last run
  std::string output_;  // cp932, of the last run
  bool working_ = false;
  bool trying_ = false;  // the last run was Try it
  bool close_when_done_ = false;
};

}  // namespace kmaker

#endif  // TOOLS_KESTREL_MAKER_MAKER_WINDOW_H_
