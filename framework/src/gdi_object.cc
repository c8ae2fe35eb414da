#include "framework/win32.h"

#include <cstring>

#include "framework/gdi_object.h"
#include "gdi_text.h"

namespace QWF {

namespace {
void DeleteHeld(GdiHandle object) { ::DeleteObject(object); }
}  // namespace

GdiObject::GdiObject(GdiHandle handle) { ref_.Attach(handle, false); }

GdiObject::GdiObject(const GdiObject& other) : ref_(other.ref_) {}

GdiObject::~GdiObject() { Detach(); }

void GdiObject::Detach() { ref_.Detach(&DeleteHeld); }

bool GdiObject::Delete() {
  if (!ref_.Holds()) return false;
  if (!::DeleteObject(Handle())) return false;
  // Deleted: the shared record lets every copy see it gone.
  ref_.Release([](GdiHandle) {});
  return true;
}

int GdiObject::Description(int size, void* buffer) {
  GdiHandle object = Handle();
  if (GetObjectType(object) != OBJ_FONT) return GetObjectW(object, size, buffer);
  // A font describes itself with its face name: read it wide, hand it out in cp932.
  if (!buffer) return static_cast<int>(sizeof(FontRecord));
  LOGFONTW wide;
  if (GetObjectW(object, sizeof wide, &wide) == 0 || size <= 0) return 0;
  FontRecord record;
  NarrowFontRecord(wide, &record);
  const int n = size < static_cast<int>(sizeof record) ? size : static_cast<int>(sizeof record);
  std::memcpy(buffer, &record, static_cast<std::size_t>(n));
  return n;
}

bool GdiObject::Stock(int index) {
  if (ref_.Holds()) return false;
  GdiHandle object = GetStockObject(index);
  if (!object) return false;
  ref_.Attach(object, false);
  return true;
}

unsigned GdiObject::ObjectType() { return Handle() ? GetObjectType(Handle()) : 0; }

bool GdiObject::Adopt(GdiHandle handle) { return ref_.Adopt(handle); }

}  // namespace QWF
