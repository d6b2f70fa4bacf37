#pragma once
// The list of recently opened files, most recent first, without its menu. The main window
// mirrors every change in the File menu through the notifications.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class THistoryList {
 public:
  // Called after the list changed; indexes count from the most recent entry (0).
  std::function<void(const std::string& name)> OnInsertedAtTop;
  std::function<void(size_t fromIndex)> OnMovedToTop;
  std::function<void(const std::string& name)> OnRemovedOldest;

  explicit THistoryList(int maxSize = 5) : FMaxSize(maxSize < 0 ? 0 : maxSize) {}

  const std::vector<std::string>& Items() const { return FItems; }
  size_t Count() const { return FItems.size(); }
  int MaxSize() const { return FMaxSize; }

  // Position of the name, compared without regard to letter case; -1 when absent.
  int IndexOf(std::string_view name) const;

  // Puts the name on top: a known name (in any letter case) moves there and keeps its
  // spelling, a new one is inserted after the oldest entries have made room. Does nothing,
  // and returns false, while the limit is 0.
  bool Add(const std::string& name);

  // Stores the limit; lowering it drops the oldest entries beyond it.
  void SetMaxSize(int maxSize);

  // Adds stored entries (most recent first) so that the first ends up on top.
  void Restore(const std::vector<std::string>& mostRecentFirst);

 private:
  void RemoveOldest();

  std::vector<std::string> FItems;
  int FMaxSize;
};
