#include "ListsU.h"

TListNode* TLinkList::Add(void* data) {
  auto* node = new TListNode;
  node->List = this;
  node->Data = data;
  node->Next = First;
  if (First) First->Prev = node;
  First = node;
  if (!Last) Last = node;
  ++Count;
  return node;
}

void TLinkList::Remove(TListNode* node) {
  if (!node || node->List != this) return;
  if (node->Prev) node->Prev->Next = node->Next;
  if (node->Next) node->Next->Prev = node->Prev;
  if (First == node) First = node->Next;
  if (Last == node) Last = node->Prev;
  --Count;
  delete node;
}

TListNode* TLinkList::Find(void* data) const {
  // The newest addition sits at the front, but callers most often look for the oldest one.
  if (Last && Last->Data == data) return Last;
  for (TListNode* node = First; node; node = node->Next) {
    if (node->Data == data) return node;
  }
  return nullptr;
}

void TLinkList::Clear() {
  TListNode* node = First;
  while (node) {
    TListNode* next = node->Next;
    delete node;
    node = next;
  }
  First = Last = nullptr;
  Count = 0;
}
