#pragma once
// Small list classes of the framework: a growable ring queue and a doubly linked list of
// untyped references.
#include <algorithm>
#include <cstdint>
#include <vector>

// A first-in, first-out ring of references over a list of places. The queue never owns what it
// holds: Clear forgets the references without freeing them.
template <class T>
class TQueue {
 public:
  explicit TQueue(int32_t places) : FList(places < 1 ? 1 : places, nullptr) {}

  void Push(T* item) {
    FList[Tail] = item;
    Tail = (Tail + 1) % static_cast<int32_t>(FList.size());
    ++Count;
    if (Tail == Head) Grow();
  }
  T* Pop() {
    if (Count <= 0) return nullptr;
    T* item = FList[Head];
    FList[Head] = nullptr;
    Head = (Head + 1) % static_cast<int32_t>(FList.size());
    --Count;
    return item;
  }
  T* PeekLast() const {
    if (Count <= 0) return nullptr;
    int32_t last = Tail == 0 ? static_cast<int32_t>(FList.size()) - 1 : Tail - 1;
    return FList[last];
  }
  void Clear() {
    std::fill(FList.begin(), FList.end(), nullptr);
    Head = Tail = Count = 0;
  }
  int32_t Places() const { return static_cast<int32_t>(FList.size()); }

  int32_t Tail = 0;  // next place to write
  int32_t Head = 0;  // next place to read
  int32_t Count = 0;

 private:
  // One and a half times as many places (less one); the entries from Head onward move to the end
  // of the longer list so the ring keeps its order. Lists shorter than 3 places still grow by one
  // place, so a full small queue never overwrites its head.
  void Grow() {
    const int32_t oldSize = static_cast<int32_t>(FList.size());
    int32_t newSize = 3 * oldSize / 2 - 1;
    if (newSize <= oldSize) newSize = oldSize + 1;
    std::vector<T*> grown(newSize, nullptr);
    if (Head == 0) {
      // The ring is in order from place 0: keep it there and write behind it.
      for (int32_t i = 0; i < oldSize; ++i) grown[i] = FList[i];
      Tail = Count;
    } else {
      const int32_t moved = oldSize - Head;
      for (int32_t i = 0; i < Head; ++i) grown[i] = FList[i];
      for (int32_t i = 0; i < moved; ++i) grown[newSize - moved + i] = FList[Head + i];
      Head = newSize - moved;
    }
    FList.swap(grown);
  }

  std::vector<T*> FList;
};

class TLinkList;

struct TListNode {
  TLinkList* List = nullptr;
  TListNode* Prev = nullptr;
  TListNode* Next = nullptr;
  void* Data = nullptr;
};

// Doubly linked list of untyped references; owns its nodes, not the data.
class TLinkList {
 public:
  TLinkList() = default;
  TLinkList(const TLinkList&) = delete;
  TLinkList& operator=(const TLinkList&) = delete;
  ~TLinkList() { Clear(); }

  TListNode* Add(void* data);    // a new node at the front
  void Remove(TListNode* node);  // unlinks and frees the node
  TListNode* Find(
      void* data) const;  // the last node if it holds data, else the first from the front
  void Clear();

  TListNode* First = nullptr;
  TListNode* Last = nullptr;
  int32_t Count = 0;
};
