// The settings store on each backend, and windows saving and restoring their placement.
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/ini_file.h"
#include "framework/message_pump.h"
#include "framework/placement_text.h"
#include "framework/settings.h"
#include "framework/win32.h"
#include "framework/window.h"
#include "gtest/gtest.h"
#include "platform/wide.h"
#include "test_application.h"

namespace {

constexpr int kCurrentUserRegistry = 0;
constexpr int kLocalMachineRegistry = QWF::kLocalMachineRegistrySettings;
constexpr int kModuleIni = QWF::kIniSettings;
constexpr int kWindowsIni = QWF::kWindowsDirectoryIniSettings;

// cp932 "表": its trail byte is 0x5C, a backslash in a single-byte reading.
const char kBackslashTrail[] = "\x95\x5C";

std::wstring ModuleDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring whole(path);
  return whole.substr(0, whole.find_last_of(L"\\/") + 1);
}

std::wstring WindowsDirectory() {
  wchar_t path[MAX_PATH] = {};
  GetWindowsDirectoryW(path, MAX_PATH);
  return std::wstring(path) + L"\\";
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Every test runs under an application name of its own process, so test processes running
// at once (ctest -j, the Western code page run) never share a file or a key, and removes
// what the store wrote.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QWF::Application& app = fwtest::TestApplication();
    saved_name_ = app.ApplicationName();
    saved_directory_ = app.ModuleDirectory();
    saved_kind_ = app.SettingsKind();
    char name[64];
    std::snprintf(name, sizeof(name), "settings_test_%lu",
                  static_cast<unsigned long>(GetCurrentProcessId()));
    app.SetApplicationName(zorl::KString(zorl::KRef<char>(name)));
    name_ = platform::Widen(name);
    RemoveEverything();
  }
  void TearDown() override {
    QWF::PumpPendingMessages();
    RemoveEverything();
    QWF::Application& app = fwtest::TestApplication();
    app.SetApplicationName(saved_name_);
    app.SetModuleDirectory(saved_directory_);
    app.SetSettingsKind(saved_kind_);
  }

  void RemoveEverything() {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      RegDeleteTreeW(root, AppKey().c_str());
      // The company key only when no other application's settings are in it.
      RegDeleteKeyW(root, L"Software\\Tessel Works");
    }
    DeleteFileW(ModuleIni().c_str());
    DeleteFileW(WindowsIni().c_str());
  }

  std::wstring AppKey() const { return L"Software\\Tessel Works\\" + name_; }
  std::wstring ModuleIni() const { return ModuleDirectory() + name_ + L".ini"; }
  std::wstring WindowsIni() const { return WindowsDirectory() + name_ + L".ini"; }

  static void UseKind(int kind) { fwtest::TestApplication().SetSettingsKind(kind); }

  std::wstring name_;

 private:
  zorl::KString saved_name_;
  zorl::KString saved_directory_;
  int saved_kind_ = 0;
};

TEST_F(SettingsTest, EveryKindRoundTripsIntegersAndStringsAndFallsBack) {
  const std::string long_text(300, 'x');
  for (int kind : {kCurrentUserRegistry, kLocalMachineRegistry, kModuleIni, kWindowsIni}) {
    SCOPED_TRACE("settings kind " + std::to_string(kind));
    UseKind(kind);
    // Nothing stored yet: the fallbacks, also for a section that does not exist.
    EXPECT_EQ(17, QWF::ReadSettingInteger("Main", "count", 17));
    EXPECT_EQ("none", std::string(QWF::ReadSettingString("Main", "title", "none").Text()));
    EXPECT_TRUE(QWF::ReadSettingString("Main", "title", nullptr).IsEmpty());

    EXPECT_TRUE(QWF::WriteSettingInteger("Main", "count", 42));
    EXPECT_TRUE(QWF::WriteSettingInteger("Main", "negative", -7));
    EXPECT_TRUE(QWF::WriteSettingInteger("Main", "lowest", INT_MIN));
    EXPECT_TRUE(QWF::WriteSettingString("Main", "title", kBackslashTrail));
    EXPECT_TRUE(QWF::WriteSettingString("Main", "long", long_text.c_str()));
    EXPECT_TRUE(QWF::WriteSettingString("Main", "empty", ""));
    const std::string japanese_name = fwtest::Cp932("名前");
    EXPECT_TRUE(QWF::WriteSettingString(fwtest::Cp932("設定").c_str(), japanese_name.c_str(),
                                        fwtest::Cp932("ゲーム表示").c_str()));

    EXPECT_EQ(42, QWF::ReadSettingInteger("Main", "count", 0));
    EXPECT_EQ(-7, QWF::ReadSettingInteger("Main", "negative", 0));
    EXPECT_EQ(INT_MIN, QWF::ReadSettingInteger("Main", "lowest", 0));
    EXPECT_EQ(kBackslashTrail, std::string(QWF::ReadSettingString("Main", "title", "").Text()));
    EXPECT_EQ(long_text, std::string(QWF::ReadSettingString("Main", "long", "").Text()));
    EXPECT_EQ("", std::string(QWF::ReadSettingString("Main", "empty", "fallback").Text()));
    EXPECT_EQ(fwtest::Cp932("ゲーム表示"),
              std::string(QWF::ReadSettingString(fwtest::Cp932("設定").c_str(),
                                                 japanese_name.c_str(), "")
                              .Text()));
    // Other names and sections stay missing.
    EXPECT_EQ(5, QWF::ReadSettingInteger("Main", "other", 5));
    EXPECT_EQ(5, QWF::ReadSettingInteger("Other", "count", 5));
    EXPECT_TRUE(QWF::WriteSettingInteger("Main", "count", 43));
    EXPECT_EQ(43, QWF::ReadSettingInteger("Main", "count", 0));
  }
}

