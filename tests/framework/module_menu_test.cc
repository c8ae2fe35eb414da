// The module and menu wrappers and their shared ownership pattern.
#include <cstring>
#include <string>
#include <thread>

#include "framework/menu.h"
#include "framework/module.h"
#include "framework/win32.h"
#include "framework/window.h"
#include "gtest/gtest.h"
#include "test_application.h"
#include "test_resources.h"

namespace {

TEST(ModuleTest, NativeNamesTurnSlashesButNeverTrailBytes) {
  struct Case {
    std::string name, expected;
  } cases[] = {
      {"C:/games/plug/a.spi", "C:\\games\\plug\\a.spi"},
      {"already\\native.dll", "already\\native.dll"},
      {"", ""},
      // A lead byte takes the next byte as its trail, even one equal to "/".
      {"\x81/x/y.dll", "\x81/x\\y.dll"},
      {"dir/\x95\x5C/z.dll", "dir\\\x95\x5C\\z.dll"},
      {std::string(300, 'a'), std::string(263, 'a')},
  };
  for (const Case& c : cases) {
    char out[264];
    QWF::NativeModuleName(c.name.c_str(), out);
    EXPECT_EQ(c.expected, out) << c.name;
  }
}

// A system library this process has not loaded, with one of its exports.
struct Library {
  const char* file;
  const wchar_t* wide;
  const char* export_name;
};
const Library& UnloadedLibrary() {
  static const Library candidates[] = {{"hid.dll", L"hid.dll", "HidD_GetHidGuid"},
                                       {"cabinet.dll", L"cabinet.dll", "FDICreate"},
                                       {"msimg32.dll", L"msimg32.dll", "AlphaBlend"},
                                       {"version.dll", L"version.dll", "GetFileVersionInfoW"}};
  for (const Library& c : candidates)
    if (!GetModuleHandleW(c.wide)) return c;
  ADD_FAILURE() << "every candidate library is loaded already";
  return candidates[0];
}

std::string SystemDllPath(const char* file) {
  char dir[MAX_PATH];
  GetSystemDirectoryA(dir, MAX_PATH);
  std::string path = std::string(dir) + "/" + file;
  for (char& ch : path)
    if (ch == '\\') ch = '/';
  return path;
}

TEST(ModuleTest, LoadsThroughASlashedPathAndOnlyTheOwnerFrees) {
  const Library& lib = UnloadedLibrary();
  {
    QWF::Module module;
    ASSERT_TRUE(module.Load(SystemDllPath(lib.file).c_str(), 0));
    EXPECT_TRUE(module.Owned());
    EXPECT_NE(nullptr, module.ProcAddress(lib.export_name));
    EXPECT_EQ(nullptr, module.ProcAddress("NoSuchExport"));
    std::string path = module.FilePath().Text();
    std::string tail = std::string("\\") + lib.file;
    ASSERT_GE(path.size(), tail.size());
    EXPECT_EQ(0, _stricmp(path.c_str() + path.size() - tail.size(), tail.c_str())) << path;

    // Loading into a wrapper that holds a module fails and keeps the old one.
    HMODULE held = module.Handle();
    EXPECT_FALSE(module.Load(SystemDllPath("comdlg32.dll").c_str(), 0));
    EXPECT_EQ(held, module.Handle());

    {
      QWF::Module wrapper(module.Handle());
      QWF::Module copy(module);
      EXPECT_FALSE(wrapper.Owned());
      EXPECT_FALSE(copy.Owned());
    }
    EXPECT_EQ(held, GetModuleHandleW(lib.wide));  // wrappers left it loaded
  }
  EXPECT_EQ(nullptr, GetModuleHandleW(lib.wide));  // the owner freed it
}

TEST(ModuleTest, FreeReleasesOnceAndSharedCopiesSeeIt) {
  QWF::Module module;
  EXPECT_FALSE(module.Free());
  const Library& lib = UnloadedLibrary();
  ASSERT_TRUE(module.Load(lib.file, 0));
  QWF::Module copy(module);
  EXPECT_TRUE(module.Free());
  EXPECT_EQ(nullptr, copy.Handle());
  EXPECT_EQ(nullptr, GetModuleHandleW(lib.wide));
  EXPECT_FALSE(module.Free());
  EXPECT_FALSE(module.Load("no-such-library-here.dll", 0));
  EXPECT_EQ(nullptr, module.Handle());
}

TEST(ModuleTest, FreeAndExitThreadEndsTheCallingThread) {
  QWF::Module module;
  const Library& lib = UnloadedLibrary();
  ASSERT_TRUE(module.Load(lib.file, 0));
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void* arg) -> DWORD {
        auto* m = static_cast<QWF::Module*>(arg);
        m->FreeAndExitThread(55);
        return 1;
      },
      &module, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  WaitForSingleObject(thread, 10000);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  EXPECT_EQ(55u, code);  // the thread ended inside the call
  EXPECT_EQ(nullptr, GetModuleHandleW(lib.wide));
  EXPECT_EQ(nullptr, module.Handle());
}

