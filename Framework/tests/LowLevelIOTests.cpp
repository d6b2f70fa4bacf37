#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>

#include <algorithm>
#include <map>

#include "CoreTestSupport.h"
#include "LowLevelIO.h"
#include "StreamsU.h"

namespace {

std::map<std::string, TFindFileData> Search(const std::string& pattern, uint32_t attributes) {
  std::map<std::string, TFindFileData> found;
  TFindFileData data;
  auto handle = Platform().FindFirst(pattern, attributes, data);
  if (!handle) return found;
  do {
    EXPECT_EQ(found.count(data.Name), 0u) << data.Name;
    found[data.Name] = data;
  } while (handle->FindNext(data));
  return found;
}

class LowLevelIO : public testing::Test {
 protected:
  void SetUp() override {
    dir.Write("A.TXT", "12345");
    dir.Write("b.txt", "1");
    dir.Write("noext", "");
    std::filesystem::create_directory(dir.File("Sub.txt"));
  }
  TTempDir dir;
};

TEST_F(LowLevelIO, FindFirstMatchesMasksWithoutRegardToCase) {
  auto found = Search(dir.Path().string() + "/*.TxT", saNormal);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found["A.TXT"].Size, 5);
  EXPECT_EQ(found["A.TXT"].Attributes, 0u);
  EXPECT_EQ(found["b.txt"].Size, 1);
  EXPECT_EQ(Search(dir.Path().string() + "/*.*", saNormal).size(), 3u)
      << "\"*.*\" takes names without dot";
  EXPECT_TRUE(Search(dir.Path().string() + "/*.bmp", saNormal).empty());
  EXPECT_TRUE(Search(dir.File("nowhere") + "/*", saNormal | saDirectory).empty());
}

TEST_F(LowLevelIO, DirectoriesOnlyWithTheirBitAndNeverDotEntries) {
  auto found = Search(dir.Path().string() + "/*", saNormal | saDirectory);
  EXPECT_EQ(found.size(), 4u);
  EXPECT_EQ(found.count("."), 0u);
  EXPECT_EQ(found.count(".."), 0u);
  EXPECT_EQ(found["Sub.txt"].Attributes, static_cast<uint32_t>(ffDirectory));
  auto dirsOnly = Search(dir.Path().string() + "/*", saDirectory);
  ASSERT_EQ(dirsOnly.size(), 1u);
  EXPECT_EQ(dirsOnly.begin()->first, "Sub.txt");
}

TEST_F(LowLevelIO, ReadOnlyFilesNeedTheirBit) {
  chmod(dir.File("b.txt").c_str(), 0444);
  EXPECT_EQ(Search(dir.Path().string() + "/*.txt", saNormal).count("b.txt"), 0u);
  auto found = Search(dir.Path().string() + "/*.txt", saNormal | saReadOnly);
  ASSERT_EQ(found.count("b.txt"), 1u);
  EXPECT_EQ(found["b.txt"].Attributes, static_cast<uint32_t>(ffReadOnly));
}

TEST_F(LowLevelIO, BrokenLinksLoopsPipesAndVanishedFilesAreSkipped) {
  ASSERT_EQ(symlink("loop", dir.File("loop").c_str()), 0);
  ASSERT_EQ(symlink("nothing-here", dir.File("dangling").c_str()), 0);
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  for (int i = 0; i < 20; ++i) dir.Write("v" + std::to_string(i), "x");
  TFindFileData data;
  auto handle = Platform().FindFirst(dir.Path().string() + "/*", saNormal | saDirectory, data);
  ASSERT_TRUE(handle);
  for (int i = 0; i < 20; ++i) std::filesystem::remove(dir.File("v" + std::to_string(i)));
  std::vector<std::string> names{data.Name};
  while (handle->FindNext(data)) names.push_back(data.Name);
  for (const char* bad : {"loop", "dangling", "pipe"})
    EXPECT_EQ(std::count(names.begin(), names.end(), bad), 0) << bad;
  EXPECT_LE(names.size(), 4u + 1u) << "at most the first vanished file was already reported";
}

TEST_F(LowLevelIO, OpeningAFolderOrAPipeFailsWithoutWaiting) {
  EXPECT_THROW(Platform().FileOpen(dir.File("Sub.txt"), hfRead), EInOutError);
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  // Must not block waiting for a writer; reading gives nothing.
  auto handle = Platform().FileOpen(dir.File("pipe"), hfRead | hfShareRead);
  char c;
  EXPECT_LE(handle->Read(&c, 1), 0);
}