TEST_F(SettingsTest, RegistryValuesLiveUnderCompanyApplicationAndSection) {
  for (int kind : {kCurrentUserRegistry, kLocalMachineRegistry}) {
    SCOPED_TRACE("settings kind " + std::to_string(kind));
    RemoveEverything();
    UseKind(kind);
    HKEY root = kind == kLocalMachineRegistry ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    HKEY other = kind == kLocalMachineRegistry ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    std::wstring path = AppKey() + L"\\Window";
    HKEY key = nullptr;
    // Reading does not create the key.
    EXPECT_EQ(3, QWF::ReadSettingInteger("Window", "width", 3));
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key));

    ASSERT_TRUE(QWF::WriteSettingInteger("Window", "width", 640));
    ASSERT_TRUE(QWF::WriteSettingString("Window", "title", kBackslashTrail));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key));
    DWORD type = 0;
    DWORD number = 0;
    DWORD size = sizeof(number);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"width", nullptr, &type,
                                              reinterpret_cast<BYTE*>(&number), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(4u, size);
    EXPECT_EQ(640u, number);
    wchar_t text[16] = {};
    size = sizeof(text);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"title", nullptr, &type,
                                              reinterpret_cast<BYTE*>(text), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(4u, size);  // one UTF-16 character and the terminating zero
    EXPECT_STREQ(L"\u8868", text);
    RegCloseKey(key);
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(other, path.c_str(), 0, KEY_READ, &key))
        << "written under the other root";

    // A value of the other type reads as the fallback.
    EXPECT_EQ(9, QWF::ReadSettingInteger("Window", "title", 9));
    EXPECT_EQ("fb", std::string(QWF::ReadSettingString("Window", "width", "fb").Text()));
  }
}

TEST_F(SettingsTest, IniFilesAreNamedAfterTheApplicationBesideTheExecutableOrInWindows) {
  for (int kind : {kModuleIni, kWindowsIni}) {
    SCOPED_TRACE("settings kind " + std::to_string(kind));
    RemoveEverything();
    UseKind(kind);
    std::wstring file = kind == kModuleIni ? ModuleIni() : WindowsIni();
    std::wstring elsewhere = kind == kModuleIni ? WindowsIni() : ModuleIni();
    EXPECT_EQ(1, QWF::ReadSettingInteger("Window", "width", 1));
    EXPECT_FALSE(FileExists(file)) << "reading created the file";
    ASSERT_TRUE(QWF::WriteSettingInteger("Window", "width", -640));
    ASSERT_TRUE(QWF::WriteSettingString("Window", "title", kBackslashTrail));
    ASSERT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(elsewhere));
    wchar_t text[16] = {};
    GetPrivateProfileStringW(L"Window", L"width", L"", text, 16, file.c_str());
    EXPECT_STREQ(L"-640", text);
    GetPrivateProfileStringW(L"Window", L"title", L"", text, 16, file.c_str());
    EXPECT_STREQ(L"\u8868", text);
  }
}

TEST_F(SettingsTest, IniIntegersReadTheLeadingNumberOfWhatIsStored) {
  UseKind(kModuleIni);
  struct Case {
    const wchar_t* stored;
    int expected;
  };
  const Case cases[] = {
      {L"12abc", 12},       {L"abc", 0},          {L"", 0},
      {L"  -35", -35},      {L"99999999999", INT_MAX}, {L"-99999999999", INT_MIN},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WritePrivateProfileStringW(L"Numbers", L"value", c.stored, ModuleIni().c_str()));
    EXPECT_EQ(c.expected, QWF::ReadSettingInteger("Numbers", "value", 77))
        << "expected from the stored text of case " << (&c - cases);
  }
}

