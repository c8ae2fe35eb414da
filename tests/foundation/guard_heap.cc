// A guard heap for one test executable: every operator new gets pages of
// its own, and operator delete hands them back to the system, so touching
// memory after its delete faults at once instead of reading stale bytes.
// (The sanitizer build finds the same faults by itself and keeps its own
// allocator.) Slow and wasteful: only for small tests about lifetimes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTREL_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KESTREL_SANITIZED 1
#endif

#ifndef KESTREL_SANITIZED

namespace {
// The mapping's length sits in front of the block, which stays aligned
// like any operator new result.
constexpr std::size_t kHeader = alignof(std::max_align_t);

std::size_t Pages(std::size_t n) {
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return (n + kHeader + page - 1) / page * page;
}
}  // namespace

void* operator new(std::size_t n) {
  const std::size_t length = Pages(n);
  void* map = ::mmap(nullptr, length, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) throw std::bad_alloc();
  *static_cast<std::size_t*>(map) = length;
  return static_cast<unsigned char*>(map) + kHeader;
}

void operator delete(void* p) noexcept {
  if (!p) return;
  void* map = static_cast<unsigned char*>(p) - kHeader;
  ::munmap(map, *static_cast<std::size_t*>(map));
}

void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

#endif  // KESTREL_SANITIZED
