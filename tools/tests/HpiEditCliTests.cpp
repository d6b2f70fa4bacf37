// vellicor-cli hpi add, rm and mv, run as a user runs them: the archive changed in place is
// extracted again and read by the tests' own HPI reader, so every entry not touched is checked
// byte for byte as stored; refusals and failed writes leave the archive as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "FrontendTestUtilsU.h"
#include "HpiBuilderU.h"
#include "HpiOutsideReader.h"
#include "PackTestSupportU.h"
#include "SmallDiskU.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Filled(size_t count, uint32_t seed) {
  std::vector<uint8_t> data(count);
  for (size_t i = 0; i < count; ++i) data[i] = uint8_t((i * seed) >> 3) ^ uint8_t(i / 97);
  return data;
}

class CliHpiEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    if (PackCliPath().empty()) GTEST_SKIP() << "vellicor-cli not built";
    // Every storage the format has: LZ77, zlib, stored, plain chunks and scrambled payloads.
    THpiBuilder builder;
    builder.HeaderKey = 0x2f6b3c1d;
    THpiFileOptions zlib, stored, plain, scrambled;
    zlib.CompressionFlag = 2;
    zlib.Chunks = {THpiChunkKind::ZLib};
    stored.CompressionFlag = 0;
    plain.Chunks = {THpiChunkKind::Plain};
    scrambled.EncryptPayload = true;
    builder.AddFile("units/tank.quv", Filled(150000, 3), zlib);
    builder.AddFile("units/plane.quv", Filled(3000, 5));
    builder.AddFile("units/raw.bin", Filled(777, 7), stored);
    builder.AddFile("maps/plain.map", Filled(5000, 11), plain);
    builder.AddFile("maps/secret.map", Filled(9000, 13), scrambled);
    builder.AddFile("readme.txt", Filled(12, 17));
    builder.AddDirectory("empty");
    builder.WriteFile(Dir.File("game.hpi"));
    Original = Read("game.hpi");
  }
  TCliRun Run(const std::string& arguments) { return RunPackCli(Dir.Path(), arguments); }
  hpitest::TOutsideArchive Read(const std::string& name) {
    return hpitest::TOutsideReader(ReadFileBytes(Dir.File(name))).Read();
  }
  // Every file of a folder below the scratch folder with its bytes.
  std::map<std::string, std::vector<uint8_t>> Tree(const std::string& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& item : fs::recursive_directory_iterator(Dir.Path() / folder))
      if (item.is_regular_file())
        files[fs::relative(item.path(), Dir.Path() / folder).string()] =
            ReadFileBytes(item.path().string());
    return files;
  }
  void WriteFile(const std::string& name, const std::vector<uint8_t>& content) {
    fs::create_directories((Dir.Path() / name).parent_path());
    WriteFileBytes(Dir.File(name), content);
  }
  // The archive's entries that are not in `changed` kept their stored blocks and storage.
  void ExpectUntouchedKept(const hpitest::TOutsideArchive& after,
                           const std::vector<std::string>& changed) {
    EXPECT_EQ(after.HeaderKey, Original.HeaderKey);
    for (const auto& [path, file] : Original.Files) {
      if (std::find(changed.begin(), changed.end(), path) != changed.end()) continue;
      SCOPED_TRACE(path);
      ASSERT_EQ(after.Files.count(path), 1u);
      const hpitest::TOutsideFile& kept = after.Files.at(path);
      EXPECT_EQ(kept.Block, file.Block);
      EXPECT_EQ(kept.Flag, file.Flag);
      EXPECT_EQ(kept.Encrypted, file.Encrypted);
    }
  }
  // No temporary file is left beside the archive.
  void ExpectNoLeftovers(const fs::path& folder) {
    for (const auto& item : fs::directory_iterator(folder))
      EXPECT_EQ(item.path().filename().string().find(".part"), std::string::npos) << item.path();
  }

  TTempDir Dir;
  hpitest::TOutsideArchive Original;
};