TEST_F(SettingsTest, AMissingValueNameOrApplicationIsRefusedWithoutTouchingTheStore) {
  for (int kind : {kCurrentUserRegistry, kModuleIni}) {
    SCOPED_TRACE("settings kind " + std::to_string(kind));
    UseKind(kind);
    ASSERT_TRUE(QWF::WriteSettingString("Main", "kept", "yes"));
    // For an ini file a null name would delete the whole section.
    EXPECT_FALSE(QWF::WriteSettingString("Main", nullptr, "x"));
    EXPECT_FALSE(QWF::WriteSettingString("Main", "", "x"));
    EXPECT_FALSE(QWF::WriteSettingInteger("Main", nullptr, 1));
    EXPECT_FALSE(QWF::WriteSettingString(nullptr, "kept", "x"));
    EXPECT_EQ(4, QWF::ReadSettingInteger("Main", nullptr, 4));
    EXPECT_EQ("yes", std::string(QWF::ReadSettingString("Main", "kept", "").Text()));

    QWF::PublishApplication(nullptr);
    EXPECT_FALSE(QWF::WriteSettingString("Main", "kept", "no"));
    EXPECT_EQ(6, QWF::ReadSettingInteger("Main", "kept", 6));
    EXPECT_EQ("fb", std::string(QWF::ReadSettingString("Main", "kept", "fb").Text()));
    fwtest::TestApplication();  // publishes it again
    EXPECT_EQ("yes", std::string(QWF::ReadSettingString("Main", "kept", "").Text()));
  }
  // Without a module directory the ini file would land in the Windows directory.
  UseKind(kModuleIni);
  fwtest::TestApplication().SetModuleDirectory(zorl::KString());
  EXPECT_FALSE(QWF::WriteSettingString("Main", "value", "x"));
  EXPECT_FALSE(FileExists(WindowsIni()));
}

TEST(PlacementTextTest, FormatsAndParsesTenNumbers) {
  QWF::Placement placement = {};
  placement.flags = 2;
  placement.show_command = 3;
  placement.min_position = QWF::Point{-1, -2};
  placement.max_position = QWF::Point{-3, -4};
  placement.normal_position = {10, 20, 330, 260};
  EXPECT_EQ("2_3_-1_-2_-3_-4_10_20_330_260",
            std::string(QWF::FormatPlacement(placement).Text()));

  struct Case {
    const char* text;
    bool parses;
  };
  const Case cases[] = {
      {"2_3_-1_-2_-3_-4_10_20_330_260", true},
      {"2_3_-1_-2_-3_-4_10_20_330_260 and more", true},
      {"0_1_0_0_0_0_0_0_640", false},           // nine
      {"1_2_3", false},                         // short
      {"", false},
      {"0_1_0_0_0_0_0_0_640_x", false},
      {"0-1_0_0_0_0_0_0_640_480", false},       // wrong separator
      {"0_1_0_0_0_0_0_0_640_99999999999", false},  // does not fit an int
  };
  for (const Case& c : cases) {
    QWF::Placement parsed = {};
    parsed.flags = 99;
    EXPECT_EQ(c.parses, QWF::ParsePlacement(c.text, &parsed)) << c.text;
    if (c.parses) {
      EXPECT_EQ(44u, parsed.length);
      EXPECT_EQ(std::string("2_3_-1_-2_-3_-4_10_20_330_260"),
                std::string(QWF::FormatPlacement(parsed).Text()));
    } else {
      EXPECT_EQ(99u, parsed.flags) << "changed by a failed parse: " << c.text;
    }
  }
  EXPECT_FALSE(QWF::ParsePlacement(nullptr, &placement));
}

using PlacementTest = SettingsTest;

TEST_F(PlacementTest, SaveAndRestoreRoundTripThroughEveryKind) {
  for (int kind : {kCurrentUserRegistry, kModuleIni}) {
    SCOPED_TRACE("settings kind " + std::to_string(kind));
    UseKind(kind);
    QWF::Window window;
    ASSERT_TRUE(window.Create(nullptr, "saved", WS_OVERLAPPEDWINDOW, 0, 30, 40, 200, 150));
    window.Show(SW_SHOWNORMAL);
    ASSERT_TRUE(window.SavePlacement("main"));
    std::string stored = QWF::ReadSettingString("Placement", "main", "").Text();
    EXPECT_EQ(0u, stored.find("0_1_")) << stored;
    EXPECT_NE(std::string::npos, stored.find("_30_40_230_190")) << stored;

    window.Move(300, 200, 120, 90);
    window.Hide();
    ASSERT_TRUE(window.RestorePlacement("main"));
    QWF::Rect r = window.WindowRect();
    EXPECT_EQ(30, r.x);
    EXPECT_EQ(40, r.y);
    EXPECT_EQ(200, r.width);
    EXPECT_EQ(150, r.height);
    EXPECT_TRUE(window.IsVisible());
  }
}

