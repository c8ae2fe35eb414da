#include "interrupt.h"

#include <csignal>

namespace tools {
namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int) { g_stop = 1; }

using Handler = void (*)(int);
Handler g_previous_int = SIG_DFL;
Handler g_previous_term = SIG_DFL;

}  // namespace

InterruptListener::InterruptListener() {
  g_stop = 0;
  g_previous_int = std::signal(SIGINT, OnStopSignal);
  g_previous_term = std::signal(SIGTERM, OnStopSignal);
}

InterruptListener::~InterruptListener() {
  std::signal(SIGINT, g_previous_int == SIG_ERR ? SIG_DFL : g_previous_int);
  std::signal(SIGTERM, g_previous_term == SIG_ERR ? SIG_DFL : g_previous_term);
}

bool StopWasRequested() { return g_stop != 0; }

void ThrowIfStopRequested() {
  if (g_stop) throw StopRequested();
}

}  // namespace tools
