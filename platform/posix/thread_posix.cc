#include <pthread.h>
#include <time.h>

#include <cerrno>
#include <new>

#include "platform/thread.h"

namespace platform {
namespace {

struct Started {
  pthread_t thread;
  void (*work)(void*);
  void* context;
};

extern "C" void* RunWork(void* started) {
  Started* s = static_cast<Started*>(started);
  s->work(s->context);
  return nullptr;
}

}  // namespace

HelperThread::~HelperThread() {
  while (!Join(1000)) {
  }
}

bool HelperThread::Start(void (*work)(void*), void* context) {
  if (handle_) return false;
  Started* s = new (std::nothrow) Started{pthread_t(), work, context};
  if (!s) return false;
  if (pthread_create(&s->thread, nullptr, &RunWork, s) != 0) {
    delete s;
    return false;
  }
  handle_ = s;
  return true;
}

bool HelperThread::Join(unsigned timeout_ms) {
  Started* s = static_cast<Started*>(handle_);
  if (!s) return true;
  timespec deadline;
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += timeout_ms / 1000;
  deadline.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  const int result = pthread_timedjoin_np(s->thread, nullptr, &deadline);
  if (result == ETIMEDOUT || result == EBUSY) return false;
  delete s;
  handle_ = nullptr;
  return true;
}

}  // namespace platform
