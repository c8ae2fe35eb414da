// The update run's user interface on a terminal.
//
// On a terminal one live line, redrawn in place, shows the run:
//   [##########..........]  47.3%  1234/2601  data/scene/s047.txt
// the share of the payload processed, the commands done of all, and the
// name at hand; then, the payload done, "rebuilding mareld.dat 42%".
// Per-command lines (each name, each status line) only with `verbose`;
// off a terminal there is no live line either. The updater's messages
// always: errors on stderr, the completion message on stdout. Ctrl-C (or
// SIGTERM; the front door listens for both) is the request to quit.
#ifndef TOOLS_KESTREL_PATCH_TERMINAL_UI_H_
#define TOOLS_KESTREL_PATCH_TERMINAL_UI_H_

#include <cstdint>
#include <string>
#include <vector>

#include "engine/command_check.h"
#include "engine/update_ui.h"

namespace kpatch {

class TerminalUi : public updater::UpdateUi {
 public:
  // `live`: draw the live line (stdout is a terminal of `columns`).
  TerminalUi(bool live, bool verbose, int columns = 80);
  ~TerminalUi() override;

  // A command as the check before the first change passed it: what the
  // live line counts against. Called for every command in order.
  void Planned(const updater::PlannedCommand& command);

  void ShowName(const char* name) override;
  void SetStatus(const char* text) override;
  void SetProgress(int position) override;
  // Throws the failure signal once a stop request (Ctrl-C) has arrived.
  void Pump() override;
  void ShowMessage(const char* text, updater::MessageKind kind) override;

  bool Interrupted() const;
  // The last error message shown (cp932), "" when none.
  const std::string& error_message() const { return error_; }

  // One line after a completed run: commands by kind (kinds that did not
  // occur left out), bytes of files written, the rebuilt archive's entries
  // and size, the time taken:
  //   "applied 456 commands (5 write, 1 mkdir, 450 put) in 1.3 s: 3.2 MiB
  //    of files written, mareld.dat 2000 entries, 1.0 GiB"
  std::string Summary(std::uint32_t archive_entries,
                      std::uint64_t archive_bytes) const;

 private:
  void Draw(bool force);
  void Clear();
  // The payload bytes processed so far (commands done, and of the one at
  // hand the share its progress shows).
  std::uint64_t Processed() const;

  bool live_, verbose_;
  int columns_;
  std::uint64_t started_ms_;
  // Per planned command: its first byte in the command stream, its opcode
  // and its content's size.
  std::vector<std::uint64_t> starts_;
  std::vector<std::uint32_t> kinds_;
  std::vector<std::uint64_t> sizes_;
  std::uint64_t total_ = 0;  // bytes of the command stream
  std::size_t current_ = 0;  // commands begun
  std::string name_;         // cp932, as shown
  bool rebuilding_ = false;
  int position_ = 0;         // of the piece of work at hand, 0..30000
  bool drawn_ = false;
  std::size_t drawn_width_ = 0;
  std::uint64_t drawn_ms_ = 0;
  std::string error_;
};

}  // namespace kpatch

#endif  // TOOLS_KESTREL_PATCH_TERMINAL_UI_H_
