#include "engine/run_log.h"

#include <cstring>

#include "engine/messages.h"
#include "platform/last_failure.h"
#include "platform/text.h"

namespace updater {
namespace {

struct Translation {
  const char* japanese;  // cp932 format
  const char* english;
};

const Translation kTranslations[] = {
    {kMsgOutOfMemory, "Not enough memory."},
    {kMsgCannotOpen, "A file cannot be opened."},
    {kMsgCannotOpenArchive, "The file (%s) cannot be opened."},
    {kMsgCannotRead, "A file cannot be read."},
    {kMsgCannotWrite, "A file cannot be written."},
    {kMsgCannotCreateFile, "The file (%s) cannot be created."},
    {kMsgCannotCreateDirectory, "A directory cannot be created."},
    {kMsgCannotDelete, "The file (%s) cannot be deleted."},
    {kMsgCannotAddEntry, "The file (%s) cannot be written."},
    {kMsgCannotWriteArchive, "The files could not be written."},
    {kMsgCannotSwapArchive, "The data file cannot be created."},
    {kMsgCompleted, "The update from the Q18 edition to the press edition has completed."},
    {kMsgFilesInUse, kMsgFilesInUseEnglish},
    {kMsgNeedsAdministrator, kMsgNeedsAdministratorEnglish},
    {kMsgNoSpace, kMsgNoSpaceEnglish},
    {kMsgUsage, kMsgUsageEnglish},
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

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

}  // namespace

std::string EnglishMessage(const std::string& cp932) {
  for (const Translation& t : kTranslations) {
    std::string filled;
    if (!Matches(cp932, t.japanese, &filled)) continue;
    if (t.japanese == kMsgNoSpace) {
      // The figures' words, from kSpaceFigures to kSpaceFiguresEnglish.
      const char* hole = std::strstr(kSpaceFigures, "%s");
      const std::string needed(kSpaceFigures, hole);  // "必要 "
      ReplaceAll(filled, needed, "needed ");
      ReplaceAll(filled, " MB\x81" "A\x8b\xf3\x82\xab ", " MB, free ");  // " MB、空き "
    }
    std::string english = t.english;
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

bool LoggingUi::AskRetry(const char* text) {
  log_.Message("refused", text, false);
  const bool retry = inner_.AskRetry(text);
  log_.Line(retry ? "answer: retry" : "answer: cancel");
  return retry;
}

}  // namespace updater
