#include <gtest/gtest.h>

#include <filesystem>

#include "ConsoleU.h"
#include "CoreTestSupport.h"
#include "LowLevelIO.h"
#include "StreamsU.h"

namespace {

std::string Numbered(int i) {
  return "message " + std::to_string(i);
}

TEST(Console, KeepsTheNewestSixtyFourMessagesOldestFirst) {
  TConsole console;
  console.Initialize();
  for (int i = 1; i <= 70; ++i) console.Log(8, Numbered(i));
  ASSERT_EQ(console.Comments->Count, 64);
  EXPECT_EQ(console.LastMessage(), Numbered(70));
  TComment* oldest = console.Comments->Pop();
  ASSERT_NE(oldest, nullptr);
  EXPECT_EQ(oldest->Text, Numbered(7));
  delete oldest;
}

TEST(Console, LastMessageIsTheNewestOneAcrossGrowthAndWrap) {
  TConsole console;
  bool sawWrap = false;
  for (int i = 1; i <= 200; ++i) {
    console.Log(1, Numbered(i));
    ASSERT_EQ(console.LastMessage(), Numbered(i)) << "after message " << i;
    if (i > 64 && console.Comments->Tail == 0) sawWrap = true;
  }
  EXPECT_TRUE(sawWrap) << "the write place never wrapped to 0";
  EXPECT_EQ(console.Comments->Count, 64);
}

TEST(Console, LastMessageIsEmptyWithoutMessages) {
  TConsole console;
  EXPECT_EQ(console.LastMessage(), "");
  console.Initialize();
  EXPECT_EQ(console.LastMessage(), "");
  console.Log(1, "x");
  console.ClearComments();
  EXPECT_EQ(console.LastMessage(), "");
}

TEST(Console, InitializeOnAnActiveConsoleKeepsItsMessages) {
  TConsole console;
  EXPECT_TRUE(console.Initialize());
  console.Log(1, "kept");
  EXPECT_FALSE(console.Initialize());
  EXPECT_EQ(console.LastMessage(), "kept");
  console.Finalize();
  EXPECT_FALSE(console.Active);
  EXPECT_EQ(console.LastMessage(), "");
}

TEST(Console, InitializeDropsMessagesLoggedBeforeTheStart) {
  TConsole console;
  console.Log(1, "early");
  EXPECT_TRUE(console.Initialize());
  EXPECT_EQ(console.LastMessage(), "");
  EXPECT_EQ(console.Comments->Places(), 64);
}

TEST(Console, StoresLevelTextAndPlatformClock) {
  TPlatformTable& platform = Platform();
  const auto savedClock = platform.GetTickCount;
  platform.GetTickCount = [] { return 1234u; };
  TConsole console;
  console.Log(200, "any byte is a level");
  platform.GetTickCount = savedClock;
  const TComment* last = console.Comments->PeekLast();
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->Level, 200);
  EXPECT_EQ(last->Time, 1234u);
}

TEST(Console, LogCallsTheAssertionHandlerWithATrueCondition) {
  TPlatformTable& platform = Platform();
  const auto savedHandler = platform.AssertionHandler;
  std::vector<bool> conditions;
  platform.AssertionHandler = [&](bool condition, const std::string& message,
                                  const TSourceLocation&) {
    conditions.push_back(condition);
    EXPECT_EQ(message, "");
  };
  TConsole console;
  console.Log(1, "a");
  platform.AssertionHandler = savedHandler;
  EXPECT_EQ(conditions, std::vector<bool>{true});
}

TEST(Console, LevelMaskChoosesWhatReachesStandardOutput) {
  TConsole console;
  console.LevelMask = 1u << 3;
  testing::internal::CaptureStdout();
  console.Log(3, "shown");
  console.Log(4, "not in mask");
  console.Log(19, "beyond the filter");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "shown\n");
}

TEST(Console, EmptyMaskWritesNothingButStillStoresAndCallsOnLog) {
  TTempDir dir;
  const std::string log = dir.Write("log.txt", "");
  TConsole console;
  console.LogFileName = log;
  std::vector<std::string> seen;
  console.OnLog = [&](const std::string& text, uint8_t) { seen.push_back(text); };
  testing::internal::CaptureStdout();
  console.Log(1, "quiet");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(dir.Read("log.txt"), "");
  EXPECT_EQ(console.LastMessage(), "quiet");
  EXPECT_EQ(seen, std::vector<std::string>{"quiet"});
}

TEST(Console, LogFileGetsBareTextAndCrLfAppended) {
  TTempDir dir;
  const std::string log = dir.Write("log.txt", "before\r\n");
  TConsole console;
  console.LogFileName = log;
  console.LevelMask = 0xFFFF;
  testing::internal::CaptureStdout();
  console.Log(15, "");
  console.Log(0, "second");
  console.Log(16, "stored only");
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(dir.Read("log.txt"), "before\r\n\r\nsecond\r\n");
  EXPECT_EQ(console.LastMessage(), "stored only");
}

TEST(Console, MissingLogFileFailsAfterStoringAndCallingOnLog) {
  TTempDir dir;
  TConsole console;
  console.LogFileName = dir.File("absent.log");
  console.LevelMask = 1u << 8;
  int calls = 0;
  console.OnLog = [&](const std::string&, uint8_t) { ++calls; };
  testing::internal::CaptureStdout();
  EXPECT_THROW(console.Log(8, "lost file"), EInOutError);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(console.LastMessage(), "lost file");
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.File("absent.log")));
}

TEST(Console, RaiseLoggedCarriesTheLoggedText) {
  TScopedConsole console;
  try {
    RaiseLogged<EConvertError>(8, "bad value");
    FAIL();
  } catch (const EConvertError& error) {
    EXPECT_STREQ(error.what(), "bad value");
  }
  EXPECT_EQ(console->LastMessage(), "bad value");
}

}  // namespace