TEST_F(CliHpiEdit, AddRmAndMvGiveTheExpectedTreeAndKeepEveryOtherEntryAsStored) {
  WriteFile("src/art/a.bin", Filled(70000, 19));
  WriteFile("src/art/deep/b.txt", Filled(10, 23));
  fs::create_directories(Dir.Path() / "src/art/blank");
  WriteFile("single.dat", Filled(300, 29));
  TCliRun run = Run("hpi add game.hpi src/art single.dat --to units/new");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "3 files added to game.hpi\n");
  run = Run("hpi rm game.hpi maps/plain.map units/raw.bin");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "2 entries removed from game.hpi\n");
  run = Run("hpi mv game.hpi UNITS/Plane.quv air/plane.quv");  // names match without case
  ASSERT_EQ(run.ExitCode, 0) << run.Err;

  ASSERT_EQ(Run("hpi extract game.hpi --out out").ExitCode, 0);
  const std::map<std::string, std::vector<uint8_t>> expected = {
      {"air/plane.quv", Original.Files.at("units/plane.quv").Content},
      {"maps/secret.map", Original.Files.at("maps/secret.map").Content},
      {"readme.txt", Original.Files.at("readme.txt").Content},
      {"units/tank.quv", Original.Files.at("units/tank.quv").Content},
      {"units/new/art/a.bin", Filled(70000, 19)},
      {"units/new/art/deep/b.txt", Filled(10, 23)},
      {"units/new/single.dat", Filled(300, 29)}};
  EXPECT_EQ(Tree("out"), expected);
  const TCliRun list = Run("hpi list game.hpi");
  EXPECT_NE(list.Out.find("units/new/art/blank/\n"), std::string::npos) << list.Out;
  EXPECT_NE(list.Out.find("empty/\n"), std::string::npos) << list.Out;

  const hpitest::TOutsideArchive after = Read("game.hpi");
  ExpectUntouchedKept(after, {"maps/plain.map", "units/raw.bin", "units/plane.quv"});
  EXPECT_EQ(after.Files.at("air/plane.quv").Block, Original.Files.at("units/plane.quv").Block);
  // New files: LZ77 chunks unless asked otherwise.
  EXPECT_EQ(after.Files.at("units/new/art/a.bin").Flag, 1);
  EXPECT_EQ(after.Files.at("units/new/art/a.bin").FirstChunk, "lz77");
  ExpectNoLeftovers(Dir.Path());
}

TEST_F(CliHpiEdit, NewFilesTakeTheCompressionAskedAndReplacedOnesKeepTheirStorage) {
  const std::pair<std::string, std::pair<int, std::string>> kinds[] = {
      {"none", {0, ""}}, {"lz77", {1, "lz77"}}, {"zlib", {2, "zlib"}}};
  for (const auto& [name, storage] : kinds) {
    SCOPED_TRACE(name);
    WriteFile(name + ".bin", Filled(100000, 31));
    const TCliRun run = Run("hpi add game.hpi " + name + ".bin --compression " + name);
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    const hpitest::TOutsideFile added = Read("game.hpi").Files.at(name + ".bin");
    EXPECT_EQ(added.Content, Filled(100000, 31));
    EXPECT_EQ(added.Flag, storage.first);
    EXPECT_EQ(added.FirstChunk, storage.second);
  }
  // A file already there is replaced in its own storage, whatever --compression says.
  WriteFile("swap/units/tank.quv", Filled(90000, 37));
  WriteFile("swap/units/raw.bin", Filled(50, 41));
  const TCliRun run = Run("hpi add game.hpi swap/units --compression none");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const hpitest::TOutsideArchive after = Read("game.hpi");
  EXPECT_EQ(after.Files.at("units/tank.quv").Content, Filled(90000, 37));
  EXPECT_EQ(after.Files.at("units/tank.quv").Flag, 2);
  EXPECT_EQ(after.Files.at("units/tank.quv").FirstChunk, "zlib");
  EXPECT_EQ(after.Files.at("units/raw.bin").Content, Filled(50, 41));
  EXPECT_EQ(after.Files.at("units/raw.bin").Flag, 0);
  ExpectUntouchedKept(after, {"units/tank.quv", "units/raw.bin"});
}

