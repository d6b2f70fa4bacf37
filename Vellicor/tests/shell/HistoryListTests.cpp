#include <gtest/gtest.h>

#include "HistoryListU.h"

namespace {

// Records the notifications as the main window's menu would see them.
struct TRecorder {
  std::vector<std::string> Events;
  void Attach(THistoryList& list) {
    list.OnInsertedAtTop = [this](const std::string& name) { Events.push_back("+" + name); };
    list.OnMovedToTop = [this](size_t from) { Events.push_back("^" + std::to_string(from)); };
    list.OnRemovedOldest = [this](const std::string& name) { Events.push_back("-" + name); };
  }
};

using TNames = std::vector<std::string>;

}  // namespace

TEST(HistoryList, KnownNameInAnyLetterCaseMovesToTheTopWithoutGrowing) {
  THistoryList list;
  TRecorder recorder;
  recorder.Attach(list);
  list.Add("a.quv");
  list.Add("B.quv");
  list.Add("c.quv");
  EXPECT_TRUE(list.Add("b.QUV"));
  EXPECT_EQ(list.Items(), (TNames{"B.quv", "c.quv", "a.quv"}));
  EXPECT_EQ(recorder.Events, (TNames{"+a.quv", "+B.quv", "+c.quv", "^1"}));
}

TEST(HistoryList, FullListDropsItsOldestEntry) {
  THistoryList list(3);
  TRecorder recorder;
  list.Restore({"c", "b", "a"});
  recorder.Attach(list);
  list.Add("d");
  EXPECT_EQ(list.Items(), (TNames{"d", "c", "b"}));
  EXPECT_EQ(recorder.Events, (TNames{"-a", "+d"}));
}

TEST(HistoryList, LoweringTheLimitKeepsTheMostRecent) {
  THistoryList list(5);
  list.Restore({"e", "d", "c", "b", "a"});
  TRecorder recorder;
  recorder.Attach(list);
  list.SetMaxSize(2);
  EXPECT_EQ(list.Items(), (TNames{"e", "d"}));
  EXPECT_EQ(recorder.Events, (TNames{"-a", "-b", "-c"}));
  list.SetMaxSize(4);
  EXPECT_EQ(list.Count(), 2u);
}

TEST(HistoryList, LimitZeroHoldsNothing) {
  THistoryList list(2);
  list.Add("x");
  list.SetMaxSize(0);
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_FALSE(list.Add("y"));
  EXPECT_EQ(list.Count(), 0u);
  list.SetMaxSize(-3);
  EXPECT_EQ(list.MaxSize(), 0);
}

TEST(HistoryList, RestorePutsTheFirstStoredEntryOnTop) {
  THistoryList list;
  list.Restore({"a", "b", "A"});
  EXPECT_EQ(list.Items(), (TNames{"A", "b"}));  // the duplicate keeps its first spelling
  EXPECT_EQ(list.IndexOf("B"), 1);
  EXPECT_EQ(list.IndexOf("zz"), -1);
}
