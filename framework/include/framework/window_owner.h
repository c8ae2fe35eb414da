// Something that keeps track of windows registered with it (Window::RegisterWith).
#ifndef FRAMEWORK_WINDOW_OWNER_H_
#define FRAMEWORK_WINDOW_OWNER_H_

namespace QWF {

class Window;

class WindowOwner {
 public:
  virtual ~WindowOwner() = default;
  // `registered` is true when `window` registers, false when it unregisters.
  virtual void RegisterWindow(Window* window, bool registered) = 0;
};

}  // namespace QWF

#endif  // FRAMEWORK_WINDOW_OWNER_H_
