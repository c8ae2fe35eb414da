#include "terminal_ui.h"

#include <csignal>
#include <cstdio>

#include "console_text.h"
#include "platform/process.h"

namespace kpatch {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

TerminalUi::TerminalUi() : bar_(stdout, platform::IsTerminal()) {
  g_interrupted = 0;
  std::signal(SIGINT, OnInterrupt);
}

TerminalUi::~TerminalUi() {
  bar_.Clear();
  std::signal(SIGINT, SIG_DFL);
}

void TerminalUi::ShowName(const char* name) {
  if (!name[0]) return;  // the rebuild empties the name line
  bar_.Clear();
  std::printf("%s\n", tools::ToConsole(name).c_str());
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
  if (g_interrupted) throw updater::kFailureSignal;
}

void TerminalUi::ShowMessage(const char* text, updater::MessageKind kind) {
  bar_.Clear();
  std::FILE* out = kind == updater::MessageKind::kError ? stderr : stdout;
  std::fprintf(out, "%s\n", tools::ToConsole(text).c_str());
  std::fflush(out);
}

bool TerminalUi::Interrupted() const { return g_interrupted != 0; }

}  // namespace kpatch
