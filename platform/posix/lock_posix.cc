#include <pthread.h>

#include <new>

#include "platform/lock.h"

namespace platform {
namespace {
static_assert(sizeof(pthread_mutex_t) <= 64, "lock storage too small");
pthread_mutex_t* Mutex(unsigned char* storage) {
  return reinterpret_cast<pthread_mutex_t*>(storage);
}
}  // namespace

void NativeLock::Init() {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(new (storage_) pthread_mutex_t, &attr);
  pthread_mutexattr_destroy(&attr);
}

void NativeLock::Destroy() { pthread_mutex_destroy(Mutex(storage_)); }
void NativeLock::Enter() { pthread_mutex_lock(Mutex(storage_)); }
void NativeLock::Leave() { pthread_mutex_unlock(Mutex(storage_)); }

}  // namespace platform
