// Fault injection at the seam. Every call of file.h and filesystem.h that
// can fail counts as one file operation; a test arms the counter so that
// the k-th operation from now fails as the native call would.
#ifndef PLATFORM_FAULT_H_
#define PLATFORM_FAULT_H_

#include <cstdint>
#include <string>

#include "platform/last_failure.h"

namespace platform {

// From now on, the `k`-th file operation (1 = the next) fails, and with
// `count` > 1 the `count` - 1 operations after it as well; k <= 0 disarms.
// The failure is noted as `kind` (last_failure.h).
void ArmFault(long k, long count = 1, FailureKind kind = FailureKind::kOther);

// As ArmFault, but the failures look like a file held for a moment by
// another program (LastFailureMayPass answers true for them).
void ArmPassingFault(long k, long count = 1);

// With `on`, deleting a file whose read-only attribute is set fails with
// access denied on every system, as it does on Windows; POSIX otherwise
// deletes such a file. For tests of read-only games on the host.
void SimulateReadOnlyDeletes(bool on);
bool ReadOnlyDeletesSimulated();

// The system as a test wants it seen, until switched off again (each is
// independent of the counted faults above):
// - every directory creation (MakeDirectory) fails with access denied, as
//   in a folder the user may not write;
void RefuseDirectoryCreation(bool on);
// - the free space of every volume is reported as `bytes` (a negative
//   value: the real figure again);
void ReportFreeSpace(std::int64_t bytes);
// - the user declines every prompt for administrator rights (RunElevated);
void DeclineElevation(bool on);
// - the process runs without administrator rights (IsElevated is false;
//   Wine runs every program with them);
void ReportNotElevated(bool on);
// - `path` (as spelt, letters compared regardless of case) is reported
//   held by another program by ProbeInUse (files_in_use.h); "" forgets
//   every such path.
void ReportInUse(const std::string& path);

// Arms what the environment variable KESTREL_TEST_FAULTS asks for, then
// removes the variable, so a program this process starts does not inherit
// it. For black-box tests of a real executable; words separated by ";":
//   refuse-directories     RefuseDirectoryCreation(true)
//   free-space=N           ReportFreeSpace(N)
//   decline-elevation      DeclineElevation(true)
//   not-elevated           ReportNotElevated(true)
//   in-use=PATH            ReportInUse(PATH)
// Unknown words are ignored.
void ArmFaultsFromEnvironment();

// From now on, the `k`-th file operation (1 = the next) kills the process
// before it is made, as a kill from outside would (KillThisProcess); k <= 0
// disarms. For tests of what a killed run leaves behind.
void ArmKill(long k);

// Stops injecting (faults and kills) and forgets the reported conditions.
void DisarmFault();

// File operations seen since the last ArmFault, ArmKill or
// ResetOperationCount.
long CountedOperations();
void ResetOperationCount();

// Flushes (FileFlush, FlushDirectory and FlushFileSystem) made since the
// process started, for figures of what durability costs.
long FlushCount();

// Whether an injected fault has fired since the last ArmFault.
bool FaultFired();

namespace internal {
// Called by the implementations at the start of every counted operation;
// true means "fail this one".
bool ShouldFail();
// Whether the last injected failure was armed as a passing one.
bool InjectedMayPass();
// While one lives, operations are neither counted nor failed nor killed:
// for test machinery that works through the seam itself.
class Uncounted {
 public:
  Uncounted();
  ~Uncounted();
  Uncounted(const Uncounted&) = delete;
  Uncounted& operator=(const Uncounted&) = delete;

 private:
  bool was_;
};
// Whether directory creations are refused (RefuseDirectoryCreation).
bool DirectoriesRefused();
// The free space to report, or -1 for the real one.
std::int64_t ReportedFreeSpace();
// Whether prompts for administrator rights are declined.
bool ElevationDeclined();
// Whether the process is to be seen as running without administrator rights.
bool NotElevatedReported();
// Whether `path` is reported held (ReportInUse).
bool ReportedInUse(const char* path);
}  // namespace internal

}  // namespace platform

#endif  // PLATFORM_FAULT_H_
