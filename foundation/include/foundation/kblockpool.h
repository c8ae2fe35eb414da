// A fixed pool of equal-sized blocks with a heap fallback.
//
// Blocks of exactly the pool's block size come from one preallocated store
// while fewer than `capacity` are handed out; everything else comes from the
// heap. A header before each block tells the two apart, so Free takes any
// block either way and the pool never fails for lack of space.
#ifndef FOUNDATION_KBLOCKPOOL_H_
#define FOUNDATION_KBLOCKPOOL_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "foundation/klock.h"

namespace zorl {

class KBlockPool {
 public:
  // Returns no pool when `capacity` or `block_size` is 0.
  static std::unique_ptr<KBlockPool> Create(std::uint32_t capacity,
                                            std::uint32_t block_size);
  ~KBlockPool();
  KBlockPool(const KBlockPool&) = delete;
  KBlockPool& operator=(const KBlockPool&) = delete;

  // A block of at least `size` bytes, aligned for any control record.
  // Throws std::bad_alloc when the heap is exhausted.
  void* Allocate(std::size_t size);
  // Returns a block from Allocate. Accepts nullptr.
  void Free(void* block);

  std::uint32_t HandedOut() const { return handed_out_; }
  std::uint32_t Capacity() const { return capacity_; }
  std::uint32_t BlockSize() const { return block_size_; }

  // The process-wide pool for counted-pointer control records
  // (4096 blocks), created on first use and never destroyed: counted values
  // in static storage may be released at exit after any destructor the
  // pool could have, whenever they were built.
  static KBlockPool& Global();

 private:
  KBlockPool(std::uint32_t capacity, std::uint32_t block_size);

  // Each block is preceded by this header: 1 = pool storage, 0 = heap.
  // Eight bytes keep the block aligned for pointers.
  using Header = std::uint64_t;

  KLock lock_;
  std::unique_ptr<unsigned char[]> storage_;
  std::unique_ptr<void*[]> free_stack_;
  std::uint32_t block_size_;
  std::uint32_t handed_out_ = 0;
  std::uint32_t capacity_;
};

}  // namespace zorl

#endif  // FOUNDATION_KBLOCKPOOL_H_
