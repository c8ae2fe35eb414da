#include "engine/run_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/messages.h"
#include "platform/last_failure.h"
#include "platform/text.h"

namespace updater {
namespace {

// Every text of messages.h a run can show; InEnglish has each one's
// English form.
const char* const kMessages[] = {
    kMsgOutOfMemory,     kMsgCannotOpen,         kMsgCannotOpenArchive,  kMsgCannotRead,
    kMsgCannotWrite,     kMsgCannotCreateFile,   kMsgCannotCreateDirectory, kMsgCannotDelete,
    kMsgCannotAddEntry,  kMsgCannotWriteArchive, kMsgCannotSwapArchive,  kMsgCompleted,
    kMsgAlreadyApplied,  kMsgWrongVersion,       kMsgFilesInUse,         kMsgNeedsAdministrator,
    kMsgNoSpace,         kMsgUsage,
};

// Whether `text` is `format` with its one "%s" filled (the filling goes
// to `filled`); a format without "%s" must match exactly.
bool Matches(const std::string& text, const char* format, std::string* filled) {
  const char* hole = std::strstr(format, "%s");
  if (!hole) return text == format;
  const std::string head(format, hole), tail(hole + 2);
  if (text.size() < head.size() + tail.size() || text.compare(0, head.size(), head) != 0 ||
      text.compare(text.size() - tail.size(), tail.size(), tail) != 0)
    return false;
  *filled = text.substr(head.size(), text.size() - head.size() - tail.size());
  return true;
}

}  // namespace

std::string EnglishMessage(const std::string& cp932) {
  for (const char* message : kMessages) {
    std::string filled;
    if (!Matches(cp932, message, &filled)) continue;
    if (message == kMsgNoSpace) {
      // The figures' words too: kSpaceFigures in English.
      unsigned long long need = 0, free_mb = 0;
      const char* hole = std::strstr(kSpaceFigures, "%s");
      const std::string head(kSpaceFigures, static_cast<std::size_t>(hole - kSpaceFigures));
      if (filled.compare(0, head.size(), head) == 0 &&
          std::sscanf(filled.c_str() + head.size(), "%llu", &need) == 1) {
        const std::size_t at = filled.rfind(' ', filled.size() - 4);
        if (at != std::string::npos) free_mb = std::strtoull(filled.c_str() + at + 1, nullptr, 10);
        char figures[128];
        std::snprintf(figures, sizeof figures, InEnglish(kSpaceFigures),
                      std::to_string(need).c_str(), std::to_string(free_mb).c_str());
        filled = figures;
      }
    }
    std::string english = InEnglish(message);
    const std::size_t hole = english.find("%s");
    if (hole != std::string::npos) english.replace(hole, 2, platform::Cp932ToUtf8(filled));
    return english;
  }
  return "";
}

RunLog::~RunLog() { Close(); }

bool RunLog::Open(const char* path, bool append) {
  Close();
  file_ = platform::FileOpen(path, platform::kFileWrite | platform::kFileCreate |
                                       (append ? 0u : unsigned{platform::kFileNew}));
  end_ = 0;
  if (append && IsOpen()) {
    const std::int64_t size = platform::FileSize(file_);
    end_ = size > 0 ? static_cast<std::uint64_t>(size) : 0;
  }
  return IsOpen();
}

void RunLog::Line(const std::string& utf8) {
  if (!IsOpen()) return;
  const std::string line = utf8 + "\r\n";
  if (platform::FileWriteAt(file_, end_, line.data(), static_cast<std::uint32_t>(line.size())) > 0)
    end_ += line.size();
}

void RunLog::Text(const char* label, const std::string& cp932) {
  Line(std::string(label) + ": " + platform::Cp932ToUtf8(cp932));
}

void RunLog::Message(const char* label, const std::string& cp932, bool failure) {
  if (!IsOpen()) return;
  // Read before this log's own write can become the last failure.
  platform::FailedOperation failed;
  const bool have_failed = failure && platform::GetLastFailure(&failed);
  Text(label, cp932);
  const std::string english = EnglishMessage(cp932);
  if (!english.empty()) Line(std::string(std::strlen(label) + 2, ' ') + english);
  if (!have_failed) return;
  std::string why = "cannot " + failed.operation;
  if (!failed.path.empty()) why += " " + platform::Cp932ToUtf8(failed.path);
  if (!failed.target.empty()) why += " (with " + platform::Cp932ToUtf8(failed.target) + ")";
  Line(std::string(std::strlen(label) + 2, ' ') + "why: " + why + ": " +
       platform::Cp932ToUtf8(failed.reason));
}

void RunLog::Close() {
  if (!IsOpen()) return;
  platform::FileClose(file_);
  file_ = platform::kInvalidFile;
}

void LoggingUi::ShowName(const char* name) {
  if (name[0]) log_.Text("command", name);
  inner_.ShowName(name);
}

void LoggingUi::SetStatus(const char* text) {
  log_.Text("status", text);
  inner_.SetStatus(text);
}

void LoggingUi::ShowMessage(const char* text, MessageKind kind) {
  const bool failure = kind != MessageKind::kInformation;
  log_.Message(kind == MessageKind::kError     ? "error"
               : kind == MessageKind::kWarning ? "warning"
                                               : "message",
               text, failure);
  inner_.ShowMessage(text, kind);
}

void LoggingUi::ShowMessageUtf8(const std::string& utf8, MessageKind kind) {
  log_.Line(std::string(kind == MessageKind::kInformation ? "message: " : "error: ") + utf8);
  inner_.ShowMessageUtf8(utf8, kind);
}

bool LoggingUi::AskRetry(const char* text) {
  log_.Message("refused", text, false);
  const bool retry = inner_.AskRetry(text);
  log_.Line(retry ? "answer: retry" : "answer: cancel");
  return retry;
}

}  // namespace updater
