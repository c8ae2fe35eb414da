// UpdateUi: what the update run needs from its user interface. The GUI
// dialog implements it on Windows, `kestrel-patch apply` on a terminal.
//
// The run's failure signal is a thrown int, kFailureSignal (-1). Error()
// shows a message and throws it; Pump() throws it (with no message) when
// the user asks the program to quit. Only the update run catches it.
#ifndef ENGINE_UPDATE_UI_H_
#define ENGINE_UPDATE_UI_H_

namespace updater {

constexpr int kFailureSignal = -1;

// The progress bar's range for the whole run: positions 0 to 30000.
constexpr int kProgressRange = 30000;

enum class MessageKind {
  kError,        // icon "hand", OK button (box type 0x10)
  kInformation,  // icon "information" (box type 0x40)
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

  // The error routine: formats `format` (printf rules, at most 2047
  // bytes kept), shows it as an error, then throws kFailureSignal.
  [[noreturn]] void Error(const char* format, ...);
};

}  // namespace updater

#endif  // ENGINE_UPDATE_UI_H_
