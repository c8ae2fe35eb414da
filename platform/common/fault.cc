#include "platform/fault.h"

#include <cstdlib>
#include <cstring>
#include <set>

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
bool g_read_only_deletes = false;
FailureKind g_kind = FailureKind::kOther;
bool g_refuse_directories = false;
std::int64_t g_free_space = -1;
bool g_decline_elevation = false;
bool g_not_elevated = false;
std::set<std::string> g_in_use;  // lowered ASCII letters

std::string Lowered(const std::string& path) {
  std::string out = path;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}
}  // namespace

void ArmFault(long k, long count, FailureKind kind) {
  const bool armed = k > 0 && count > 0;
  g_countdown = armed ? k : 0;
  g_failing = armed ? count : 0;
  g_counted = 0;
  g_fired = false;
  g_kind = kind;
}

void ArmPassingFault(long k, long count) {
  ArmFault(k, count, FailureKind::kInUse);
}

void SimulateReadOnlyDeletes(bool on) { g_read_only_deletes = on; }
bool ReadOnlyDeletesSimulated() { return g_read_only_deletes; }

void RefuseDirectoryCreation(bool on) { g_refuse_directories = on; }

void DeclineElevation(bool on) { g_decline_elevation = on; }

void ReportNotElevated(bool on) { g_not_elevated = on; }

void ReportFreeSpace(std::int64_t bytes) { g_free_space = bytes < 0 ? -1 : bytes; }

void ReportInUse(const std::string& path) {
  if (path.empty()) {
    g_in_use.clear();
  } else {
    g_in_use.insert(Lowered(path));
  }
}

void ArmFaultsFromEnvironment() {
  char value[4096];
  if (!GetEnvironment("KESTREL_TEST_FAULTS", value, sizeof value)) return;
  ClearEnvironment("KESTREL_TEST_FAULTS");
  for (char* word = std::strtok(value, ";"); word; word = std::strtok(nullptr, ";")) {
    if (std::strcmp(word, "refuse-directories") == 0) {
      RefuseDirectoryCreation(true);
    } else if (std::strncmp(word, "free-space=", 11) == 0) {
      ReportFreeSpace(std::strtoll(word + 11, nullptr, 10));
    } else if (std::strcmp(word, "decline-elevation") == 0) {
      DeclineElevation(true);
    } else if (std::strcmp(word, "not-elevated") == 0) {
      ReportNotElevated(true);
    } else if (std::strncmp(word, "in-use=", 7) == 0) {
      ReportInUse(word + 7);
    }
  }
}

void ArmKill(long k) {
  g_kill_countdown = k > 0 ? k : 0;
  g_counted = 0;
}

void DisarmFault() {
  g_countdown = 0;
  g_failing = 0;
  g_kill_countdown = 0;
  g_refuse_directories = false;
  g_free_space = -1;
  g_decline_elevation = false;
  g_not_elevated = false;
  g_in_use.clear();
}

long CountedOperations() { return g_counted; }
void ResetOperationCount() { g_counted = 0; }
bool FaultFired() { return g_fired; }

namespace internal {
namespace {
// Whether this thread's last counted operation was failed on purpose.
thread_local bool t_injected = false;
thread_local FailureKind t_injected_kind = FailureKind::kOther;

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
    t_injected_kind = g_kind;
    return true;
  }
  return false;
}

bool LastWasInjected() { return t_injected; }
// A held file's failure is the one that may pass by itself.
bool InjectedMayPass() { return t_injected_kind == FailureKind::kInUse; }
FailureKind InjectedKind() { return t_injected_kind; }

bool DirectoriesRefused() {
  if (!g_refuse_directories) return false;
  t_injected = true;
  t_injected_kind = FailureKind::kAccessDenied;
  g_fired = true;
  return true;
}

std::int64_t ReportedFreeSpace() { return g_free_space; }
bool ElevationDeclined() { return g_decline_elevation; }
bool NotElevatedReported() { return g_not_elevated; }

bool ReportedInUse(const char* path) {
  return !g_in_use.empty() && g_in_use.count(Lowered(path)) > 0;
}
}  // namespace internal

}  // namespace platform
