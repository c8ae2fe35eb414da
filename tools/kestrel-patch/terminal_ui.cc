#include "terminal_ui.h"

#include <cstdio>

#include "console_text.h"
#include "display_name.h"
#include "interrupt.h"
#include "platform/process.h"

namespace kpatch {

TerminalUi::TerminalUi() : bar_(stdout, platform::IsTerminal()) {}

TerminalUi::~TerminalUi() { bar_.Clear(); }

void TerminalUi::ShowName(const char* name) {
  if (!name[0]) return;  // the rebuild empties the name line
  bar_.Clear();
  std::printf("%s\n", tools::ShowName(name).c_str());
  std::fflush(stdout);
}

void TerminalUi::SetStatus(const char* text) {
  bar_.Clear();
  std::printf("%s\n", tools::ToConsole(text).c_str());
  std::fflush(stdout);
}

void TerminalUi::SetProgress(int position) {
  position_ = position;
  bar_.Set(position, updater::kProgressRange);
}

void TerminalUi::Pump() {
  if (tools::StopWasRequested()) throw updater::kFailureSignal;
}

void TerminalUi::ShowMessage(const char* text, updater::MessageKind kind) {
  bar_.Clear();
  std::FILE* out = kind == updater::MessageKind::kError ? stderr : stdout;
  // The message may name a file of the payload: shown escaped like any name.
  std::fprintf(out, "%s\n", tools::ShowName(text).c_str());
  std::fflush(out);
}

bool TerminalUi::Interrupted() const { return tools::StopWasRequested(); }

}  // namespace kpatch
