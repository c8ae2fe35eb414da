#include "foundation/klist.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zorl {
namespace {

struct Counted {
  static int live;
  int value = 0;
  Counted() { ++live; }
  ~Counted() { --live; }
};
int Counted::live = 0;

KRef<Counted> Make(int v) {
  KRef<Counted> r;
  r.Reset(1);
  r->value = v;
  return r;
}

std::vector<int> Values(KList<Counted>& list) {
  std::vector<int> out;
  for (auto p = list.Begin(); p != list.End(); p = list.Next(p))
    out.push_back(list.At(p)->value);
  return out;
}

TEST(KListTest, NewListBeginIsEnd) {
  KList<Counted> list;
  EXPECT_EQ(list.Begin(), list.End());
  EXPECT_EQ(list.Count(), 0u);
}

TEST(KListTest, KeepsInsertionOrder) {
  KList<Counted> list;
  list.PushBack(Make(1));
  list.PushBack(Make(2));
  list.PushBack(Make(3));
  EXPECT_EQ(list.Count(), 3u);
  EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 3}));
  list.Insert(list.Next(list.Begin()), Make(9));
  EXPECT_EQ(Values(list), (std::vector<int>{1, 9, 2, 3}));
}

TEST(KListTest, EraseMiddleKeepsHeldPositionValid) {
  KList<Counted> list;
  list.PushBack(Make(1));
  auto middle = list.PushBack(Make(2));
  list.PushBack(Make(3));
  auto after = list.Erase(middle);
  EXPECT_EQ(list.At(after)->value, 3);
  EXPECT_EQ(Values(list), (std::vector<int>{1, 3}));
  EXPECT_EQ(list.Count(), 2u);
  // The erased node lives on through `middle`; its element is gone.
  EXPECT_FALSE(list.At(middle));
  EXPECT_EQ(list.At(list.Next(middle))->value, 3);
  EXPECT_EQ(Counted::live, 2);
}

TEST(KListTest, EraseAtEndChangesNothing) {
  KList<Counted> list;
  list.PushBack(Make(1));
  EXPECT_EQ(list.Erase(list.End()), list.End());
  EXPECT_EQ(list.Count(), 1u);
}

TEST(KListTest, ClearAndTearDownFreeEverything) {
  {
    KList<Counted> list;
    for (int i = 0; i < 10; ++i) list.PushBack(Make(i));
    EXPECT_EQ(Counted::live, 10);
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(Counted::live, 0);
    list.PushBack(Make(5));
    list.TearDown();
    EXPECT_EQ(Counted::live, 0);
    list.PushBack(Make(6));  // usable again after tear-down
  }
  // The destructor tears the ring down: nothing leaks (the sanitizer build
  // checks the nodes too).
  EXPECT_EQ(Counted::live, 0);
}

TEST(KListTest, ErasingAnErasedPositionChangesNothing) {
  KList<Counted> list;
  list.PushBack(Make(1));
  auto second = list.PushBack(Make(2));
  auto third = list.PushBack(Make(3));
  list.PushBack(Make(4));
  list.Erase(second);
  list.Erase(third);
  // `second` still links to `third`, which is out of the ring as well:
  // neither may come back, and the count stays.
  EXPECT_EQ(list.Erase(second), third);
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.Next(list.Begin()), list.Prev(list.End()));
  EXPECT_EQ(list.Erase(third), list.Next(third));
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(Values(list), (std::vector<int>{1, 4}));
  // Backwards too: every link of the ring is intact.
  std::vector<int> back;
  for (auto p = list.Prev(list.End()); p != list.End(); p = list.Prev(p))
    back.push_back(list.At(p)->value);
  EXPECT_EQ(back, (std::vector<int>{4, 1}));
  list.Clear();
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(Counted::live, 0);
}

// A held position keeps every node erased after it alive through their
// links; letting go of such a chain must not take one stack frame per node
// (a Windows main thread has 1 MiB of stack, a Linux one 8 MiB).
TEST(KListTest, ReleasingALongErasedChainNeedsNoDeepStack) {
  constexpr int kNodes = 1000000;
  KList<Counted> list;
  KRef<Counted> none;  // the nodes carry no element: only the links count
  for (int i = 0; i < kNodes; ++i) list.PushBack(none);
  {
    // Forwards: the first node holds the second, and so on.
    auto first = list.Begin();
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_GT(first.UseCount(), 0u);
  }
  for (int i = 0; i < kNodes; ++i) list.PushBack(none);
  {
    // Backwards: erasing from the back chains the nodes through `prev`.
    auto last = list.Prev(list.End());
    while (list.Count() > 0) list.Erase(list.Prev(list.End()));
    EXPECT_GT(last.UseCount(), 0u);
  }
  EXPECT_EQ(list.Begin(), list.End());
}

}  // namespace
}  // namespace zorl
