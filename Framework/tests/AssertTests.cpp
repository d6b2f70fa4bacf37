#include <gtest/gtest.h>

#include <filesystem>

#include <fstream>

#include "AssertU.h"
#include "CoreTestSupport.h"
#include "LowLevelIO.h"
#include "MapFileU.h"
#include "ModuleU.h"

namespace {

// Restores the suppression flag however a test ends.
struct TSuppressionGuard {
  ~TSuppressionGuard() { AssertionsSuppressed() = false; }
};

TEST(Assert, LocationWithoutMapComesFromTheCompiler) {
  const TSourceLocation here = TSourceLocation::current();
  const std::string text = FormatLocation(here);
  EXPECT_EQ(text, "Program: " + ProgramFileName() + "\nFile: AssertTests.cpp\nProcedure: " +
                      here.function_name() + "\nLine: " + std::to_string(here.line()) + "\n");
  EXPECT_EQ(ProgramFileName(), ExtractFileName(ProgramFilePath()));
  EXPECT_FALSE(ProgramFileName().empty());
}

TEST(Assert, FailureIsReportedToStandardErrorAndLoggedAtLevelSeven) {
  TScopedConsole console;
  const TSourceLocation here = TSourceLocation::current();
  testing::internal::CaptureStderr();
  Assert(false, "Untested code, Continue at own risk", here);
  const std::string reported = testing::internal::GetCapturedStderr();
  const std::string body =
      FormatLocation(here) + "\nAssertion Failed\nUntested code, Continue at own risk";
  EXPECT_EQ(AssertionBody(here, "Untested code, Continue at own risk"), body);
  EXPECT_EQ(reported, "Assertion Failure\n" + body + "\n");
  ASSERT_EQ(console.Logged.size(), 1u);
  EXPECT_EQ(console.Logged[0].first, 7);
  EXPECT_EQ(console.Logged[0].second, "Assertion Failure\n" + body);
}

TEST(Assert, EmptyMessageAddsNoLine) {
  const TSourceLocation here = TSourceLocation::current();
  EXPECT_EQ(AssertionBody(here, ""), FormatLocation(here) + "\nAssertion Failed");
}

TEST(Assert, HoldingConditionAndSuppressionReportNothing) {
  TSuppressionGuard guard;
  TScopedConsole console;
  testing::internal::CaptureStderr();
  Assert(true, "fine");
  VASSERT(1 + 1 == 2);
  AssertionsSuppressed() = true;
  Assert(false, "silenced");
  VASSERT_MSG(false, "silenced too");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(console.Logged.empty());
}

TEST(Assert, GoesThroughTheReplaceableHandler) {
  TPlatformTable& platform = Platform();
  const auto saved = platform.AssertionHandler;
  std::vector<std::string> messages;
  unsigned line = 0;
  platform.AssertionHandler = [&](bool condition, const std::string& message,
                                  const TSourceLocation& where) {
    EXPECT_FALSE(condition);
    messages.push_back(message);
    line = where.line();
  };
  const unsigned expectedLine = __LINE__ + 1;
  VASSERT_MSG(2 < 1, "order");
  platform.AssertionHandler = saved;
  EXPECT_EQ(messages, std::vector<std::string>{"order"});
  EXPECT_EQ(line, expectedLine);
}

TEST(Assert, AddressesOutsideTheProgramGiveEmptyFields) {
  EXPECT_EQ(FormatAddress(0), LocationText(ProgramFileName(), "", "", ""));
  EXPECT_EQ(FormatAddress(16), LocationText(ProgramFileName(), "", "", ""));
}

TEST(Assert, MapBesideTheProgramNamesUnitRoutineAndLine) {
  // One unit spanning all code, one routine at its start, and line items at both ends: every
  // failing call inside the program lands on line "1".
  const std::string mapPath = ChangeFileExt(ProgramFilePath(), ".map");
  ASSERT_FALSE(std::filesystem::exists(mapPath)) << "a map already lies beside the test program";
  {
    std::ofstream map(mapPath, std::ios::binary);
    map << "Detailed map of segments\n"
           " 0001:00000000 FFFFFFFF C=CODE S=.text G=(none) M=AssertTest ACBP=A9\n"
           "  Address         Publics by Name\n"
           " 0001:00000000       AssertTest.Probe\n"
           "Line numbers for AssertTest(AssertTest.cpp) segment .text\n"
           "     1 0001:00000000   999 0001:FFFFFFF0\n";
  }
  LoadProgramMapFile();
  std::filesystem::remove(mapPath);
  ASSERT_NE(ProgramMapFile(), nullptr);
  TScopedConsole console;
  testing::internal::CaptureStderr();
  Assert(false, "through the map");
  testing::internal::GetCapturedStderr();
  FreeProgramMapFile();
  ASSERT_EQ(console.Logged.size(), 1u);
  EXPECT_EQ(console.Logged[0].second,
            "Assertion Failure\n" +
                LocationText(ProgramFileName(), "AssertTest", "AssertTest.Probe", "1") +
                "\nAssertion Failed\nthrough the map");
  EXPECT_EQ(ProgramMapFile(), nullptr);
}

TEST(Module, LoadsLogsAndFindsRoutines) {
  TScopedConsole console;
  {
    TModule module("libm.so.6");
    EXPECT_NE(module.GetProcAddress("cos"), nullptr);
    EXPECT_EQ(module.GetProcAddress("no_such_routine_here"), nullptr);
    EXPECT_EQ(module.GetProcAddress(3), nullptr);
  }
  const std::vector<std::string> expected{
      "Module \"libm.so.6\" loaded.",
      "From Module \"libm.so.6\", routine \"cos\" was retrieved.",
      "From Module \"libm.so.6\", routine \"no_such_routine_here\" was retrieved.",
      "From Module \"libm.so.6\", routine 3 was retrieved.",
      "Module \"libm.so.6\" unloaded.",
  };
  EXPECT_EQ(console.Texts(), expected);
}

TEST(Module, FailedLoadRaisesAnApplicationErrorAndLogsIt) {
  TScopedConsole console;
  TTempDir dir;
  const std::string path = dir.Write("fake.so", "not a library");
  try {
    TModule module(path);
    FAIL();
  } catch (const EAppError& error) {
    EXPECT_EQ(error.ErrorKind, "Win32 Error");
    const std::string message = error.what();
    EXPECT_EQ(message.rfind("Code: ", 0), 0u) << message;
    EXPECT_NE(message.find(".\n"), std::string::npos) << message;
    ASSERT_EQ(console.Texts().size(), 1u);
    EXPECT_EQ(console.Texts()[0], "Failed to load module \"" + path + "\". " + message + ".");
  }
}

}  // namespace
