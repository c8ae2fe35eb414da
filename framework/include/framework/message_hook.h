// A message hook: sees a framework window's messages before the window object's handler.
#ifndef FRAMEWORK_MESSAGE_HOOK_H_
#define FRAMEWORK_MESSAGE_HOOK_H_

#include "framework/types.h"

namespace QWF {

class Window;

class MessageHook {
 public:
  virtual ~MessageHook() = default;
  // Returns true to let the message go on to the next hook and the handler, or false to end
  // it here with `*result`.
  virtual bool Hook(LResult* result, Window* window, unsigned message, WParam wparam,
                    LParam lparam) = 0;
};

}  // namespace QWF

#endif  // FRAMEWORK_MESSAGE_HOOK_H_
