// GdiObject: a pen, brush, font, bitmap, palette or region in the shared handle-wrapper
// pattern. The object that created a GDI object owns it and deletes it when detached; copies
// and wrappers of objects obtained elsewhere (selected, current, stock) never delete.
//
//   QWF::GdiObject pen(CreatePen(PS_SOLID, 1, 0));   // wraps, does not own
//   QWF::GdiObject previous = dc.Select(pen);          // not owned either
//   dc.Select(previous);
#ifndef FRAMEWORK_GDI_OBJECT_H_
#define FRAMEWORK_GDI_OBJECT_H_

#include "framework/drawing_types.h"
#include "framework/handle_ref.h"
#include "framework/no_win32_macros.h"

namespace QWF {

struct GdiRecord {
  GdiHandle handle = nullptr;
};

class GdiObject {
 public:
  // Empty: no object.
  GdiObject() = default;
  // Wraps an object someone else owns; never deletes it.
  explicit GdiObject(GdiHandle handle);
  // Shares the other's object without owning it.
  GdiObject(const GdiObject& other);
  GdiObject& operator=(const GdiObject&) = delete;

  // 0: deletes the object if this wrapper created it.
  virtual ~GdiObject();
  // 1: deletes the object if this wrapper created it; the wrapper is empty afterwards.
  virtual void Detach();
  // 2: deletes the object (owned or not); the wrapper is empty afterwards. False when it
  // holds nothing or the system refuses (the object is still selected into a context: it is
  // then kept and stays held).
  virtual bool Delete();
  // 3: the object's description (GetObject) into `buffer` of `size` bytes: the bytes
  // written, 0 on failure. Without a buffer: the bytes the description needs. A font's
  // description is a FontRecord with a cp932 face name.
  virtual int Description(int size, void* buffer);
  // 4: holds the stock object `index` (WHITE_BRUSH, SYSTEM_FONT ...), not owned. False when
  // an object is held or there is no such stock object.
  virtual bool Stock(int index);
  // 5: the object's kind (OBJ_PEN, OBJ_BRUSH, OBJ_FONT ...), 0 when none or on failure.
  virtual unsigned ObjectType();

  GdiHandle Handle() const { return ref_.Get(); }
  bool Owned() const { return ref_.Owned(); }

 protected:
  // Holds `handle`, created by this wrapper and so owned. False (holding nothing new) for a
  // null handle.
  bool Adopt(GdiHandle handle);
  bool Holds() const { return ref_.Holds(); }

 private:
  HandleRef<GdiRecord> ref_;
};

}  // namespace QWF

#endif  // FRAMEWORK_GDI_OBJECT_H_