TEST_F(LowLevelIO, HandleFlagsChooseAccessAndDisposition) {
  EXPECT_THROW(Platform().FileOpen(dir.File("new.bin"), hfReadWrite | hfShareRead), EInOutError)
      << "72 opens existing files only";
  auto created = Platform().FileOpen(dir.File("new.bin"), hfCreateAlways | hfShareNone);
  EXPECT_EQ(created->Write("abc", 3), 3);
  created.reset();
  auto both = Platform().FileOpen(dir.File("new.bin"), hfReadWrite | hfShareRead);
  EXPECT_EQ(both->Seek(0, 2), 3);
  EXPECT_EQ(both->Write("d", 1), 1);
  EXPECT_EQ(both->SetPosition(0), 0);
  char buffer[8];
  EXPECT_EQ(both->Read(buffer, 8), 4);
  EXPECT_EQ(both->Size(), 4);
  both.reset();
  auto truncated = Platform().FileOpen(dir.File("new.bin"), hfTruncate);
  EXPECT_EQ(truncated->Size(), 0);
  EXPECT_THROW(Platform().FileOpen(dir.File("absent.bin"), hfTruncate), EInOutError);
  // Backslashes and one trailing separator are normalised away.
  auto normalised = Platform().FileOpen(dir.Path().string() + "\\A.TXT\\", hfRead);
  EXPECT_EQ(normalised->Size(), 5);
}

TEST_F(LowLevelIO, QueriesLogTheirOutcome) {
  TScopedConsole console;
  TPlatformTable& p = Platform();
  const std::string file = dir.File("A.TXT"), sub = dir.File("Sub.txt");
  const std::string made = dir.File("made");
  EXPECT_TRUE(p.FileExists(file));
  EXPECT_FALSE(p.FileExists(sub));
  EXPECT_TRUE(p.DirectoryExists(sub));
  EXPECT_FALSE(p.DirectoryExists(file));
  EXPECT_TRUE(p.DirectoryUsable(sub));
  EXPECT_FALSE(p.DirectoryUsable(made));
  EXPECT_TRUE(p.CreateDirectory(made));
  EXPECT_FALSE(p.CreateDirectory(made));
  EXPECT_TRUE(p.RemoveDirectory(made));
  EXPECT_FALSE(p.RemoveDirectory(made));
  const std::vector<std::string> expected{
      "Query for file \"" + file + "\" exists; Success .",
      "Query for file \"" + sub + "\" exists; Failed.",
      "Query for directory \"" + sub + "\" exists; Success .",
      "Query for directory \"" + file + "\" exists; Failed.",
      "Query for directory \"" + sub + "\" being usable; Success .",
      "Query for directory \"" + made + "\" being usable; Failed.",
      "Created Directory \"" + made + "\".",
      "Failed to created Directory \"" + made + "\".",
      "Removed Directory \"" + made + "\".",
      "Failed to remove Directory \"" + made + "\".",
  };
  EXPECT_EQ(console.Texts(), expected);
  for (const auto& entry : console.Logged) EXPECT_EQ(entry.first, 1);
}

TEST_F(LowLevelIO, UnreadableFolderIsNotUsable) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  chmod(dir.File("Sub.txt").c_str(), 0);
  EXPECT_TRUE(Platform().DirectoryExists(dir.File("Sub.txt")));
  EXPECT_FALSE(Platform().DirectoryUsable(dir.File("Sub.txt")));
  chmod(dir.File("Sub.txt").c_str(), 0755);
}

TEST(LowLevelIOClock, CDDriveListLogsItsCountAndTimersAdvance) {
  TScopedConsole console;
  const auto drives = Platform().CDDriveList();
  ASSERT_EQ(console.Texts().size(), 1u);
  EXPECT_EQ(console.Texts()[0],
            "Query for all CD drives. " + std::to_string(drives.size()) + " CD drives found.");
  const int64_t a = Platform().HighResCounter();
  const int64_t b = Platform().HighResCounter();
  EXPECT_LE(a, b);
  EXPECT_GT(Platform().HighResFrequency(), 0);
}

}  // namespace
