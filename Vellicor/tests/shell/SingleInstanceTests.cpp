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

TEST(SingleInstance, ServerIsNamedAfterProgramUserAndConversation) {
  EXPECT_EQ(SingleInstanceServerName("/opt/vellicor/vellicor", 1000),
            "vellicor-1000-VellicorSeries");
  EXPECT_EQ(SingleInstanceServerName("/usr/bin/viewer.bin", 0), "viewer-0-VellicorSeries");
  EXPECT_NE(SingleInstanceServerName().find("VellicorSeries"), std::string::npos);
}
