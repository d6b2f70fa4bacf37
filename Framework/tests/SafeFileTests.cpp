// Reading and writing through hostile folders: links planted at or on the way to a target,
// fifos where a file is expected, and a disk that runs full half-way through a file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "SafeFileU.h"
#include "SmallDiskU.h"
#include "TempDirU.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "";
}

}  // namespace

TEST(SafeFile, AWriteReplacesALinkAtItsNameAndNeverWritesThroughIt) {
  TTempDir dir;
  dir.Write("outside/victim", "precious");
  fs::create_directories(dir.Path() / "out");
  fs::create_symlink("../outside/victim", dir.Path() / "out/a.quv");
  WriteFileAtomically(dir / "out/a.quv", "new bytes");
  EXPECT_EQ(dir.Read("outside/victim"), "precious");
  EXPECT_FALSE(fs::is_symlink(dir.Path() / "out/a.quv"));
  EXPECT_EQ(dir.Read("out/a.quv"), "new bytes");
  EXPECT_EQ(Names(dir.Path() / "out"), std::vector<std::string>{"a.quv"});
}

TEST(SafeFile, AFolderLinkOnTheWayIsRefusedByName) {
  TTempDir dir;
  fs::create_directories(dir.Path() / "outside");
  fs::create_directories(dir.Path() / "out");
  fs::create_directory_symlink("../outside", dir.Path() / "out/sub");
  TOutputTree tree(dir / "out");
  const std::string error = ErrorOf([&] { tree.Write("sub/deeper/b.quv", "x"); });
  EXPECT_NE(error.find("out/sub\" is a symbolic link; nothing is written through it"),
            std::string::npos)
      << error;
  EXPECT_TRUE(Names(dir.Path() / "outside").empty());
  // Names that climb out are refused as well, before anything is made.
  EXPECT_NE(ErrorOf([&] { tree.Write("../escaped", "x"); }).find("leaves the output folder"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(dir.Path() / "escaped"));
  // The tree's own folders are made once and used again.
  tree.Write("a/b/c.txt", "1");
  tree.Write("a/b/d.txt", "2");
  EXPECT_EQ(Names(dir.Path() / "out/a/b"), (std::vector<std::string>{"c.txt", "d.txt"}));
}

// A batch conversion writes one folder per file; a tree of more folders than the process may
// hold descriptors must still be written whole.
TEST(SafeFile, ATreeOfMoreFoldersThanDescriptorsIsWrittenWhole) {
  TTempDir dir;
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
  const rlimit low{256, limit.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  std::string error;
  {
    TOutputTree tree(dir / "out");
    try {
      for (int i = 0; i < 600; ++i)
        tree.Write("d" + std::to_string(i % 3) + "/f" + std::to_string(i) + "/a.bmp", "x");
    } catch (const std::exception& e) {
      error = e.what();
    }
  }
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);
  EXPECT_EQ(error, "");
  EXPECT_EQ(dir.Read("out/d2/f599/a.bmp"), "x");
  EXPECT_EQ(Names(dir.Path() / "out/d0").size(), 200u);
}

TEST(SafeFile, ReadingAFifoOrAFolderSaysWhatItIsWithoutBlocking) {
  TTempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  fs::create_directories(dir.Path() / "folder");
  fs::create_symlink("nowhere", dir.Path() / "dangling");
  EXPECT_NE(
      ErrorOf([&] { ReadRegularFile(dir / "pipe", 100); }).find("pipe\": it is a fifo, not a file"),
      std::string::npos);
  EXPECT_NE(ErrorOf([&] {
              ReadRegularFile(dir / "folder", 100);
            }).find("folder\": it is a folder, not a file"),
            std::string::npos);
  EXPECT_NE(ErrorOf([&] {
              ReadRegularFile(dir / "dangling", 100);
            }).find("dangling\": it is a dangling symbolic link"),
            std::string::npos);
  EXPECT_NE(ErrorOf([&] { ReadRegularFile(dir / "missing", 100); }).find("it does not exist"),
            std::string::npos);
  dir.Write("big", std::string(101, 'b'));
  EXPECT_NE(ErrorOf([&] { ReadRegularFile(dir / "big", 100); }).find("is larger than 100 bytes"),
            std::string::npos);
  dir.Write("real", "data");
  fs::create_symlink("real", dir.Path() / "link");
  EXPECT_EQ(ReadRegularFile(dir / "link", 100), "data");
  EXPECT_NE(ErrorOf([&] {
              ReadRegularFile(dir / "link", 100, TLinkPolicy::Refuse);
            }).find("it is a symbolic link"),
            std::string::npos);
}

TEST(SafeFile, AFullDiskLeavesTheOldFileAndNoPartialFile) {
  TSmallDisk disk;
  if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
  WriteFileAtomically(disk / "a.quv", "old content");
  disk.Fill(4096);
  const std::string error =
      ErrorOf([&] { WriteFileAtomically(disk / "a.quv", std::string(20000, 'n')); });
  EXPECT_NE(error.find("a.quv\": No space left on device"), std::string::npos) << error;
  EXPECT_EQ(ReadRegularFile(disk / "a.quv", 100), "old content");
  EXPECT_EQ(Names(disk.Path()), (std::vector<std::string>{".filler", "a.quv"}));
}

TEST(SafeFile, ReplacingContentInPlaceReachesAReaderHoldingTheFileOpen) {
  TTempDir dir;
  dir.Write("thumb.png", "");
  const int held = ::open((dir / "thumb.png").c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ReplaceFileContent(dir / "thumb.png", "picture");
  char buffer[16] = {};
  EXPECT_EQ(::pread(held, buffer, sizeof buffer, 0), 7);
  EXPECT_EQ(std::string(buffer), "picture");
  ::close(held);
  // Without a file there, the content arrives atomically; a planted link is replaced.
  dir.Write("victim", "keep");
  fs::create_symlink("victim", dir.Path() / "link.png");
  ReplaceFileContent(dir / "link.png", "new");
  EXPECT_EQ(dir.Read("victim"), "keep");
  EXPECT_EQ(dir.Read("link.png"), "new");
  ReplaceFileContent(dir / "fresh.png", "fresh");
  EXPECT_EQ(dir.Read("fresh.png"), "fresh");
}
