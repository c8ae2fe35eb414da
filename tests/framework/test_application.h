// The application object the framework tests run under, started once per test program.
#ifndef TESTS_FRAMEWORK_TEST_APPLICATION_H_
#define TESTS_FRAMEWORK_TEST_APPLICATION_H_

#include <string>

#include "framework/application.h"

namespace fwtest {

// Starts (once) and publishes the test program's application object.
QWF::Application& TestApplication();

// UTF-8 to cp932, for texts written readably in the tests.
std::string Cp932(const char* utf8);

// A window's text as the system holds it (UTF-16).
std::wstring WideText(QWF::WindowHandle window);

}  // namespace fwtest

#endif  // TESTS_FRAMEWORK_TEST_APPLICATION_H_
