// The thread seam: one helper thread for a wait the system cannot split into
// pieces (a final flush, deleting a large file), so the calling thread can
// keep its user interface serviced meanwhile. Nothing else is threaded.
#ifndef PLATFORM_THREAD_H_
#define PLATFORM_THREAD_H_

namespace platform {

class HelperThread {
 public:
  HelperThread() = default;
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;
  // Waits for a started thread to end.
  ~HelperThread();

  // Runs `work(context)` on a new thread. False when no thread could be
  // started (then nothing runs) or one is already started and not joined.
  bool Start(void (*work)(void*), void* context);

  // Waits up to `timeout_ms` for the started thread to end. True once it
  // has ended (and then for every later call); true at once when none was
  // started.
  bool Join(unsigned timeout_ms);

 private:
  void* handle_ = nullptr;
};

}  // namespace platform

#endif  // PLATFORM_THREAD_H_
