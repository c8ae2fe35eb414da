#include "foundation/klock.h"

namespace zorl {

KLock::~KLock() { Reset(); }

void KLock::EnsureInitialised() {
  if (!initialised_) {
    lock_.Init();
    initialised_ = true;
  }
}

void KLock::Enter() {
  EnsureInitialised();
  lock_.Enter();
}

void KLock::Leave() {
  EnsureInitialised();
  lock_.Leave();
}

bool KLock::Reset() {
  if (initialised_) {
    lock_.Destroy();
    initialised_ = false;
  }
  return true;
}

}  // namespace zorl
