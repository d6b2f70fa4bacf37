// hpi extract and hpi pack against folders an attacker or a careless user prepared: links
// planted where files land or on the way to them, fifos where files are read or written, files
// swapped after the scan, trees of links, and a disk that fills up half-way.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "FrontendTestUtilsU.h"
#include "HpiBuilderU.h"
#include "HpiPackU.h"
#include "PackTestSupportU.h"
#include "QuvSamplesU.h"
#include "SmallDiskU.h"
#include "TempDirU.h"

namespace fs = std::filesystem;

namespace {

struct TRun {
  int ExitCode = -1;
  std::string Output;  // standard output and error together
};

// vellicor-cli in folder (a hang fails the run instead of stalling it).
TRun RunCli(const fs::path& folder, const std::string& arguments) {
  const TCliRun run = RunPackCli(folder, arguments);
  return {run.ExitCode, run.Out + run.Err};
}

std::vector<uint8_t> Bytes(size_t size, uint8_t seed) {
  std::vector<uint8_t> data(size);
  for (size_t i = 0; i < size; ++i) data[i] = uint8_t(i * 31 + seed + (i >> 9));
  return data;
}

class HostileFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(CliPath())) GTEST_SKIP() << "vellicor-cli was not built";
    THpiBuilder builder;
    builder.AddFile("a.quv", Bytes(20000, 1));
    builder.AddFile("sub/b.quv", Bytes(3000, 2));
    builder.WriteFile(Dir / "units.hpi");
  }
  std::string Victim() const { return Dir.Read("outside/victim"); }
  TTempDir Dir;
};

TEST_F(HostileFolders, ExtractNeverWritesThroughAPlantedLink) {
  Dir.Write("outside/victim", "precious");
  fs::create_directories(Dir.Path() / "out");
  fs::create_symlink("../outside/victim", Dir.Path() / "out/a.quv");
  fs::create_directory_symlink("../outside", Dir.Path() / "out/sub");
  const TRun run = RunCli(Dir.Path(), "hpi extract units.hpi --out out");
  EXPECT_EQ(run.ExitCode, 1) << run.Output;
  EXPECT_EQ(Victim(), "precious");
  // The file's own link is replaced by the file; the folder link is refused by name.
  EXPECT_FALSE(fs::is_symlink(Dir.Path() / "out/a.quv"));
  EXPECT_EQ(ReadFileBytes(Dir / "out/a.quv"), Bytes(20000, 1));
  EXPECT_NE(run.Output.find("out/sub\" is a symbolic link; nothing is written through it"),
            std::string::npos)
      << run.Output;
  EXPECT_FALSE(fs::exists(Dir.Path() / "outside/b.quv"));
}

TEST_F(HostileFolders, ExtractOverAFifoDoesNotHang) {
  fs::create_directories(Dir.Path() / "out");
  ASSERT_EQ(::mkfifo((Dir / "out/a.quv").c_str(), 0600), 0);
  const TRun run = RunCli(Dir.Path(), "hpi extract units.hpi --out out");
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(ReadFileBytes(Dir / "out/a.quv"), Bytes(20000, 1));
}

TEST_F(HostileFolders, ExtractOnAFullDiskLeavesNoPartialFile) {
  TSmallDisk disk;
  if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
  disk.Fill(8192);
  const TRun run = RunCli(Dir.Path(), "hpi extract units.hpi --out '" + disk.Path().string() + "'");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("a.quv\": No space left on device"), std::string::npos) << run.Output;
  // Whatever was written is whole; nothing half-written or temporary stays.
  for (const auto& entry : fs::recursive_directory_iterator(disk.Path())) {
    const std::string name = entry.path().filename();
    if (name == ".filler" || entry.is_directory()) continue;
    EXPECT_TRUE(name == "b.quv") << name;
    EXPECT_EQ(ReadFileBytes(entry.path()), Bytes(3000, 2));
  }
}

TEST_F(HostileFolders, PackOutputOnAFullDiskLeavesNothing) {
  TSmallDisk disk;
  if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
  Dir.Write("tree/big.bin", std::string(200000, 'x'));
  disk.Fill(8192);
  const TRun run =
      RunCli(Dir.Path(), "hpi pack '" + (disk / "t.hpi") + "' tree --compression none");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("t.hpi\": No space left on device"), std::string::npos) << run.Output;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(disk.Path()))
    names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{".filler"});
}

