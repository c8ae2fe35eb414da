// UpdateUi: what the update run needs from its user interface. The GUI
// dialog implements it on Windows, `kestrel-patch apply` on a terminal.
//
// The run's failure signal is a thrown int, kFailureSignal (-1). Error()
// shows a message and throws it; Pump() throws it (with no message) when
// the user asks the program to quit. Only the update run catches it.
#ifndef ENGINE_UPDATE_UI_H_
#define ENGINE_UPDATE_UI_H_

#include <functional>
#include <string>

#include "engine/messages.h"

namespace updater {

constexpr int kFailureSignal = -1;

// The progress bar's range for the whole run: positions 0 to 30000.
constexpr int kProgressRange = 30000;

// How long WaitPumping lets a blocking operation run between two pumps.
constexpr unsigned kWaitSliceMillis = 10;

enum class MessageKind {
  kError,        // icon "hand", OK button (box type 0x10)
  kInformation,  // icon "information" (box type 0x40)
  kWarning,      // icon "exclamation", OK button (box type 0x30)
};

class UpdateUi {
 public:
  virtual ~UpdateUi() = default;

  // Shows the name of the file or entry being processed (cp932, as read).
  virtual void ShowName(const char* name) = 0;
  // Sets the status line (cp932).
  virtual void SetStatus(const char* text) = 0;
  // Sets the progress bar to `position` (0..kProgressRange).
  virtual void SetProgress(int position) = 0;
  // Services pending user-interface events. May throw kFailureSignal when
  // the user quits; nothing else.
  virtual void Pump() = 0;
  // Shows a message (cp932) with the window title as caption and waits
  // for the user to acknowledge it.
  virtual void ShowMessage(const char* text, MessageKind kind) = 0;
  // Shows a warning (cp932) the user answers with Retry or Cancel (box
  // type MB_RETRYCANCEL | MB_ICONWARNING) and waits. True for Retry. A
  // front end that cannot ask shows it as a warning and answers Cancel.
  virtual bool AskRetry(const char* text);

  // The maker's caption (UTF-8) for the window and its message boxes, from
  // the payload's manifest. By default ignored (a terminal has none).
  virtual void SetCaption(const std::string& utf8);
  // Shows a message given in UTF-8 (the maker's completion text). By
  // default converted to cp932 for ShowMessage: characters cp932 lacks
  // become "?"; the GUI shows them all.
  virtual void ShowMessageUtf8(const std::string& utf8, MessageKind kind);

  // The language of the updater's own texts (messages.h), Japanese until
  // the run reads the payload's manifest.
  void SetLanguage(Language language) { language_ = language; }
  Language language() const { return language_; }
  // One of messages.h's texts in the run's language.
  const char* Text(const char* text) const { return InLanguage(text, language_); }

  // The error routine: formats `format` (one of messages.h's texts, put
  // into the run's language; printf rules, at most 2047 bytes kept),
  // shows it as an error, then throws kFailureSignal.
  [[noreturn]] void Error(const char* format, ...);

  // Waits for an operation the system cannot split into pieces (a final
  // flush, deleting a large file) without letting the user interface
  // freeze: runs `operation` on a helper thread and pumps at once and then
  // every kWaitSliceMillis until it has ended. Returns its result. The
  // operation must not touch the user interface.
  // A failure signal (a quit) or any other exception from Pump never cuts
  // the operation short: it is held until the operation has ended and then
  // thrown, so a caller can clean up what the operation used. Give
  // `quit_held` for work that must finish once begun: a quit is then
  // recorded there (*quit_held = true) and the call returns normally;
  // other exceptions are still thrown. Pumping goes on after a quit.
  // When no helper thread can be started the operation runs on the calling
  // thread (after the first pump).
  bool WaitPumping(const std::function<bool()>& operation,
                   bool* quit_held = nullptr);

 private:
  Language language_ = Language::kJapanese;
};

}  // namespace updater

#endif  // ENGINE_UPDATE_UI_H_
