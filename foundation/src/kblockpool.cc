#include "foundation/kblockpool.h"

#include <cstdlib>
#include <new>

#include "foundation/kref.h"

namespace zorl {

namespace {
// Keeps every block (and so every control record) pointer-aligned.
std::uint32_t Stride(std::uint32_t block_size) {
  return (block_size + 7u) & ~7u;
}
}  // namespace

std::unique_ptr<KBlockPool> KBlockPool::Create(std::uint32_t capacity,
                                               std::uint32_t block_size) {
  if (capacity == 0 || block_size == 0) return nullptr;
  return std::unique_ptr<KBlockPool>(new KBlockPool(capacity, block_size));
}

KBlockPool::KBlockPool(std::uint32_t capacity, std::uint32_t block_size)
    : block_size_(block_size), capacity_(capacity) {
  const std::size_t step = sizeof(Header) + Stride(block_size);
  storage_.reset(new unsigned char[step * capacity]);
  free_stack_.reset(new void*[capacity]);
  for (std::uint32_t i = 0; i < capacity; ++i) {
    unsigned char* at = storage_.get() + step * i;
    *reinterpret_cast<Header*>(at) = 1;
    free_stack_[i] = at + sizeof(Header);
  }
}

KBlockPool::~KBlockPool() = default;

void* KBlockPool::Allocate(std::size_t size) {
  if (size == block_size_) {
    KLockGuard guard(lock_);
    if (handed_out_ < capacity_) return free_stack_[handed_out_++];
  }
  void* raw = std::malloc(sizeof(Header) + size);
  if (!raw) throw std::bad_alloc();
  *static_cast<Header*>(raw) = 0;
  return static_cast<unsigned char*>(raw) + sizeof(Header);
}

void KBlockPool::Free(void* block) {
  if (!block) return;
  unsigned char* header = static_cast<unsigned char*>(block) - sizeof(Header);
  if (*reinterpret_cast<Header*>(header) == 0) {
    std::free(header);
    return;
  }
  KLockGuard guard(lock_);
  free_stack_[--handed_out_] = block;
}

KBlockPool& KBlockPool::Global() {
  static KBlockPool* const pool = Create(4096, sizeof(KRefControl)).release();
  return *pool;
}

namespace detail {

KRefControl* NewControl(void* allocation) {
  void* block = KBlockPool::Global().Allocate(sizeof(KRefControl));
  return new (block) KRefControl{1, allocation};
}

void FreeControl(KRefControl* control) { KBlockPool::Global().Free(control); }

}  // namespace detail

}  // namespace zorl
