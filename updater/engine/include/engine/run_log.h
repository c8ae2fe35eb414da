// The run log (/log=FILE): a UTF-8 text file that says what a run did, for
// launchers, scripts and support: the start, each command as the run
// reaches it, every message with its English text beside the Japanese one
// and, for a failure, the file operation that failed and the system's
// reason, then the result.
#ifndef ENGINE_RUN_LOG_H_
#define ENGINE_RUN_LOG_H_

#include <cstdint>
#include <string>

#include "engine/update_ui.h"
#include "platform/file.h"

namespace updater {

// The English text of one of the updater's messages (cp932, "%s" filled
// as the run fills it), in UTF-8; "" for a text that is none of them.
std::string EnglishMessage(const std::string& cp932);

class RunLog {
 public:
  RunLog() = default;
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Creates `path` (cp932), or empties it; with `append`, what it holds
  // stays and lines follow it (a relaunched updater's log continues its
  // parent's). False when it cannot.
  bool Open(const char* path, bool append = false);
  bool IsOpen() const { return file_ != platform::kInvalidFile; }
  // Writes one line (UTF-8, the line end added). Nothing when not open;
  // each line reaches the file at once, so a killed run leaves its log.
  void Line(const std::string& utf8);
  // "label: text" for cp932 text.
  void Text(const char* label, const std::string& cp932);
  // A message the run showed: the Japanese text, the English one and, for
  // anything but information, what failed last at the seam and why.
  void Message(const char* label, const std::string& cp932, bool failure);
  void Close();

 private:
  platform::FileHandle file_ = platform::kInvalidFile;
  std::uint64_t end_ = 0;
};

// Passes everything on to `inner` and writes it into `log` as it goes:
// each name shown, each status line, each message and question (with the
// answer).
class LoggingUi : public UpdateUi {
 public:
  LoggingUi(UpdateUi& inner, RunLog& log) : inner_(inner), log_(log) {}
  void ShowName(const char* name) override;
  void SetStatus(const char* text) override;
  void SetProgress(int position) override { inner_.SetProgress(position); }
  void Pump() override { inner_.Pump(); }
  void ShowMessage(const char* text, MessageKind kind) override;
  bool AskRetry(const char* text) override;
  void SetCaption(const std::string& utf8) override { inner_.SetCaption(utf8); }
  void ShowMessageUtf8(const std::string& utf8, MessageKind kind) override;

 private:
  UpdateUi& inner_;
  RunLog& log_;
};

}  // namespace updater

#endif  // ENGINE_RUN_LOG_H_
