#include "interrupt.h"

#include <atomic>
#include <csignal>

namespace tools {
namespace {

// Set by a signal handler or by another thread: a lock-free atomic is safe
// for both.
std::atomic<int> g_stop{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler sets the flag");

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

void RequestStop() { g_stop = 1; }

void ClearStopRequest() { g_stop = 0; }

}  // namespace tools
