// The update run's user interface on a terminal: names and status lines
// as text lines, a progress bar when stdout is a terminal, messages on
// stdout (completion) or stderr (errors), Ctrl-C (or SIGTERM; the front
// door listens for both) as the request to quit.
#ifndef TOOLS_KESTREL_PATCH_TERMINAL_UI_H_
#define TOOLS_KESTREL_PATCH_TERMINAL_UI_H_

#include "engine/update_ui.h"
#include "progress_bar.h"

namespace kpatch {

class TerminalUi : public updater::UpdateUi {
 public:
  TerminalUi();
  ~TerminalUi() override;

  void ShowName(const char* name) override;
  void SetStatus(const char* text) override;
  void SetProgress(int position) override;
  // Throws the failure signal once a stop request (Ctrl-C) has arrived.
  void Pump() override;
  void ShowMessage(const char* text, updater::MessageKind kind) override;

  bool Interrupted() const;

 private:
  tools::ProgressBar bar_;
  int position_ = 0;
};

}  // namespace kpatch

#endif  // TOOLS_KESTREL_PATCH_TERMINAL_UI_H_
