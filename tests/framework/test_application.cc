#include "test_application.h"

#include "framework/win32.h"
#include "gtest/gtest.h"
#include "platform/text.h"

namespace fwtest {

QWF::Application& TestApplication() {
  static QWF::Application* app = [] {
    auto* started = new QWF::Application;
    EXPECT_TRUE(QWF::StartUp(GetModuleHandleW(nullptr), SW_SHOWNORMAL, *started, nullptr));
    return started;
  }();
  QWF::PublishApplication(app);
  return *app;
}

std::string Cp932(const char* utf8) { return platform::Utf8ToCp932(utf8); }

std::wstring WideText(QWF::WindowHandle window) {
  wchar_t buffer[512] = {};
  GetWindowTextW(window, buffer, 512);
  return buffer;
}

namespace {
volatile LONG g_access_faults = 0;

LONG CALLBACK CountAccessFault(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION)
    InterlockedIncrement(&g_access_faults);
  return EXCEPTION_CONTINUE_SEARCH;
}
}  // namespace

AccessFaultCounter::AccessFaultCounter() {
  g_access_faults = 0;
  handler_ = AddVectoredExceptionHandler(1, &CountAccessFault);
}

AccessFaultCounter::~AccessFaultCounter() { RemoveVectoredExceptionHandler(handler_); }

int AccessFaultCounter::Faults() const { return static_cast<int>(g_access_faults); }

}  // namespace fwtest
