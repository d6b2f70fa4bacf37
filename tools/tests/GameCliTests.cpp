// vellicor-cli ls --origin/--hidden and find, run as a user runs them on a game folder made in
// code: disk files and three archives where the same names stand in several places.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "FrontendTestUtilsU.h"
#include "GameSamplesU.h"
#include "PackTestSupportU.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
  return fields;
}

class GameCli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (PackCliPath().empty()) GTEST_SKIP() << "vellicor-cli not built";
    WriteSampleGame(Dir.File("game"));
  }
  TCliRun Run(const std::string& arguments) { return RunPackCli(Dir.Path(), arguments); }
  // The archives of mods/ in the order they are mounted in: by name.
  const std::vector<std::string> Mods{"mods/extra.ufo", "mods/patch.hpi"};
  TTempDir Dir;
};

}  // namespace

TEST_F(GameCli, LsWithOriginAddsTheOriginToEachFileAndHiddenListsTheCopiesBelowIt) {
  const TCliRun plain = Run("ls game");
  const TCliRun origin = Run("ls game --origin");
  const TCliRun hidden = Run("ls game --origin --hidden");
  ASSERT_EQ(plain.ExitCode, 0) << plain.Err;
  ASSERT_EQ(origin.ExitCode, 0) << origin.Err;
  ASSERT_EQ(hidden.ExitCode, 0) << hidden.Err;

  // The listing without the flags is the listing with them, origins taken away.
  std::string stripped;
  for (const std::string& line : Lines(origin.Out)) {
    const std::vector<std::string> fields = Fields(line);
    stripped += fields.size() == 3 ? fields[0] + '\t' + fields[1] + '\n' : line + '\n';
  }
  EXPECT_EQ(stripped, plain.Out);
  EXPECT_NE(plain.Out.find("units/\n"), std::string::npos) << plain.Out;
  EXPECT_NE(origin.Out.find("units/armcom.quv\t"), std::string::npos) << origin.Out;

  // Each file with its origin, each hidden copy right below it, next in line first.
  const std::string boomSize = std::to_string(std::string("RIFF base boom").size());
  const std::string patchedSize = std::to_string(std::string("RIFF patched boom").size());
  std::map<std::string, std::vector<std::string>> below;  // file line -> its hidden lines
  std::string current;
  for (const std::string& line : Lines(hidden.Out)) {
    const std::vector<std::string> fields = Fields(line);
    if (fields.size() == 4) {
      EXPECT_EQ(fields[3], "(hidden)") << line;
      EXPECT_EQ(Fields(current).at(0), fields[0]) << line;
      below[current].push_back(fields[2]);
    } else {
      current = line;
      below[current];
    }
  }
  EXPECT_EQ(below["sounds/boom.wav\t" + boomSize + "\tbase.hpi"],
            (std::vector<std::string>{"mods/patch.hpi"}));
  EXPECT_NE(hidden.Out.find("sounds/boom.wav\t" + boomSize + "\tbase.hpi\nsounds/boom.wav\t" +
                            patchedSize + "\tmods/patch.hpi\t(hidden)\n"),
            std::string::npos)
      << hidden.Out;
  EXPECT_EQ(below["readme.txt\t12\t./"], (std::vector<std::string>{"base.hpi"}));
  bool tankSeen = false, scoutSeen = false;
  for (const auto& [line, copies] : below) {
    const std::vector<std::string> fields = Fields(line);
    if (fields[0] == "units/tank.quv") {
      tankSeen = true;
      EXPECT_EQ(fields.at(2), "units/");
      EXPECT_EQ(copies, (std::vector<std::string>{"base.hpi", "mods/extra.ufo"}));
    }
    if (fields[0] == "units/scout.quv") {
      scoutSeen = true;
      EXPECT_EQ(fields.at(2), Mods[0]);
      EXPECT_EQ(copies, std::vector<std::string>(Mods.begin() + 1, Mods.end()));
    }
    if (fields[0] == "units/broken.quv") {
      EXPECT_TRUE(copies.empty());
    }
  }
  EXPECT_TRUE(tankSeen && scoutSeen) << hidden.Out;
}

TEST_F(GameCli, FindMatchesNamesAndWithImagesImageNamesAcrossArchives) {
  // A part of the path, letter case aside.
  TCliRun run = Run("find game TANK");
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "units/tank.quv\tunits/\n");
  // A mask against the file name; with a '/' against the path.
  run = Run("find game '*.WAV'");
  EXPECT_EQ(run.Out, "sounds/boom.wav\tbase.hpi\n");
  run = Run("find game 'units/[ps]*'");
  EXPECT_EQ(run.Out, "units/Plane.QUV\tmods/extra.ufo\nunits/scout.quv\t" + Mods[0] + "\n");
  // Nothing found: exit 1 and no output, as grep; a bad mask or folder: exit 2 with a message.
  run = Run("find game armcom_dead");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Out, "");
  run = Run("find game '[a'");
  EXPECT_EQ(run.ExitCode, 2);
  EXPECT_NE(run.Err.find("'[a' is an invalid mask"), std::string::npos) << run.Err;
  run = Run("find missing x");
  EXPECT_EQ(run.ExitCode, 2);
  EXPECT_NE(run.Err.find("missing"), std::string::npos) << run.Err;

  // Image names in the copies that stand, whatever archive they come from; the file that is not
  // a Quv file is named on standard error and the search goes on.
  run = Run("find game armcom_DEAD --images");
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "units/armcom.quv\tbase.hpi\tarmcom_dead\n");
  EXPECT_EQ(run.Err, "\"units/broken.quv\" is not a Quv file (from mods/extra.ufo)\n");
  run = Run("find game 'plane*' --images");
  EXPECT_EQ(run.Out, "units/Plane.QUV\tmods/extra.ufo\tplane,plane_shadow\n");
  run = Run("find game tank_mod --images");  // only in a hidden copy
  EXPECT_EQ(run.ExitCode, 1);
}

TEST_F(GameCli, FindJsonIsAnArrayOfPathOriginOpenPathAndImages) {
  const TCliRun run = Run("find game a --images --json");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const nlohmann::json json = nlohmann::json::parse(run.Out);
  ASSERT_TRUE(json.is_array());
  std::map<std::string, nlohmann::json> byPath;
  for (const nlohmann::json& item : json) byPath[item.at("path").get<std::string>()] = item;
  ASSERT_TRUE(byPath.count("units/armcom.quv")) << run.Out;
  const nlohmann::json& armcom = byPath["units/armcom.quv"];
  EXPECT_EQ(armcom["origin"], "base.hpi");
  EXPECT_EQ(armcom["images"], nlohmann::json({"ARMCOM", "armcom_dead"}));
  const fs::path open = armcom["open"].get<std::string>();
  EXPECT_EQ(open.filename(), "armcom.quv");
  EXPECT_TRUE(fs::equivalent(open.parent_path().parent_path(), Dir.Path() / "game/base.hpi"));
  EXPECT_EQ(byPath["readme.txt"]["images"], nlohmann::json::array());  // its name matches
  EXPECT_EQ(byPath["units/tank.quv"]["images"], nlohmann::json({"tank_disk"}));
  EXPECT_EQ(byPath["units/tank.quv"]["origin"], "units/");
  // The listing in the tool's own order: the tree's.
  EXPECT_EQ(json.front()["path"], "base.hpi");

  const TCliRun none = Run("find game zzz --json");
  EXPECT_EQ(none.ExitCode, 1);
  EXPECT_EQ(nlohmann::json::parse(none.Out), nlohmann::json::array());
}
