// The application object the framework's tests (and the updater's dialog tests) run under,
// started once per test program.
#ifndef TESTS_FRAMEWORK_TEST_APPLICATION_H_
#define TESTS_FRAMEWORK_TEST_APPLICATION_H_

#include <cstddef>
#include <cstring>
#include <string>

#include "framework/application.h"

namespace fwtest {

// Starts (once) and publishes the test program's application object.
QWF::Application& TestApplication();

// UTF-8 to cp932, for texts written readably in the tests.
std::string Cp932(const char* utf8);

// A window's text as the system holds it (UTF-16).
std::wstring WideText(QWF::WindowHandle window);

// A base for objects that delete themselves: their memory is filled with 0xA5 instead of
// freed, so a use after the deletion follows pointers that no process can map and faults at
// once, instead of silently reading the stale object. The memory is never reused (a few bytes
// per test).
class PoisonedWhenDeleted {
 public:
  static void* operator new(std::size_t size) { return ::operator new(size); }
  static void operator delete(void* memory, std::size_t size) {
    std::memset(memory, 0xA5, size);
  }
};

// Counts the access violations raised on any thread while it lives, before any handler sees
// them: the system swallows faults inside some window-procedure callbacks, so a test cannot
// rely on a crash to show a use after free.
class AccessFaultCounter {
 public:
  AccessFaultCounter();
  ~AccessFaultCounter();
  AccessFaultCounter(const AccessFaultCounter&) = delete;
  AccessFaultCounter& operator=(const AccessFaultCounter&) = delete;
  int Faults() const;

 private:
  void* handler_;
};

}  // namespace fwtest

#endif  // TESTS_FRAMEWORK_TEST_APPLICATION_H_
