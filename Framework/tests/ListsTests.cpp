#include <gtest/gtest.h>

#include "ListsU.h"

namespace {

std::vector<int> Drain(TQueue<int>& queue) {
  std::vector<int> order;
  while (int* item = queue.Pop()) order.push_back(*item);
  return order;
}

TEST(Queue, GrowingFromAFullRingAtPlaceZeroKeepsOrder) {
  int values[6] = {0, 1, 2, 3, 4, 5};
  TQueue<int> queue(4);
  for (int i = 0; i < 4; ++i) queue.Push(&values[i]);
  EXPECT_EQ(queue.Places(), 5);
  EXPECT_EQ(queue.Tail, 4);
  queue.Push(&values[4]);
  EXPECT_EQ(*queue.PeekLast(), 4);
  EXPECT_EQ(Drain(queue), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(Queue, GrowingAWrappedRingMovesTheHeadPartToTheEnd) {
  int values[8] = {0, 1, 2, 3, 4, 5, 6, 7};
  TQueue<int> queue(4);
  queue.Push(&values[0]);
  queue.Push(&values[1]);
  queue.Push(&values[2]);
  EXPECT_EQ(*queue.Pop(), 0);
  queue.Push(&values[3]);  // the write place wraps to 0
  EXPECT_EQ(queue.Tail, 0);
  EXPECT_EQ(*queue.PeekLast(), 3);
  queue.Push(&values[4]);  // meets the head: grows
  EXPECT_EQ(queue.Places(), 5);
  EXPECT_EQ(queue.Count, 4);
  queue.Push(&values[5]);
  EXPECT_EQ(*queue.PeekLast(), 5);
  EXPECT_EQ(Drain(queue), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(queue.PeekLast(), nullptr);
}

TEST(Queue, TinyQueuesStillGrowInsteadOfLosingEntries) {
  int values[5] = {0, 1, 2, 3, 4};
  for (int places : {0, 1, 2}) {
    TQueue<int> queue(places);
    for (int& value : values) queue.Push(&value);
    EXPECT_EQ(Drain(queue), (std::vector<int>{0, 1, 2, 3, 4})) << places << " places";
  }
}

TEST(LinkList, AddsAtTheFrontAndUnlinksAnyNode) {
  int a = 1, b = 2, c = 3;
  TLinkList list;
  list.Add(&a);
  TListNode* middle = list.Add(&b);
  list.Add(&c);
  ASSERT_EQ(list.Count, 3);
  EXPECT_EQ(list.First->Data, &c);
  EXPECT_EQ(list.Last->Data, &a);
  EXPECT_EQ(middle->List, &list);
  list.Remove(middle);
  EXPECT_EQ(list.Count, 2);
  EXPECT_EQ(list.First->Next, list.Last);
  EXPECT_EQ(list.Last->Prev, list.First);
  list.Remove(list.First);
  list.Remove(list.Last);
  EXPECT_EQ(list.Count, 0);
  EXPECT_EQ(list.First, nullptr);
  EXPECT_EQ(list.Last, nullptr);
}

TEST(LinkList, FindPrefersTheLastNodeThenSearchesFromTheFront) {
  int a = 1, b = 2;
  TLinkList list;
  TListNode* oldest = list.Add(&a);
  list.Add(&b);
  TListNode* newest = list.Add(&a);
  EXPECT_EQ(list.Find(&a), oldest);
  list.Remove(oldest);
  EXPECT_EQ(list.Find(&a), newest);
  EXPECT_EQ(list.Find(nullptr), nullptr);
}

}  // namespace
