// Fault injection at the seam. Every call of file.h and filesystem.h that
// can fail counts as one file operation; a test arms the counter so that
// the k-th operation from now fails as the native call would.
#ifndef PLATFORM_FAULT_H_
#define PLATFORM_FAULT_H_

namespace platform {

// From now on, the `k`-th file operation (1 = the next) fails, and with
// `count` > 1 the `count` - 1 operations after it as well; k <= 0 disarms.
void ArmFault(long k, long count = 1);

// As ArmFault, but the failures look like a file held for a moment by
// another program (LastFailureMayPass answers true for them).
void ArmPassingFault(long k, long count = 1);

// With `on`, deleting a file whose read-only attribute is set fails with
// access denied on every system, as it does on Windows; POSIX otherwise
// deletes such a file. For tests of read-only games on the host.
void SimulateReadOnlyDeletes(bool on);
bool ReadOnlyDeletesSimulated();

// From now on, the `k`-th file operation (1 = the next) kills the process
// before it is made, as a kill from outside would (KillThisProcess); k <= 0
// disarms. For tests of what a killed run leaves behind.
void ArmKill(long k);

// Stops injecting (faults and kills).
void DisarmFault();

// File operations seen since the last ArmFault, ArmKill or
// ResetOperationCount.
long CountedOperations();
void ResetOperationCount();

// Flushes (FileFlush and FlushDirectory) made since the process started,
// for figures of what durability costs.
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
}  // namespace internal

}  // namespace platform

#endif  // PLATFORM_FAULT_H_
