// The lock seam: a recursive mutual-exclusion lock in caller-owned storage,
// so that the foundation's lock can create it lazily on first entry.
#ifndef PLATFORM_LOCK_H_
#define PLATFORM_LOCK_H_

namespace platform {

class NativeLock {
 public:
  // Storage only; nothing is created until Init.
  NativeLock() = default;
  NativeLock(const NativeLock&) = delete;
  NativeLock& operator=(const NativeLock&) = delete;

  void Init();     // creates the native lock
  void Destroy();  // releases it; Init may follow again
  void Enter();    // recursive: the owning thread may enter again
  void Leave();

 private:
  alignas(16) unsigned char storage_[64];
};

}  // namespace platform

#endif  // PLATFORM_LOCK_H_
