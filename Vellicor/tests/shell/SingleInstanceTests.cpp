#include <gtest/gtest.h>

#include <stdexcept>

#include "SingleInstanceU.h"

namespace {

struct TOpened {
  std::vector<std::string> Files;
  std::vector<std::string> Errors;
  void Run(const std::string& request) {
    ExecuteOpenRequest(
        SplitRequestLines(request),
        [this](const std::string& name) {
          if (name.find("bad") != std::string::npos) throw std::runtime_error("no " + name);
          Files.push_back(name);
        },
        [this](const std::exception& error) { Errors.push_back(error.what()); });
  }
};

}  // namespace

TEST(SingleInstance, OpenLinesInAnyLetterCaseOpenTheirPathsInOrder) {
  TOpened opened;
  opened.Run("[open(/data/a b.quv)]\r\n[Open(/data/c.quv)]\n");
  EXPECT_EQ(opened.Files, (std::vector<std::string>{"/data/a b.quv", "/data/c.quv"}));
}

TEST(SingleInstance, OtherLinesAreIgnoredAndTheLastTwoCharactersAlwaysGo) {
  TOpened opened;
  opened.Run("[Close(x)]\nOpen(y)\n[Open(\n[Open()]\n[OPEN(/z.quvXY\n");
  EXPECT_EQ(opened.Files, (std::vector<std::string>{"/z.quv"}));
}

TEST(SingleInstance, AFailingLineIsReportedAndTheNextLineStillOpens) {
  TOpened opened;
  opened.Run("[Open(/bad1)]\n[Open(/good)]\n[Open(/bad2)]\n");
  EXPECT_EQ(opened.Files, (std::vector<std::string>{"/good"}));
  EXPECT_EQ(opened.Errors, (std::vector<std::string>{"no /bad1", "no /bad2"}));
}

TEST(SingleInstance, SecondStartEncodesAbsolutePathsOneLineEach) {
  EXPECT_EQ(EncodeOpenRequest({"a.quv", "/x/../abs.quv", "sub/b.quv", "bad\nname", ""}, "/home/u"),
            "[Open(/home/u/a.quv)]\n[Open(/abs.quv)]\n[Open(/home/u/sub/b.quv)]\n");
  TOpened opened;
  opened.Run(EncodeOpenRequest({"c (1).quv"}, "/d"));
  EXPECT_EQ(opened.Files, (std::vector<std::string>{"/d/c (1).quv"}));
}

// A game folder travels on a line of its own, which a viewer without game folders passes over.
TEST(SingleInstance, GameFolderLinesOpenTheirFoldersAndOpenLinesStayFiles) {
  const std::string request = EncodeOpenRequest({"a.quv"}, "/home/u") +
                              EncodeGameFolderRequest({"game", "/x/../ta", "bad\nname"}, "/home/u");
  EXPECT_EQ(request, "[Open(/home/u/a.quv)]\n[OpenGame(/home/u/game)]\n[OpenGame(/ta)]\n");
  TOpened opened;
  opened.Run(request);
  EXPECT_EQ(opened.Files, (std::vector<std::string>{"/home/u/a.quv"}));
  std::vector<std::string> folders;
  ExecuteGameFolderRequest(SplitRequestLines(request + "[opengame(/lower)]\n[OpenGame()]\n"),
                           [&](const std::string& folder) { folders.push_back(folder); }, {});
  EXPECT_EQ(folders, (std::vector<std::string>{"/home/u/game", "/ta", "/lower"}));
}

TEST(SingleInstance, ServerIsNamedAfterProgramUserInstanceAndConversation) {
  const std::string a = SingleInstanceServerName("/opt/vellicor/vellicor", 1000, "", "a.ini\n:0");
  EXPECT_EQ(a.rfind("vellicor-1000-", 0), 0u) << a;
  EXPECT_TRUE(a.ends_with("-VellicorSeries")) << a;
  EXPECT_EQ(a.size(), std::string("vellicor-1000--VellicorSeries").size() + 16);
  // The same instance always meets itself; other settings or another display do not.
  EXPECT_EQ(a, SingleInstanceServerName("/opt/vellicor/vellicor", 1000, "", "a.ini\n:0"));
  EXPECT_NE(a, SingleInstanceServerName("/opt/vellicor/vellicor", 1000, "", "b.ini\n:0"));
  EXPECT_NE(a, SingleInstanceServerName("/opt/vellicor/vellicor", 1000, "", "a.ini\n:1"));
  EXPECT_NE(a, SingleInstanceServerName("/opt/vellicor/vellicor", 1001, "", "a.ini\n:0"));
  // The private runtime folder holds the socket without the user id; a relative or overlong
  // folder is not used.
  const std::string inRuntime =
      SingleInstanceServerName("/usr/bin/viewer.bin", 0, "/run/user/0/", "k");
  EXPECT_EQ(inRuntime.rfind("/run/user/0/viewer-", 0), 0u) << inRuntime;
  EXPECT_EQ(inRuntime.find("-0-"), std::string::npos) << inRuntime;
  EXPECT_EQ(SingleInstanceServerName("/usr/bin/viewer.bin", 0, "run", "k").rfind("viewer-0-", 0),
            0u);
  EXPECT_EQ(SingleInstanceServerName("/v", 7, "/" + std::string(120, 'r'), "k").rfind("v-7-", 0),
            0u);
  EXPECT_NE(SingleInstanceServerName("k").find("VellicorSeries"), std::string::npos);
}
