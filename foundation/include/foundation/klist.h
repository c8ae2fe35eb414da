// KList<T>: a counted, doubly linked ring in insertion order.
//
// Every link and every element is a KRef, so a position (itself a KRef to
// a node) stays valid, and keeps its node alive, after the node has been
// erased. The ring's sentinel is created lazily by the first operation that
// needs it.
//
//   KList<int> list;
//   KRef<int> v; v.Reset(1); *v = 7;
//   list.PushBack(v);
//   for (auto p = list.Begin(); p != list.End(); p = list.Next(p))
//     use(*list.At(p));
//
// The ring references itself, so the destructor tears it down explicitly
// (Clear, then the sentinel's links, then the sentinel).
#ifndef FOUNDATION_KLIST_H_
#define FOUNDATION_KLIST_H_

#include <cstdint>
#include <utility>

#include "foundation/kref.h"

namespace zorl {

template <class T>
class KList {
 public:
  struct Node {
    KRef<Node> next;
    KRef<Node> prev;
    KRef<T> value;  // empty in the sentinel

    Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    // A held position keeps every node erased after it alive through their
    // links, so one release may free a chain of any length: the links are
    // let go in a loop, never through one destructor per node.
    ~Node() {
      ReleaseChain(next);
      ReleaseChain(prev);
    }
  };
  using Position = KRef<Node>;

  KList() = default;
  KList(const KList&) = delete;
  KList& operator=(const KList&) = delete;
  ~KList() { TearDown(); }

  // The first element's position (End when empty).
  Position Begin() { return Sentinel()->next; }
  // The sentinel's position.
  Position End() { return Sentinel(); }
  // The position after `p`.
  static Position Next(const Position& p) { return p->next; }
  // The position before `p`.
  static Position Prev(const Position& p) { return p->prev; }
  // The element at `p` (a shared copy; empty at End).
  static KRef<T> At(const Position& p) { return p->value; }

  // Inserts `element` before `p`; returns the new node's position.
  Position Insert(const Position& p, const KRef<T>& element) {
    Sentinel();
    Position at = p;  // `p` may be a reference into the ring itself
    Position node;
    node.Reset(1);
    node->next = at;
    node->prev = at->prev;
    node->value = element;
    at->prev->next = node;
    at->prev = node;
    ++count_;
    return node;
  }

  Position PushBack(const KRef<T>& element) { return Insert(End(), element); }

  // Removes the element at `p` and returns the position after it. At End
  // nothing is removed and End is returned. The erased node keeps its own
  // links until the last position referring to it is released; erasing it
  // again changes nothing and returns its next link once more.
  Position Erase(const Position& p) {
    Position end = End();
    if (p == end) return end;
    Position keep = p;  // `p` may be a reference into the ring itself
    // Out of the ring already: its neighbours no longer lead back to it.
    if (keep->prev->next != keep) return keep->next;
    keep->prev->next = keep->next;
    keep->next->prev = keep->prev;
    --count_;
    keep->value.Release();
    return keep->next;
  }

  // Erases from the front until the list is empty.
  void Clear() {
    while (count_ > 0) Erase(Begin());
  }

  std::uint32_t Count() const { return count_; }

  // Clears and frees the sentinel; the list may be used again afterwards.
  void TearDown() {
    if (!sentinel_) return;
    Clear();
    sentinel_->next.Release();
    sentinel_->prev.Release();
    sentinel_.Release();
  }

 private:
  // Drops `link`. A node whose last reference that was is taken apart
  // first: its next link is followed in the loop, and the node waits on a
  // stack (threaded through its own next link) until its prev link has
  // been dealt with in the same way.
  static void ReleaseChain(KRef<Node>& link) noexcept {
    KRef<Node> waiting;
    KRef<Node> current = std::move(link);
    for (;;) {
      if (current.UseCount() == 1) {
        KRef<Node> following = std::move(current->next);
        current->next = std::move(waiting);
        waiting = std::move(current);
        current = std::move(following);
        continue;
      }
      current.Release();  // shared or empty: only a count goes down
      if (!waiting) return;
      KRef<Node> node = std::move(waiting);
      waiting = std::move(node->next);
      current = std::move(node->prev);
      // `node` holds no links now: it goes with its element alone.
    }
  }

  const Position& Sentinel() {
    if (!sentinel_) {
      sentinel_.Reset(1);
      sentinel_->next = sentinel_;
      sentinel_->prev = sentinel_;
    }
    return sentinel_;
  }

  Position sentinel_;
  std::uint32_t count_ = 0;
};

}  // namespace zorl

#endif  // FOUNDATION_KLIST_H_
