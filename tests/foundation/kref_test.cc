#include "foundation/kref.h"

#include <gtest/gtest.h>

#include <vector>

#include "foundation/kblockpool.h"

namespace zorl {
namespace {

// Counts live instances so tests can see exactly when elements die.
struct Tracked {
  static int live;
  static std::vector<int>* order;
  int id = 0;
  Tracked() { ++live; }
  ~Tracked() {
    --live;
    if (order) order->push_back(id);
  }
};
int Tracked::live = 0;
std::vector<int>* Tracked::order = nullptr;

TEST(KRefTest, LastCopyFreesOnceAndDestroysLastToFirst) {
  std::vector<int> order;
  Tracked::order = &order;
  {
    KRef<Tracked> a;
    a.Reset(3);
    for (int i = 0; i < 3; ++i) a[i].id = i;
    EXPECT_EQ(Tracked::live, 3);
    KRef<Tracked> b = a;
    KRef<Tracked> c;
    c = b;
    EXPECT_EQ(a.UseCount(), 3u);
    EXPECT_EQ(a.ArraySize(), 3u);
    a.Release();
    b.Release();
    EXPECT_EQ(Tracked::live, 3);
    EXPECT_FALSE(a);
  }
  EXPECT_EQ(Tracked::live, 0);
  EXPECT_EQ(order, (std::vector<int>{2, 1, 0}));
  Tracked::order = nullptr;
}

TEST(KRefTest, BorrowedValueNeverCountsOrFrees) {
  Tracked local;
  {
    KRef<Tracked> borrowed = KRef<Tracked>::Borrow(&local);
    KRef<Tracked> copy = borrowed;
    EXPECT_TRUE(copy.IsBorrowed());
    EXPECT_EQ(copy.UseCount(), 0u);
    EXPECT_EQ(copy.Get(), &local);
  }
  EXPECT_EQ(Tracked::live, 1);  // only `local`
  KRef<char> text = "literal";
  EXPECT_TRUE(text.IsBorrowed());
}

TEST(KRefTest, SubPointerKeepsWholeAllocationAlive) {
  KRef<Tracked> sub;
  {
    KRef<Tracked> whole;
    whole.Reset(4);
    sub = whole.Sub(2);
    EXPECT_EQ(sub.Get(), whole.Get() + 2);
    EXPECT_EQ(whole.UseCount(), 2u);
  }
  EXPECT_EQ(Tracked::live, 4);
  sub.Release();
  EXPECT_EQ(Tracked::live, 0);
}

TEST(KRefTest, SelfAssignmentAndZeroSize) {
  KRef<Tracked> a;
  a.Reset(1);
  KRef<Tracked>& alias = a;
  a = alias;
  EXPECT_EQ(a.UseCount(), 1u);
  EXPECT_EQ(Tracked::live, 1);
  a.Reset(0);
  EXPECT_FALSE(a);
  EXPECT_EQ(Tracked::live, 0);
}

// A singly linked chain whose links own the next element.
struct Link {
  static int live;
  KRef<Link> next;
  int id = 0;
  Link() { ++live; }
  ~Link() { --live; }
};
int Link::live = 0;

TEST(KRefTest, MoveAssignmentFromAValueTheOldOneOwns) {
  {
    KRef<Link> head;
    head.Reset(1);
    head->id = 1;
    head->next.Reset(1);
    head->next->id = 2;
    head->next->next.Reset(1);
    head->next->next->id = 3;
    ASSERT_EQ(Link::live, 3);
    // The source lives inside the value being replaced: it must be read
    // before the old value (and with it the source) is released.
    head = std::move(head->next);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->id, 2);
    EXPECT_EQ(head.UseCount(), 1u);
    EXPECT_EQ(Link::live, 2);
    ASSERT_TRUE(head->next);
    EXPECT_EQ(head->next->id, 3);
    // The copy takes the same care.
    head = head->next;
    EXPECT_EQ(head->id, 3);
    EXPECT_EQ(Link::live, 1);
    // Moving a value onto itself keeps it.
    KRef<Link>& alias = head;
    head = std::move(alias);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->id, 3);
    EXPECT_EQ(head.UseCount(), 1u);
  }
  EXPECT_EQ(Link::live, 0);
}

TEST(KBlockPoolTest, CreateRefusesZeroCapacityOrBlockSize) {
  EXPECT_EQ(KBlockPool::Create(0, 8), nullptr);
  EXPECT_EQ(KBlockPool::Create(8, 0), nullptr);
  EXPECT_NE(KBlockPool::Create(1, 1), nullptr);
}

TEST(KBlockPoolTest, SpillsToHeapPastCapacityAndReturnsEverything) {
  auto pool = KBlockPool::Create(4096, 16);
  std::vector<void*> blocks;
  for (int i = 0; i < 4097; ++i) blocks.push_back(pool->Allocate(16));
  EXPECT_EQ(pool->HandedOut(), 4096u);
  // Only the last one came from the heap: it lies outside the pool's store.
  for (void* b : blocks) ASSERT_NE(b, nullptr);
  void* other = pool->Allocate(24);  // another size always comes from the heap
  EXPECT_EQ(pool->HandedOut(), 4096u);
  pool->Free(other);
  for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) pool->Free(*it);
  EXPECT_EQ(pool->HandedOut(), 0u);
  // Freed in any order, the blocks are handed out again.
  void* a = pool->Allocate(16);
  void* b = pool->Allocate(16);
  EXPECT_NE(a, b);
  pool->Free(a);
  pool->Free(b);
  EXPECT_EQ(pool->HandedOut(), 0u);
}

TEST(KBlockPoolTest, GlobalPoolBacksControlRecords) {
  KBlockPool& pool = KBlockPool::Global();
  const std::uint32_t before = pool.HandedOut();
  std::vector<KRef<char>> refs(5000);
  for (auto& r : refs) r.Reset(1);  // 5000 > 4096: some spill to the heap
  EXPECT_EQ(pool.HandedOut(), 4096u);  // full; the rest came from the heap
  refs.clear();
  EXPECT_EQ(pool.HandedOut(), before);
}

}  // namespace
}  // namespace zorl
