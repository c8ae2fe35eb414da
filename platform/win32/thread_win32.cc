#include <windows.h>
#include <process.h>

#include <new>

#include "platform/thread.h"

namespace platform {
namespace {

struct Started {
  void (*work)(void*);
  void* context;
};

// _beginthreadex rather than CreateThread: the work uses the C runtime,
// which must set up its per-thread data.
unsigned __stdcall RunWork(void* started) {
  Started* s = static_cast<Started*>(started);
  s->work(s->context);
  delete s;
  return 0;
}

}  // namespace

HelperThread::~HelperThread() {
  while (!Join(INFINITE)) {
  }
}

bool HelperThread::Start(void (*work)(void*), void* context) {
  if (handle_) return false;
  Started* s = new (std::nothrow) Started{work, context};
  if (!s) return false;
  uintptr_t thread = _beginthreadex(nullptr, 0, &RunWork, s, 0, nullptr);
  if (!thread) {
    delete s;
    return false;
  }
  handle_ = reinterpret_cast<void*>(thread);
  return true;
}

bool HelperThread::Join(unsigned timeout_ms) {
  if (!handle_) return true;
  HANDLE thread = static_cast<HANDLE>(handle_);
  const DWORD result = WaitForSingleObject(thread, timeout_ms);
  if (result == WAIT_TIMEOUT) return false;
  CloseHandle(thread);
  handle_ = nullptr;
  return true;
}

}  // namespace platform
