// vellicor-cli convert run as a user runs it, on sources that share names: outputs that would
// meet in one folder, files whose names differ in case alone, many files of one folder and of
// one archive. Skipped when the tool has not been built next to the tests.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "FrontendTestUtilsU.h"
#include "HpiBuilderU.h"
#include "PackTestSupportU.h"
#include "QuvSamplesU.h"

namespace {

namespace fs = std::filesystem;

using TRun = TCliRun;

class CliConvert : public ::testing::Test {
 protected:
  void SetUp() override {
    Cli = CliPath();
    if (!fs::exists(Cli)) GTEST_SKIP() << "vellicor-cli not built";
  }
  // Runs the tool in the scratch folder with output piped (never a terminal).
  TRun Run(const std::string& arguments) { return RunPackCli(Dir.Path(), arguments); }
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    fs::create_directories(fs::path(Dir.File(name)).parent_path());
    WriteFileBytes(Dir.File(name), bytes);
  }
  // The names of the files in a folder of the scratch folder (none when it is missing).
  std::set<std::string> FilesIn(const std::string& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(Dir.File(folder), error))
      if (entry.is_regular_file()) names.insert(entry.path().filename().string());
    return names;
  }
  // Every file below a folder of the scratch folder.
  size_t CountFiles(const std::string& folder) {
    size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(Dir.File(folder)))
      count += entry.is_regular_file() ? 1 : 0;
    return count;
  }

  fs::path Cli;
  TTempDir Dir;
};

// A Quv file of one image of two frames, named "image" and the number: files made with
// different numbers tell their outputs apart.
std::vector<uint8_t> NumberedQuv(int32_t number) {
  return BuildQuvFile(SyntheticImages(1, 2, 8, 8, 1, number));
}

std::string ImageName(int32_t number) {
  char name[32];
  std::snprintf(name, sizeof name, "image%04d_", number);
  return name;
}

// How many of the names start with prefix.
size_t CountStarting(const std::set<std::string>& names, const std::string& prefix) {
  return size_t(std::count_if(names.begin(), names.end(), [&prefix](const std::string& name) {
    return name.rfind(prefix, 0) == 0;
  }));
}

}  // namespace

TEST_F(CliConvert, SourcesThatMeetInOneOutputFolderEachKeepAFolderOfTheirOwn) {
  Write("d1/x.quv", NumberedQuv(1));
  Write("d2/x.quv", NumberedQuv(2));
  Write("d3/x~2.quv", NumberedQuv(3));
  Write("d4/x.QUV", NumberedQuv(4));
  // The first keeps x; x~2 is a source's own name, so the next free suffix is 3, then 4.
  const std::string command = "convert d1/x.quv d2/x.quv d3/x~2.quv d4/x.QUV --out out";
  TRun run = Run(command);
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const std::map<std::string, int32_t> expected{{"x", 1}, {"x~3", 2}, {"x~2", 3}, {"x~4", 4}};
  for (const auto& [folder, number] : expected) {
    const std::set<std::string> files = FilesIn("out/" + folder);
    EXPECT_EQ(files.size(), 2u) << folder;
    EXPECT_EQ(CountStarting(files, ImageName(number)), 2u) << folder;
  }
  // The count told is the count on disk.
  EXPECT_EQ(CountFiles("out"), 8u);
  EXPECT_EQ(run.Out.substr(0, run.Out.find(" (")),
            "4 sources converted, 8 files written to out, 0 failed");
  // Each moved output is named on standard error with the source that keeps the folder.
  EXPECT_NE(run.Err.find("d2/x.quv: written to x~3, as x is the output of d1/x.quv\n"),
            std::string::npos)
      << run.Err;
  EXPECT_NE(run.Err.find("d4/x.QUV: written to x~4,"), std::string::npos) << run.Err;

  // The same run again gives the same folders, and nothing more.
  run = Run(command);
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(CountFiles("out"), 8u);
  EXPECT_EQ(CountStarting(FilesIn("out/x~3"), ImageName(2)), 2u);

  // A source that fails part-way: what it wrote before is counted too.
  std::vector<TSampleImage> images = SyntheticImages(1, 2, 8, 8, 1, 7);
  images.push_back({"zero", {SolidFrame(1, 4, 0, 0, 1)}});
  std::vector<uint8_t> bytes = BuildQuvFile(images);
  // The second image's frame claims no width: reading that frame fails.
  const uint32_t entry = Le32(bytes, 12 + 4);
  const uint32_t frame = Le32(bytes, entry + 40);
  bytes[frame] = bytes[frame + 1] = 0;
  Write("part/x.quv", bytes);
  run = Run("convert part/x.quv d1/x.quv --out partial");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(CountStarting(FilesIn("partial/x"), ImageName(7)), 2u);
  EXPECT_EQ(CountFiles("partial"), 4u);
  EXPECT_EQ(run.Out.substr(0, run.Out.find(" (")),
            "1 source converted, 4 files written to partial, 1 failed")
      << run.Err;
}

TEST_F(CliConvert, EachFileOfAFolderOrAnArchiveGivesItsOwnFramesThoughNamesDifferInCaseAlone) {
  for (const auto& [name, bytes] : SampleFiles()) {
    if (name == "tank.quv") Write("d/tank.quv", bytes);    // the tank alone
    if (name == "sample.quv") Write("d/TANK.QUV", bytes);  // every sprite
  }
  constexpr int32_t Count = 30;
  THpiBuilder builder;
  for (int32_t i = 0; i < Count; ++i) {
    const std::string name = "f" + std::to_string(i) + ".quv";
    Write("d/" + name, NumberedQuv(i));
    builder.AddFile("inner/" + name, NumberedQuv(Count + i));
  }
  builder.WriteFile(Dir.File("d.hpi"));

  TRun run = Run("convert d d.hpi --out out --jobs 2");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  const std::set<std::string> lower = FilesIn("out/d/tank"), upper = FilesIn("out/d/TANK");
  EXPECT_FALSE(lower.empty());
  EXPECT_EQ(CountStarting(lower, "tank_"), lower.size());
  EXPECT_GT(CountStarting(upper, "ball_"), 0u);
  EXPECT_GT(CountStarting(upper, "walker_"), 0u);
  for (int32_t i = 0; i < Count; ++i) {
    const std::string name = "f" + std::to_string(i);
    EXPECT_EQ(CountStarting(FilesIn("out/d/" + name), ImageName(i)), 2u) << name;
    EXPECT_EQ(CountStarting(FilesIn("out/d.hpi/inner/" + name), ImageName(Count + i)), 2u) << name;
  }
  const size_t files = CountFiles("out");
  EXPECT_EQ(files, lower.size() + upper.size() + 4 * Count);
  EXPECT_NE(run.Out.find(std::to_string(2 * Count + 2) + " sources converted, " +
                         std::to_string(files) + " files written"),
            std::string::npos)
      << run.Out;

  // Listed by name, each shows its own images; a name in another case finds one of them.
  run = Run("list d/tank.quv");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out.rfind("d/tank.quv: 1 image\n", 0), 0u) << run.Out;
  run = Run("list d/TANK.QUV");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out.rfind("d/TANK.QUV: 5 images\n", 0), 0u) << run.Out;
  EXPECT_NE(run.Out.find("\nball ("), std::string::npos) << run.Out;
  EXPECT_EQ(Run("list d/Tank.quv").ExitCode, 0);
}
