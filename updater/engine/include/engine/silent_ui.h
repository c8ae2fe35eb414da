// The update run without a user interface: the updater's silent mode (/S).
// Nothing is shown and nothing waits for a user; a question is answered
// Cancel. The last error message is kept for the caller (and a log).
#ifndef ENGINE_SILENT_UI_H_
#define ENGINE_SILENT_UI_H_

#include <string>

#include "engine/update_ui.h"

namespace updater {

class SilentUi : public UpdateUi {
 public:
  void ShowName(const char*) override {}
  void SetStatus(const char*) override {}
  void SetProgress(int) override {}
  void Pump() override {}
  void ShowMessage(const char* text, MessageKind kind) override {
    if (kind != MessageKind::kInformation) last_error_ = text;
  }
  bool AskRetry(const char* text) override {
    last_error_ = text;
    return false;
  }
  const std::string& last_error() const { return last_error_; }

 private:
  std::string last_error_;
};

}  // namespace updater

#endif  // ENGINE_SILENT_UI_H_