class MenuTest : public ::testing::Test {
 protected:
  void SetUp() override { fwtest::TestApplication(); }
};

TEST_F(MenuTest, SubMenuWrappersNeverDestroyTheirMenu) {
  HMENU sub = nullptr;
  HMENU top = nullptr;
  {
    QWF::Menu menu;
    ASSERT_TRUE(menu.Load(IDM_MAIN));
    top = menu.Handle();
    EXPECT_TRUE(menu.Owned());
    {
      QWF::Menu file = menu.SubMenu(0);
      EXPECT_FALSE(file.Owned());
      sub = file.Handle();
      ASSERT_NE(nullptr, sub);
      QWF::Menu recent = file.SubMenu(1);
      ASSERT_NE(nullptr, recent.Handle());
      EXPECT_EQ(nullptr, file.SubMenu(0).Handle());  // "Open" has no sub-menu
    }
    EXPECT_TRUE(IsMenu(sub));
    EXPECT_TRUE(IsMenu(top));
    // Load on a wrapper that holds a menu fails and keeps it.
    EXPECT_FALSE(menu.Load(IDM_MAIN));
    EXPECT_FALSE(menu.CreateEmpty());
    EXPECT_EQ(top, menu.Handle());
  }
  EXPECT_FALSE(IsMenu(top));  // the owner destroyed it, with its sub-menus
  EXPECT_FALSE(IsMenu(sub));
}

TEST_F(MenuTest, LoadsByNameFromAModuleAndEditsItems) {
  QWF::Module executable(GetModuleHandleW(nullptr));
  QWF::Menu named;
  ASSERT_TRUE(named.Load(executable, "NAMED_MENU"));
  QWF::Menu missing;
  EXPECT_FALSE(missing.Load(executable, static_cast<unsigned short>(999)));
  EXPECT_FALSE(missing.Load("NO_SUCH_MENU"));
  EXPECT_EQ(nullptr, missing.Handle());

  QWF::Menu menu;
  ASSERT_TRUE(menu.Load(executable, static_cast<unsigned short>(IDM_MAIN)));
  QWF::Menu file = menu.SubMenu(0);
  EXPECT_TRUE(file.CheckItem(IDM_OPEN, MF_BYCOMMAND | MF_CHECKED));
  EXPECT_TRUE(GetMenuState(file.Handle(), IDM_OPEN, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_TRUE(file.EnableItem(IDM_QUIT, MF_BYCOMMAND | MF_GRAYED));
  EXPECT_TRUE(GetMenuState(file.Handle(), IDM_QUIT, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_FALSE(file.EnableItem(4242, MF_BYCOMMAND | MF_GRAYED));

  // Destroy works on a held menu once; a non-owner's discard keeps it.
  QWF::Menu empty;
  ASSERT_TRUE(empty.CreateEmpty());
  HMENU handle = empty.Handle();
  EXPECT_TRUE(empty.Destroy());
  EXPECT_FALSE(IsMenu(handle));
  EXPECT_FALSE(empty.Destroy());
}

TEST_F(MenuTest, AWindowsMenuWrapperLeavesTheMenuToTheWindow) {
  QWF::Window window;
  ASSERT_TRUE(window.Create(nullptr, "menu", WS_OVERLAPPEDWINDOW, 0));
  QWF::Menu menu;
  ASSERT_TRUE(menu.Load(IDM_MAIN));
  ASSERT_TRUE(window.SetMenu(menu));
  {
    QWF::Menu held = window.GetMenu();
    EXPECT_EQ(menu.Handle(), held.Handle());
    EXPECT_FALSE(held.Owned());
  }
  EXPECT_TRUE(IsMenu(menu.Handle()));
  EXPECT_TRUE(window.RemoveMenu());
  EXPECT_EQ(nullptr, GetMenu(window.Handle()));
}

}  // namespace