TEST_F(PlacementTest, AMaximisedWindowSavesThatItRestoresMaximised) {
  UseKind(kModuleIni);
  QWF::Window window;
  ASSERT_TRUE(window.Create(nullptr, "maximised", WS_OVERLAPPEDWINDOW, 0, 30, 40, 200, 150));
  window.Show(SW_MAXIMIZE);
  ASSERT_TRUE(window.IsMaximised());
  ASSERT_TRUE(window.SavePlacement("main"));
  QWF::Placement placement = {};
  ASSERT_TRUE(QWF::ParsePlacement(
      QWF::ReadSettingString("Placement", "main", "").Text(), &placement));
  EXPECT_EQ(static_cast<std::uint32_t>(WPF_RESTORETOMAXIMIZED),
            placement.flags & WPF_RESTORETOMAXIMIZED);
  EXPECT_EQ(static_cast<std::uint32_t>(SW_SHOWMAXIMIZED), placement.show_command);
}

TEST_F(PlacementTest, NothingUsableStoredCentresA640By480ClientAndShows) {
  UseKind(kModuleIni);
  const char* stored[] = {nullptr, "1_2_3", "", "0_1_0_0_0_0_0_0_640_99999999999"};
  for (const char* value : stored) {
    SCOPED_TRACE(value ? value : "(nothing stored)");
    if (value) {
      ASSERT_TRUE(QWF::WriteSettingString("Placement", "main", value));
    }
    QWF::Window window;
    ASSERT_TRUE(window.Create(nullptr, "fallback", WS_OVERLAPPEDWINDOW, 0, 5, 5, 100, 80));
    ASSERT_TRUE(window.RestorePlacement("main"));
    QWF::Rect client = window.ClientRect();
    EXPECT_EQ(640, client.width);
    EXPECT_EQ(480, client.height);
    QWF::Rect r = window.WindowRect();
    EXPECT_EQ(GetSystemMetrics(SM_CXFULLSCREEN) / 2 - r.width / 2, r.x);
    EXPECT_EQ(GetSystemMetrics(SM_CYFULLSCREEN) / 2 - r.height / 2, r.y);
    EXPECT_TRUE(window.IsVisible());
  }
}

TEST_F(PlacementTest, RestorePositionMovesToTheStoredCornerKeepingTheSize) {
  UseKind(kModuleIni);
  QWF::Window window;
  ASSERT_TRUE(window.Create(nullptr, "position", WS_OVERLAPPEDWINDOW, 0, 50, 60, 210, 160));
  // Nothing stored: the top-left corner of the screen.
  ASSERT_TRUE(window.RestorePosition("main"));
  QWF::Rect r = window.WindowRect();
  EXPECT_EQ(0, r.x);
  EXPECT_EQ(0, r.y);
  EXPECT_EQ(210, r.width);
  EXPECT_EQ(160, r.height);

  ASSERT_TRUE(QWF::WriteSettingString("Placement", "main", "0_1_0_0_0_0_70_80_400_400"));
  ASSERT_TRUE(window.RestorePosition("main"));
  r = window.WindowRect();
  EXPECT_EQ(70, r.x);
  EXPECT_EQ(80, r.y);
  EXPECT_EQ(210, r.width);
  EXPECT_EQ(160, r.height);

  window.Move(90, 90, -1, -1);
  ASSERT_TRUE(QWF::WriteSettingString("Placement", "main", "garbage"));
  ASSERT_TRUE(window.RestorePosition("main"));
  EXPECT_EQ(0, window.WindowRect().x);
  EXPECT_EQ(0, window.WindowRect().y);
}

TEST_F(PlacementTest, WithoutAWindowOrAStoreNothingIsReportedDone) {
  UseKind(kModuleIni);
  QWF::Window empty;
  EXPECT_FALSE(empty.SavePlacement("main"));
  EXPECT_FALSE(empty.RestorePlacement("main"));
  EXPECT_FALSE(empty.RestorePosition("main"));
  EXPECT_FALSE(FileExists(ModuleIni()));

  // A store that refuses the write: saving reports it.
  QWF::Window window;
  ASSERT_TRUE(window.Create(nullptr, "unsaved", WS_OVERLAPPEDWINDOW, 0, 5, 5, 100, 80));
  fwtest::TestApplication().SetModuleDirectory(zorl::KString());
  EXPECT_FALSE(window.SavePlacement("main"));
}

}  // namespace