TEST_F(CliHpiEdit, RefusalsSayWhyAndLeaveTheArchiveAsItWas) {
  const std::vector<uint8_t> before = ReadFileBytes(Dir.File("game.hpi"));
  WriteFile("f.txt", Filled(5, 43));
  WriteFile("tree/in.txt", Filled(5, 47));
  fs::create_symlink("/etc", Dir.Path() / "tree/outside");
  WriteFile("not.hpi", Filled(100, 53));
  const std::pair<std::string, std::string> refusals[] = {
      {"hpi add game.hpi f.txt --to ../up", "the name \"../up\" would leave the archive"},
      {"hpi add game.hpi f.txt --to a//b", "would leave the archive"},
      {"hpi add game.hpi f.txt --to /abs", "would leave the archive"},
      {"hpi add game.hpi f.txt --to readme.txt", "\"readme.txt\" is a file, not a folder"},
      {"hpi add game.hpi f.txt missing.txt", "missing.txt"},
      {"hpi add game.hpi tree", "outside"},
      {"hpi mv game.hpi readme.txt ../readme.txt", "would leave the archive"},
      {"hpi mv game.hpi readme.txt units/tank.quv", "\"units/tank.quv\" already exists"},
      {"hpi mv game.hpi units units/inner", "cannot move into itself"},
      {"hpi rm game.hpi readme.txt nothing.txt", "\"nothing.txt\" is not in the archive"},
      {"hpi rm game.hpi ./readme.txt", "would leave the archive"},
      {"hpi rm not.hpi readme.txt", "Cannot read \"not.hpi\""},
      {"hpi add game.hpi f.txt --compression lzma", "--compression"}};
  for (const auto& [arguments, reason] : refusals) {
    SCOPED_TRACE(arguments);
    const TCliRun run = Run(arguments);
    EXPECT_NE(run.ExitCode, 0);
    EXPECT_NE(run.Err.find(reason), std::string::npos) << run.Err;
    EXPECT_EQ(ReadFileBytes(Dir.File("game.hpi")), before);
  }
  ExpectNoLeftovers(Dir.Path());
}

TEST_F(CliHpiEdit, AFullDiskLeavesTheArchiveIdenticalAndSaysSo) {
  TSmallDisk disk(1024 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
  const std::vector<uint8_t> before = ReadFileBytes(Dir.File("game.hpi"));
  WriteFileBytes(disk / "game.hpi", before);
  disk.Fill(before.size() / 2);
  WriteFile("big.bin", Filled(400000, 59));
  const TCliRun run = Run("hpi add '" + (disk / "game.hpi") + "' big.bin --compression none");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("game.hpi\": No space left on device"), std::string::npos) << run.Err;
  EXPECT_EQ(ReadFileBytes(disk / "game.hpi"), before);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(disk.Path()))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".filler", "game.hpi"}));
}

TEST_F(CliHpiEdit, AReadOnlyFolderLeavesTheArchiveIdenticalAndSaysSo) {
  fs::create_directories(Dir.Path() / "locked");
  fs::copy_file(Dir.File("game.hpi"), Dir.Path() / "locked/game.hpi");
  const std::vector<uint8_t> before = ReadFileBytes(Dir.File("game.hpi"));
  ::chmod((Dir.Path() / "locked").c_str(), 0555);
  if (::access((Dir.Path() / "locked").c_str(), W_OK) == 0) {
    ::chmod((Dir.Path() / "locked").c_str(), 0755);
    GTEST_SKIP() << "cannot make the folder read-only (running as root)";
  }
  const TCliRun run = Run("hpi rm locked/game.hpi readme.txt");
  ::chmod((Dir.Path() / "locked").c_str(), 0755);
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("Permission denied"), std::string::npos) << run.Err;
  EXPECT_EQ(ReadFileBytes((Dir.Path() / "locked/game.hpi").string()), before);
}

}  // namespace
