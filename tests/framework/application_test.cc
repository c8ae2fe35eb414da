// Start-up, teardown and the program entry.
#include <clocale>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <objbase.h>
#include <shellapi.h>

#include "framework/entry.h"
#include "framework/win32.h"
#include "framework/window.h"
#include "framework/window_class.h"
#include "gtest/gtest.h"
#include "test_application.h"

int ApplicationMain() { return 0; }  // the GUI entry is not linked into the tests

namespace {

using fwtest::Cp932;

std::vector<std::string> ArgumentsOf(QWF::Application& app) {
  std::vector<std::string> out;
  auto& list = app.Arguments();
  for (auto p = list.Begin(); p != list.End(); p = list.Next(p)) out.push_back(list.At(p).Get());
  return out;
}

TEST(ApplicationTest, StartsWithEmptyValues) {
  QWF::Application app;
  EXPECT_EQ(nullptr, app.Instance());
  EXPECT_EQ(0, app.ShowCommand());
  EXPECT_TRUE(app.ApplicationName().IsEmpty());
  EXPECT_TRUE(app.ModuleDirectory().IsEmpty());
  EXPECT_TRUE(app.CompanyName().IsEmpty());
  EXPECT_EQ(0, app.SettingsKind());
  EXPECT_EQ(0u, app.WheelMessage());
  EXPECT_EQ(0u, app.Arguments().Count());
}

TEST(ApplicationTest, StartUpFillsTheObjectAndASecondStartUpSucceeds) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  QWF::Application first;
  ASSERT_TRUE(QWF::StartUp(instance, SW_SHOWMINIMIZED, first, nullptr));
  // The classes are registered now; starting again in the same process still succeeds.
  QWF::Application second;
  ASSERT_TRUE(QWF::StartUp(instance, SW_SHOWNORMAL, second, "a \"b c\""));

  EXPECT_EQ(instance, first.Instance());
  EXPECT_EQ(SW_SHOWMINIMIZED, first.ShowCommand());
  EXPECT_STREQ("framework_tests", first.ApplicationName().Text());
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  dir.resize(dir.find_last_of(L'\\') + 1);
  char expected_dir[MAX_PATH * 2];
  WideCharToMultiByte(932, 0, dir.c_str(), -1, expected_dir, sizeof(expected_dir), nullptr,
                      nullptr);
  EXPECT_STREQ(expected_dir, first.ModuleDirectory().Text());
  EXPECT_EQ('\\', first.ModuleDirectory().Text()[first.ModuleDirectory().Length() - 1]);
  EXPECT_STREQ("Tessel Works", first.CompanyName().Text());
  EXPECT_EQ(2, first.SettingsKind());
  EXPECT_EQ(RegisterWindowMessageW(L"MSWHEEL_ROLLMSG"), first.WheelMessage());
  EXPECT_NE(0u, first.WheelMessage());
  EXPECT_EQ(0u, first.Arguments().Count());  // no command line, no arguments
  EXPECT_EQ((std::vector<std::string>{"a", "b c"}), ArgumentsOf(second));

  WNDCLASSEXW info = {};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetClassInfoExW(instance, L"QWF Basic Window Class", &info));
  EXPECT_EQ(static_cast<UINT>(CS_HREDRAW | CS_VREDRAW), info.style);
  EXPECT_EQ(reinterpret_cast<WNDPROC>(&QWF::WindowProcedure), info.lpfnWndProc);
  EXPECT_EQ(reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), info.hbrBackground);
  EXPECT_NE(nullptr, info.hCursor);
  ASSERT_TRUE(GetClassInfoExW(instance, L"QWF Splitter Window Class", &info));
  EXPECT_EQ(reinterpret_cast<WNDPROC>(&QWF::WindowProcedure), info.lpfnWndProc);
  EXPECT_EQ(nullptr, info.hCursor);
  EXPECT_EQ(nullptr, info.hbrBackground);
  EXPECT_EQ(nullptr, info.hIcon);
}

