// Menu: a menu handle in the shared handle-wrapper pattern. Sub-menus come back as wrappers
// that do not own their menu, so discarding them never destroys it.
#ifndef FRAMEWORK_MENU_H_
#define FRAMEWORK_MENU_H_

#include "framework/handle_ref.h"
#include "framework/module.h"
#include "framework/no_win32_macros.h"
#include "framework/types.h"

namespace QWF {

struct MenuRecord {
  MenuHandle handle = nullptr;
};

class Menu {
 public:
  Menu() = default;
  // Wraps a menu someone else owns.
  explicit Menu(MenuHandle handle);
  // Shares the other's menu without owning it.
  Menu(const Menu& other);
  Menu& operator=(const Menu&) = delete;

  // 0: destroys the menu if this object loaded or created it.
  virtual ~Menu();
  // 1-4: load a menu resource by name or 16-bit identifier, from `module` or from the
  // application's executable. False, keeping the old menu, when one is held; false when
  // there is no such menu.
  virtual bool Load(Module& module, const char* name);
  virtual bool Load(const char* name);
  virtual bool Load(Module& module, unsigned short id);
  virtual bool Load(unsigned short id);
  // 5: a new empty menu. False when one is held.
  virtual bool CreateEmpty();
  // 6: destroys the menu if owned; the object is empty afterwards.
  virtual void Detach();
  // 7: destroys the menu (owned or not). False when the object holds nothing.
  virtual bool Destroy();
  // 8-9: EnableMenuItem / CheckMenuItem; true when the item exists.
  virtual bool EnableItem(unsigned id, unsigned flags);
  virtual bool CheckItem(unsigned id, unsigned flags);
  // 10: the sub-menu at `position`, not owned (empty when there is none).
  virtual Menu SubMenu(int position);

  MenuHandle Handle() const { return ref_.Get(); }
  bool Owned() const { return ref_.Owned(); }

 private:
  bool LoadResource(InstanceHandle module, const wchar_t* name);
  HandleRef<MenuRecord> ref_;
};

}  // namespace QWF

#endif  // FRAMEWORK_MENU_H_
