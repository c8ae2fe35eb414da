#include "engine/update_ui.h"

#include <cstdarg>
#include <cstdio>
#include <exception>

#include "platform/text.h"
#include "platform/thread.h"

namespace updater {

void UpdateUi::Error(const char* format, ...) {
  char text[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, Text(format), args);
  va_end(args);
  ShowMessage(text, MessageKind::kError);
  throw kFailureSignal;
}

bool UpdateUi::AskRetry(const char* text) {
  ShowMessage(text, MessageKind::kWarning);
  return false;
}

void UpdateUi::SetCaption(const std::string&) {}

void UpdateUi::ShowMessageUtf8(const std::string& utf8, MessageKind kind) {
  ShowMessage(platform::Utf8ToCp932(utf8).c_str(), kind);
}

namespace {

struct BlockingOperation {
  const std::function<bool()>* operation;
  bool result = false;
  std::exception_ptr failure;

  static void Run(void* self) {
    BlockingOperation* op = static_cast<BlockingOperation*>(self);
    try {
      op->result = (*op->operation)();
    } catch (...) {
      op->failure = std::current_exception();
    }
  }
};

}  // namespace

bool UpdateUi::WaitPumping(const std::function<bool()>& operation,
                           bool* quit_held) {
  BlockingOperation op{&operation};
  std::exception_ptr held;  // from Pump: thrown once the operation ended
  bool quit = false;
  // Pumping goes on after a quit (the queue keeps being serviced); the
  // first exception is the one thrown.
  auto pump = [&] {
    try {
      Pump();
    } catch (int signal) {
      if (signal == kFailureSignal && quit_held) {
        quit = true;
      } else if (!held) {
        held = std::current_exception();
      }
    } catch (...) {
      if (!held) held = std::current_exception();
    }
  };
  platform::HelperThread helper;
  pump();
  if (helper.Start(&BlockingOperation::Run, &op)) {
    while (!helper.Join(kWaitSliceMillis)) pump();
  } else {
    BlockingOperation::Run(&op);
  }
  if (quit) *quit_held = true;
  if (held) std::rethrow_exception(held);
  if (op.failure) std::rethrow_exception(op.failure);
  return op.result;
}

}  // namespace updater