TEST(ApplicationTest, SplitsTheModulePathKeepingTheNativeDirectory) {
  struct Case {
    std::string path, dir, name;
  } cases[] = {
      {"C:\\games\\x\\update.exe", "C:\\games\\x\\", "update"},
      {"C:\\games\\x.y\\update", "C:\\games\\x.y\\", "update"},
      {"C:/a/b/tool.tar.exe", "C:/a/b/", "tool.tar"},
      {"update.exe", "", "update"},
      // "表" is 0x95 0x5C: its trail byte is no separator.
      {Cp932("C:\\表\\表示.exe"), Cp932("C:\\表\\"), Cp932("表示")},
      {Cp932("C:\\data\\表"), "C:\\data\\", Cp932("表")},
  };
  for (const Case& c : cases) {
    zorl::KString dir, name;
    QWF::SplitModulePath(c.path.c_str(), dir, name);
    EXPECT_EQ(c.dir, dir.Text()) << c.path;
    EXPECT_EQ(c.name, name.Text()) << c.path;
  }
}

// Construct and start-up on another thread, to watch that thread's COM state.
HRESULT ComStateAfter(bool start_up, bool com_before) {
  HRESULT probe = E_FAIL;
  std::thread([&] {
    if (com_before) CoInitialize(nullptr);
    {
      QWF::Application app;
      if (start_up) QWF::StartUp(GetModuleHandleW(nullptr), SW_SHOWNORMAL, app, nullptr);
    }
    probe = CoInitialize(nullptr);  // S_FALSE: COM was still initialised on this thread
    CoUninitialize();
    if (com_before) CoUninitialize();
  }).join();
  return probe;
}

TEST(ApplicationTest, TeardownBalancesOnlyItsOwnComInitialisation) {
  EXPECT_EQ(S_OK, ComStateAfter(/*start_up=*/true, /*com_before=*/false));
  // An object that never started leaves the thread's own COM alone.
  EXPECT_EQ(S_FALSE, ComStateAfter(/*start_up=*/false, /*com_before=*/true));
}

TEST(ApplicationTest, TeardownEmptiesTheObject) {
  QWF::Application app;
  ASSERT_TRUE(QWF::StartUp(GetModuleHandleW(nullptr), SW_SHOWNORMAL, app, "x y"));
  QWF::TearDown(app);
  EXPECT_EQ(0u, app.Arguments().Count());
  EXPECT_TRUE(app.ApplicationName().IsEmpty());
  EXPECT_TRUE(app.CompanyName().IsEmpty());
  QWF::TearDown(app);  // again: nothing more happens
}

// The entry with every step recorded.
std::vector<std::string> g_steps;
bool g_start_up_result = true;
bool g_main_throws = false;
QWF::Application* g_seen_app = nullptr;

QWF::EntrySteps RecordingSteps() {
  QWF::EntrySteps steps;
  steps.init_math_tables = [] { g_steps.push_back("math tables"); };
  steps.init_color_tables = [] { g_steps.push_back("colour tables"); };
  steps.plugin_host_start = [] { g_steps.push_back("plug-in host start"); };
  steps.start_up = [](QWF::InstanceHandle instance, int show, QWF::Application& app,
                      const char* line) {
    g_steps.push_back("start-up");
    return QWF::StartUp(instance, show, app, line) && g_start_up_result;
  };
  steps.main = [] {
    g_steps.push_back("main");
    g_seen_app = QWF::GetApplication();
    EXPECT_STREQ("Tessel Works", g_seen_app->CompanyName().Text());
    if (g_main_throws) throw std::runtime_error("main failed");
    return 42;
  };
  steps.debug_log_close = [] { g_steps.push_back("debug log close"); };
  steps.plugin_host_stop = [] { g_steps.push_back("plug-in host stop"); };
  return steps;
}

class EntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_steps.clear();
    g_start_up_result = true;
    g_main_throws = false;
    g_seen_app = nullptr;
  }
  void TearDown() override { fwtest::TestApplication(); }  // publish the test object again
};

