#include "platform/fault.h"

#include "platform/process.h"
#include "unnoted.h"

namespace platform {
namespace {
// One process-wide counter; the updater runs on one thread and the tests
// that arm faults do too.
long g_countdown = 0;  // > 0: armed
long g_failing = 0;    // operations still to fail once the countdown ends
long g_kill_countdown = 0;  // > 0: armed
long g_counted = 0;
bool g_fired = false;
bool g_passing = false;  // the armed failures look like a held file
bool g_read_only_deletes = false;
}  // namespace

void ArmFault(long k, long count) {
  const bool armed = k > 0 && count > 0;
  g_countdown = armed ? k : 0;
  g_failing = armed ? count : 0;
  g_counted = 0;
  g_fired = false;
  g_passing = false;
}

void ArmPassingFault(long k, long count) {
  ArmFault(k, count);
  g_passing = true;
}

void SimulateReadOnlyDeletes(bool on) { g_read_only_deletes = on; }
bool ReadOnlyDeletesSimulated() { return g_read_only_deletes; }

void ArmKill(long k) {
  g_kill_countdown = k > 0 ? k : 0;
  g_counted = 0;
}

void DisarmFault() {
  g_countdown = 0;
  g_failing = 0;
  g_kill_countdown = 0;
}

long CountedOperations() { return g_counted; }
void ResetOperationCount() { g_counted = 0; }
bool FaultFired() { return g_fired; }

namespace internal {
namespace {
// Whether this thread's last counted operation was failed on purpose.
thread_local bool t_injected = false;

thread_local bool t_uncounted = false;
}  // namespace

Uncounted::Uncounted() : was_(t_uncounted) { t_uncounted = true; }
Uncounted::~Uncounted() { t_uncounted = was_; }

bool ShouldFail() {
  if (t_uncounted) {
    t_injected = false;
    return false;
  }
  ++g_counted;
  if (g_kill_countdown > 0 && --g_kill_countdown == 0) KillThisProcess();
  t_injected = false;
  if (g_countdown > 1) {
    --g_countdown;
    return false;
  }
  if (g_countdown == 1 && g_failing > 0) {
    if (--g_failing == 0) g_countdown = 0;
    g_fired = true;
    t_injected = true;
    return true;
  }
  return false;
}

bool LastWasInjected() { return t_injected; }
bool InjectedMayPass() { return g_passing; }
}  // namespace internal

}  // namespace platform
