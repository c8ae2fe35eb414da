// KRef<T>: the counted pointer that holds every shared array.
//
// A value is a control record (shared reference count and the allocation to
// free) plus a data pointer. Copies share the data; the last release frees
// it. A value without a control record is *borrowed*: it points at data it
// does not own (a literal, a stack buffer) and never counts or frees.
//
//   KRef<char> buf;  buf.Reset(16);   // owns 16 uninitialised chars
//   KRef<char> tail = buf.Sub(4);     // shares, points at buf[4]
//   buf.Release();                    // tail keeps all 16 alive
//   KRef<char> text = "borrowed";     // no allocation, never freed
//
// Reference counts are plain counters: one value and its copies belong to
// one thread at a time, or live under the lock of the object holding them.
#ifndef FOUNDATION_KREF_H_
#define FOUNDATION_KREF_H_

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

namespace zorl {

// The shared bookkeeping of one allocation; taken from the global block pool.
struct KRefControl {
  std::uint32_t count;
  void* allocation;
};

namespace detail {
KRefControl* NewControl(void* allocation);  // count 1
void FreeControl(KRefControl* control);
}  // namespace detail

template <class T>
class KRef {
 public:
  using element_type = T;

  KRef() noexcept = default;
  // Borrows `data`: never counted, never freed.
  static KRef Borrow(T* data) noexcept {
    KRef r;
    r.data_ = data;
    return r;
  }
  // Text is taken as a borrowed value, so callers pass literals freely.
  template <class U = T,
            std::enable_if_t<std::is_same<U, char>::value, int> = 0>
  KRef(const char* text) noexcept : data_(const_cast<char*>(text)) {}  // NOLINT

  KRef(const KRef& other) noexcept
      : control_(other.control_), data_(other.data_) {
    if (control_) ++control_->count;
  }
  KRef(KRef&& other) noexcept : control_(other.control_), data_(other.data_) {
    other.control_ = nullptr;
    other.data_ = nullptr;
  }
  // Takes the new reference before dropping the old: self-assignment is safe.
  KRef& operator=(const KRef& other) noexcept {
    KRefControl* control = other.control_;
    T* data = other.data_;
    if (control) ++control->count;
    Release();
    control_ = control;
    data_ = data;
    return *this;
  }
  // Takes the source before dropping the old value, which may own the
  // source (head = std::move(head->next)); moving onto itself keeps it.
  KRef& operator=(KRef&& other) noexcept {
    KRefControl* control = other.control_;
    T* data = other.data_;
    other.control_ = nullptr;
    other.data_ = nullptr;
    Release();
    control_ = control;
    data_ = data;
    return *this;
  }
  ~KRef() { Release(); }

  // Replaces the value by a new array of `n` elements. Trivial elements
  // (bytes, characters) are left uninitialised; others are
  // value-constructed. n = 0 leaves the value empty. Throws std::bad_alloc.
  void Reset(std::uint32_t n) {
    Release();
    if (n == 0) return;
    unsigned char* block =
        static_cast<unsigned char*>(::operator new(Header() + sizeof(T) * n));
    *reinterpret_cast<std::size_t*>(block) = n;
    T* elements = reinterpret_cast<T*>(block + Header());
    if (!std::is_trivially_default_constructible<T>::value) {
      std::uint32_t built = 0;
      try {
        for (; built < n; ++built) new (elements + built) T();
      } catch (...) {
        while (built > 0) elements[--built].~T();
        ::operator delete(block);
        throw;
      }
    }
    try {
      control_ = detail::NewControl(block);
    } catch (...) {
      Destroy(block);
      throw;
    }
    data_ = elements;
  }

  // Drops this value's reference; at 0 the elements are destroyed, last
  // to first, and the allocation is freed. Afterwards the value is empty.
  void Release() noexcept {
    KRefControl* control = control_;
    control_ = nullptr;
    data_ = nullptr;
    if (control && --control->count == 0) {
      void* block = control->allocation;
      detail::FreeControl(control);
      Destroy(block);
    }
  }

  // A shared value pointing `offset` elements further into the same array.
  KRef Sub(std::ptrdiff_t offset) const noexcept {
    KRef r(*this);
    r.data_ = data_ + offset;
    return r;
  }

  T* Get() const noexcept { return data_; }
  T& operator*() const noexcept { return *data_; }
  T* operator->() const noexcept { return data_; }
  T& operator[](std::size_t i) const noexcept { return data_[i]; }
  explicit operator bool() const noexcept { return data_ != nullptr; }

  bool IsBorrowed() const noexcept { return !control_ && data_; }
  // References on the shared allocation (0 for empty or borrowed values).
  std::uint32_t UseCount() const noexcept {
    return control_ ? control_->count : 0;
  }
  // Elements of the whole allocation (0 for empty or borrowed values).
  std::size_t ArraySize() const noexcept {
    return control_ ? *static_cast<std::size_t*>(control_->allocation) : 0;
  }

  friend bool operator==(const KRef& a, const KRef& b) noexcept {
    return a.data_ == b.data_;
  }
  friend bool operator!=(const KRef& a, const KRef& b) noexcept {
    return a.data_ != b.data_;
  }

 private:
  // The element count in front of the elements, padded to their alignment.
  // (A function, not a constant: T may still be incomplete here.)
  static constexpr std::size_t Header() {
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__,
                  "over-aligned elements are not supported");
    return alignof(T) > sizeof(std::size_t) ? alignof(T) : sizeof(std::size_t);
  }

  static void Destroy(void* allocation) noexcept {
    unsigned char* block = static_cast<unsigned char*>(allocation);
    if (!std::is_trivially_destructible<T>::value) {
      std::size_t n = *reinterpret_cast<std::size_t*>(block);
      T* elements = reinterpret_cast<T*>(block + Header());
      while (n > 0) elements[--n].~T();
    }
    ::operator delete(block);
  }

  KRefControl* control_ = nullptr;
  T* data_ = nullptr;
};

}  // namespace zorl

#endif  // FOUNDATION_KREF_H_