TEST_F(HostileFolders, PackRefusesAFileSwappedAfterTheScan) {
  Dir.Write("outside/secret", "not for the archive");
  const auto swapped = [&](const std::function<void()>& swap) -> std::string {
    fs::remove_all(Dir.Path() / "tree");
    Dir.Write("tree/a.txt", "inside");
    Dir.Write("tree/b.txt", "inside too");
    const THpiPackTree root = ScanHpiFolder(Dir / "tree");
    swap();
    try {
      WriteHpiArchive(root, Dir / "t.hpi", {});
    } catch (const std::exception& error) {
      return error.what();
    }
    return "packed";
  };
  const fs::path a = Dir.Path() / "tree/a.txt", b = Dir.Path() / "tree/b.txt";
  std::string error = swapped([&] {
    fs::remove(a);
    fs::create_symlink(Dir.Path() / "outside/secret", a);
  });
  EXPECT_NE(error.find("a.txt\": it is a symbolic link"), std::string::npos) << error;
  error = swapped([&] {
    // Of the same size, made before the old one goes, so it cannot reuse its inode.
    Dir.Write("other", "INSIDE");
    fs::rename(Dir.Path() / "other", a);
  });
  EXPECT_NE(error.find("a.txt\" was replaced by another file"), std::string::npos) << error;
  error = swapped([&] {
    fs::remove(b);
    ASSERT_EQ(::mkfifo(b.c_str(), 0600), 0);
  });
  EXPECT_NE(error.find("b.txt\": it is a fifo, not a file"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(Dir.Path() / "t.hpi"));
  EXPECT_EQ(swapped([] {}), "packed");
}

TEST_F(HostileFolders, PackRefusesFifosAndFolderLinksAtOnce) {
  fs::create_directories(Dir.Path() / "tree");
  ASSERT_EQ(::mkfifo((Dir / "tree/pipe").c_str(), 0600), 0);
  TRun run = RunCli(Dir.Path(), "hpi pack t.hpi tree");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("pipe\" is a fifo, neither a file nor a folder"), std::string::npos)
      << run.Output;
  fs::remove(Dir.Path() / "tree/pipe");
  // A diamond: each level links twice to the one below, 2^20 paths through 20 real folders.
  fs::path level = Dir.Path() / "tree";
  for (int i = 0; i < 20; ++i) {
    fs::create_directories(level / "next");
    fs::create_directory_symlink("next", level / "left");
    fs::create_directory_symlink("next", level / "right");
    level /= "next";
  }
  Dir.Write("tree/next/next/leaf.txt", "leaf");
  run = RunCli(Dir.Path(), "hpi pack t.hpi tree");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("is a symbolic link to a folder; an archive holds each folder once"),
            std::string::npos)
      << run.Output;
  EXPECT_FALSE(fs::exists(Dir.Path() / "t.hpi"));
}

TEST_F(HostileFolders, ExportOnAFullDiskLeavesOnlyWholeFiles) {
  TSmallDisk disk;
  if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
  WriteFileBytes(Dir / "sample.quv", MakeSampleQuv());
  disk.Fill(2048);
  const TRun run = RunCli(
      Dir.Path(), "export sample.quv --format png --scale 8 --out '" + disk.Path().string() + "'");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("No space left on device"), std::string::npos) << run.Output;
  // Every picture that is there is whole: it ends with the PNG's closing chunk.
  const std::vector<uint8_t> end = {'I', 'E', 'N', 'D', 0xae, 0x42, 0x60, 0x82};
  for (const auto& entry : fs::directory_iterator(disk.Path())) {
    const std::string name = entry.path().filename();
    if (name == ".filler") continue;
    EXPECT_NE(name.front(), '.') << "left behind: " << name;
    const std::vector<uint8_t> bytes = ReadFileBytes(entry.path());
    ASSERT_GE(bytes.size(), end.size()) << name;
    EXPECT_TRUE(std::equal(end.begin(), end.end(), bytes.end() - end.size())) << name;
  }
}

TEST_F(HostileFolders, ConvertNeverMakesItsFoldersThroughALink) {
  WriteFileBytes(Dir / "sample.quv", MakeSampleQuv());
  fs::create_directories(Dir.Path() / "outside");
  fs::create_directories(Dir.Path() / "out");
  fs::create_directory_symlink("../outside", Dir.Path() / "out/sample");
  const TRun run = RunCli(Dir.Path(), "convert sample.quv --out out --format png");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("out/sample\" is a symbolic link; nothing is written through it"),
            std::string::npos)
      << run.Output;
  EXPECT_TRUE(fs::is_empty(Dir.Path() / "outside"));
}

}  // namespace
