#include "HistoryListU.h"

#include <algorithm>

namespace {

bool SameText(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

}  // namespace

int THistoryList::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (SameText(FItems[i], name)) return static_cast<int>(i);
  return -1;
}

bool THistoryList::Add(const std::string& name) {
  if (FMaxSize == 0) return false;
  if (int found = IndexOf(name); found >= 0) {
    std::rotate(FItems.begin(), FItems.begin() + found, FItems.begin() + found + 1);
    if (OnMovedToTop) OnMovedToTop(static_cast<size_t>(found));
    return true;
  }
  while (FItems.size() >= static_cast<size_t>(FMaxSize)) RemoveOldest();
  FItems.insert(FItems.begin(), name);
  if (OnInsertedAtTop) OnInsertedAtTop(name);
  return true;
}

void THistoryList::SetMaxSize(int maxSize) {
  if (maxSize < 0) maxSize = 0;
  while (FItems.size() > static_cast<size_t>(maxSize)) RemoveOldest();
  FMaxSize = maxSize;
}

void THistoryList::Restore(const std::vector<std::string>& mostRecentFirst) {
  for (auto name = mostRecentFirst.rbegin(); name != mostRecentFirst.rend(); ++name) Add(*name);
}

void THistoryList::RemoveOldest() {
  std::string name = std::move(FItems.back());
  FItems.pop_back();
  if (OnRemovedOldest) OnRemovedOldest(name);
}
