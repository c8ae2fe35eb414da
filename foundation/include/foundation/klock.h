// A recursive lock that creates its native lock on first entry, so a lock
// that is never entered costs nothing.
#ifndef FOUNDATION_KLOCK_H_
#define FOUNDATION_KLOCK_H_

#include "foundation/kobject.h"
#include "platform/lock.h"

namespace zorl {

class KLock : public KObject {
 public:
  KLock() = default;
  KLock(const KLock&) = delete;
  KLock& operator=(const KLock&) = delete;
  ~KLock() override;

  void Enter();
  void Leave();
  // Releases the native lock if one was created; returns true.
  bool Reset();
  bool IsInitialised() const { return initialised_; }

 private:
  void EnsureInitialised();

  bool initialised_ = false;
  platform::NativeLock lock_;
};

// Holds a KLock for one scope.
class KLockGuard {
 public:
  explicit KLockGuard(KLock& lock) : lock_(lock) { lock_.Enter(); }
  ~KLockGuard() { lock_.Leave(); }
  KLockGuard(const KLockGuard&) = delete;
  KLockGuard& operator=(const KLockGuard&) = delete;

 private:
  KLock& lock_;
};

}  // namespace zorl

#endif  // FOUNDATION_KLOCK_H_
