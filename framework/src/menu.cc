#include "framework/win32.h"

#include "framework/application.h"
#include "framework/menu.h"
#include "wide_text.h"

namespace QWF {

namespace {
void DestroyMenuHandle(MenuHandle menu) { ::DestroyMenu(menu); }

InstanceHandle ApplicationInstance() {
  Application* app = GetApplication();
  return app ? app->Instance() : GetModuleHandleW(nullptr);
}
}  // namespace

Menu::Menu(MenuHandle handle) { ref_.Attach(handle, false); }

Menu::Menu(const Menu& other) : ref_(other.ref_) {}

Menu::~Menu() { Detach(); }

bool Menu::LoadResource(InstanceHandle module, const wchar_t* name) {
  if (ref_.Holds()) return false;
  return ref_.Adopt(LoadMenuW(module, name));
}

bool Menu::Load(Module& module, const char* name) {
  return LoadResource(module.Handle(), Widen(name).c_str());
}

bool Menu::Load(const char* name) {
  Module executable(ApplicationInstance());
  return Load(executable, name);
}

bool Menu::Load(Module& module, unsigned short id) {
  return LoadResource(module.Handle(), MAKEINTRESOURCEW(id));
}

bool Menu::Load(unsigned short id) {
  Module executable(ApplicationInstance());
  return Load(executable, id);
}

bool Menu::CreateEmpty() {
  if (ref_.Holds()) return false;
  return ref_.Adopt(::CreateMenu());
}

void Menu::Detach() { ref_.Detach(&DestroyMenuHandle); }

bool Menu::Destroy() { return ref_.Release(&DestroyMenuHandle); }

bool Menu::EnableItem(unsigned id, unsigned flags) {
  return EnableMenuItem(Handle(), id, flags) != -1;
}

bool Menu::CheckItem(unsigned id, unsigned flags) {
  return CheckMenuItem(Handle(), id, flags) != static_cast<DWORD>(-1);
}

Menu Menu::SubMenu(int position) { return Menu(GetSubMenu(Handle(), position)); }

}  // namespace QWF
