// HandleRef: the ownership pattern of every wrapper around a system handle (window, module,
// menu, registry key).
//
// A wrapper holds a counted reference to a record that holds the handle, plus an owned flag.
// Copies share the record, so when one wrapper releases the handle every copy sees it gone.
// Only the wrapper that obtained the handle (owned) releases it when it is detached.
//
//   obtain   fails when a handle is held; otherwise a fresh record, owned = true (Adopt)
//   Release  false without a record; else frees the handle (if any), clears it in the shared
//            record, drops the reference, owned = false, true
//   Detach   Release if owned; otherwise just drops the reference
#ifndef FRAMEWORK_HANDLE_REF_H_
#define FRAMEWORK_HANDLE_REF_H_

#include "foundation/kref.h"

namespace QWF {

template <class Record>
class HandleRef {
 public:
  using Handle = decltype(Record::handle);

  HandleRef() = default;
  // A copy shares the record but never owns it.
  HandleRef(const HandleRef& other) : record_(other.record_) {}
  HandleRef& operator=(const HandleRef&) = delete;

  // The held handle, or none.
  Handle Get() const { return record_ ? record_->handle : Handle(); }
  bool Holds() const { return Get() != Handle(); }
  bool HasRecord() const { return static_cast<bool>(record_); }
  bool Owned() const { return owned_; }
  void SetOwned(bool owned) { owned_ = owned; }
  Record* GetRecord() const { return record_.Get(); }
  const zorl::KRef<Record>& Shared() const { return record_; }

  // Replaces the record by a fresh one holding `handle`.
  void Attach(Handle handle, bool owned) {
    zorl::KRef<Record> fresh;
    fresh.Reset(1);
    fresh->handle = handle;
    record_ = fresh;
    owned_ = owned;
  }

  // Holds `handle`, which this wrapper obtained and so owns, in a fresh record. False,
  // changing nothing, for a null handle (the system refused it).
  bool Adopt(Handle handle) {
    if (handle == Handle()) return false;
    Attach(handle, true);
    return true;
  }

  // Shares another wrapper's record without owning it.
  void Share(const zorl::KRef<Record>& record) {
    record_ = record;
    owned_ = false;
  }

  // `free_handle(handle)` releases the system handle. It may re-enter the wrapper (a window
  // being destroyed still gets messages), so the record is kept alive until the end.
  template <class Free>
  bool Release(Free free_handle) {
    if (!record_) return false;
    zorl::KRef<Record> keep = record_;
    Handle handle = keep->handle;
    if (handle) free_handle(handle);
    keep->handle = Handle();
    record_.Release();
    owned_ = false;
    return true;
  }

  template <class Free>
  void Detach(Free free_handle) {
    if (owned_) Release(free_handle);
    record_.Release();
    owned_ = false;
  }

 private:
  zorl::KRef<Record> record_;
  bool owned_ = false;
};

}  // namespace QWF

#endif  // FRAMEWORK_HANDLE_REF_H_