TEST_F(EntryTest, RunsEveryStepInOrderAndReturnsMainsResult) {
  EXPECT_EQ(42, QWF::RunEntry(GetModuleHandleW(nullptr), SW_SHOWNORMAL, "", RecordingSteps()));
  EXPECT_EQ((std::vector<std::string>{"math tables", "colour tables", "plug-in host start",
                                      "start-up", "main", "debug log close",
                                      "plug-in host stop"}),
            g_steps);
  ASSERT_NE(nullptr, g_seen_app);
  // The object is gone once the entry returns; the global pointer does not dangle.
  EXPECT_NE(g_seen_app, QWF::GetApplication());
}

TEST_F(EntryTest, FailedStartUpNeverCallsMainAndStillShutsDown) {
  g_start_up_result = false;
  EXPECT_EQ(0, QWF::RunEntry(GetModuleHandleW(nullptr), SW_SHOWNORMAL, "", RecordingSteps()));
  EXPECT_EQ((std::vector<std::string>{"math tables", "colour tables", "plug-in host start",
                                      "start-up", "debug log close", "plug-in host stop"}),
            g_steps);
}

TEST_F(EntryTest, MainThrowingStillShutsDownAndPassesTheExceptionOn) {
  g_main_throws = true;
  EXPECT_THROW(QWF::RunEntry(GetModuleHandleW(nullptr), SW_SHOWNORMAL, "", RecordingSteps()),
               std::runtime_error);
  EXPECT_EQ((std::vector<std::string>{"math tables", "colour tables", "plug-in host start",
                                      "start-up", "main", "debug log close",
                                      "plug-in host stop"}),
            g_steps);
  EXPECT_NE(g_seen_app, QWF::GetApplication());
}

TEST_F(EntryTest, PreparesTheRuntimeLocaleAndOutOfMemoryHandler) {
  std::set_new_handler(nullptr);
  std::setlocale(LC_ALL, "C");
  QWF::RunEntry(GetModuleHandleW(nullptr), SW_SHOWNORMAL, "", RecordingSteps());
  std::new_handler handler = std::get_new_handler();
  ASSERT_NE(nullptr, handler);
  try {
    handler();
    FAIL() << "the out-of-memory handler returned";
  } catch (const std::bad_alloc& e) {
    EXPECT_STREQ("bad allocation", e.what());
  }
  // The user's default locale, not the "C" locale set before.
  EXPECT_STRNE("C", std::setlocale(LC_ALL, nullptr));
}

struct DefaultEntrySeen {
  HINSTANCE instance = nullptr;
  int show = -1;
  std::uint32_t arguments = 0;
  std::string company;
} g_default_seen;

TEST_F(EntryTest, TheEntryWithoutArgumentsTakesTheProcessesOwnValues) {
  int result = QWF::RunDefaultEntry([] {
    QWF::Application* app = QWF::GetApplication();
    g_default_seen.instance = app->Instance();
    g_default_seen.show = app->ShowCommand();
    g_default_seen.arguments = app->Arguments().Count();
    g_default_seen.company = app->CompanyName().Text();
    return 9;
  });
  EXPECT_EQ(9, result);
  EXPECT_EQ(GetModuleHandleW(nullptr), g_default_seen.instance);
  EXPECT_EQ(SW_SHOWNORMAL, g_default_seen.show);
  EXPECT_EQ("Tessel Works", g_default_seen.company);
  // The program's own arguments, without the program name.
  int count = 0;
  LocalFree(CommandLineToArgvW(GetCommandLineW(), &count));
  EXPECT_EQ(static_cast<std::uint32_t>(count - 1), g_default_seen.arguments);
}

TEST(EntryHelpersTest, SkipsTheProgramNameOfACommandLine) {
  struct Case {
    const char* line;
    const char* rest;
  } cases[] = {
      {"update.exe", ""},
      {"update.exe a b", "a b"},
      {"\"C:\\my games\\update.exe\"  -x", "-x"},
      {"\"C:\\a b\\u.exe\"", ""},
      {"u.exe\t\"q r\"", "\"q r\""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_STREQ(c.rest, QWF::SkipProgramName(c.line)) << c.line;
}

}  // namespace
