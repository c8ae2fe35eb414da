// Fault injection at the seam. Every call of file.h and filesystem.h that
// can fail counts as one file operation; a test arms the counter so that
// the k-th operation from now fails as the native call would.
#ifndef PLATFORM_FAULT_H_
#define PLATFORM_FAULT_H_

namespace platform {

// From now on, the `k`-th file operation (1 = the next) fails, and with
// `count` > 1 the `count` - 1 operations after it as well; k <= 0 disarms.
void ArmFault(long k, long count = 1);

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

// Whether an injected fault has fired since the last ArmFault.
bool FaultFired();

namespace internal {
// Called by the implementations at the start of every counted operation;
// true means "fail this one".
bool ShouldFail();
}  // namespace internal

}  // namespace platform

#endif  // PLATFORM_FAULT_H_
