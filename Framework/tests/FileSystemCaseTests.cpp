// Names that differ in letter case alone: different files within one disk folder, found by
// their exact name first; one name everywhere else.
#include <gtest/gtest.h>

#include "CoreTestSupport.h"
#include "FileSystemU.h"

namespace {

// The whole content of a file of the tree, or "" when it is not there.
std::string Content(TFileSystem& fs, const std::string& path) {
  IFileReaderRef reader = fs.OpenFile(path);
  if (!reader) return {};
  std::string text(static_cast<size_t>(reader->GetSize()), '\0');
  reader->ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
  return text;
}

std::vector<std::string> RootNames(TFileSystem& fs) {
  std::vector<std::string> names;
  for (const auto& [name, node] : fs.GetRoot()->SortedIndex()) names.push_back(name);
  return names;
}

}  // namespace

TEST(FileSystemCase, OneDiskFolderKeepsNamesThatDifferInCaseAlone) {
  TTempDir dir;
  dir.Write("tank.quv", "lower");
  dir.Write("TANK.QUV", "UPPER");
  dir.Write("Tank.pal", "palette");
  TFileSystem fs;
  fs.MountDiskFolder(dir.Path().string(), "*.quv", 1);
  EXPECT_EQ(Content(fs, "tank.quv"), "lower");
  EXPECT_EQ(Content(fs, "TANK.QUV"), "UPPER");
  // No exact name: the first in byte order, whatever order the folder lists them in.
  EXPECT_EQ(Content(fs, "Tank.Quv"), "UPPER");
  EXPECT_EQ(fs.FindEntry("tank.quv")->Name, "tank.quv");
  EXPECT_EQ(RootNames(fs), (std::vector<std::string>{"TANK.QUV", "tank.quv"}));
  EXPECT_TRUE(fs.ScanDirs().empty());
  // Mounted again: nothing doubles.
  fs.MountDiskFolder(dir.Path().string(), "*.QUV", 1);
  EXPECT_EQ(fs.GetRoot()->ChildCount(), 2);

  // One file mounted by name is that file, in either case.
  for (const std::string name : {"tank.quv", "TANK.QUV"}) {
    TFileSystem one;
    one.MountDiskFile(dir.File(name), 1);
    EXPECT_EQ(Content(one, name), name == "tank.quv" ? "lower" : "UPPER");
  }
  // A name in neither case finds one of them.
  TFileSystem other;
  other.MountDiskFile(dir.File("Tank.Quv"), 1);
  EXPECT_EQ(Content(other, "Tank.Quv"), "UPPER");
}

TEST(FileSystemCase, FilesOfOtherFoldersStayOneNameWherePriorityDecides) {
  TTempDir dir;
  dir.Write("low/unit.quv", "low");
  dir.Write("low/UNIT.QUV", "LOW");
  dir.Write("high/Unit.quv", "high");
  TFileSystem fs;
  fs.MountDiskFolder(dir.File("low"), "*", 1);
  fs.MountDiskFolder(dir.File("high"), "*", 5);
  // The higher folder's file takes the place of one of the lower folder's two.
  EXPECT_EQ(fs.GetRoot()->ChildCount(), 2);
  EXPECT_EQ(Content(fs, "Unit.quv"), "high");
  EXPECT_EQ(Content(fs, "unit.quv"), "low");
}
