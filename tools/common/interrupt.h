// Ctrl-C and SIGTERM as a request to stop. The front door listens for
// both while a subcommand runs; a window's Cancel button asks the same
// (RequestStop) of work running on another thread; long loops ask ThrowIfStopRequested(),
// and the exception unwinds through them so that every temporary file and
// scratch directory is removed by its owner on the way out. The front door
// then says "interrupted" and exits with status 1.
#ifndef TOOLS_COMMON_INTERRUPT_H_
#define TOOLS_COMMON_INTERRUPT_H_

namespace tools {

// Thrown by ThrowIfStopRequested.
struct StopRequested {};

// Listens for SIGINT and SIGTERM until destroyed (the previous handlers
// come back then). One at a time.
class InterruptListener {
 public:
  InterruptListener();
  ~InterruptListener();
  InterruptListener(const InterruptListener&) = delete;
  InterruptListener& operator=(const InterruptListener&) = delete;
};

// Whether a signal has arrived since the listener started.
bool StopWasRequested();

// Throws StopRequested once a signal has arrived.
void ThrowIfStopRequested();

// A stop request from the program itself (a Cancel button), from any
// thread: the work notices it where it would notice Ctrl-C.
void RequestStop();
// Forgets a stop request, before the next piece of work starts.
void ClearStopRequest();

}  // namespace tools

#endif  // TOOLS_COMMON_INTERRUPT_H_
