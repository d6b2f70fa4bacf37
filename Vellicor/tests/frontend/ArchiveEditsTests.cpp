// The pending changes of an archive: the listing a browser shows before saving, refusals that
// change nothing, and a failed save that keeps the changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ArchiveEditsU.h"
#include "FrontendTestUtilsU.h"
#include "HpiBuilderU.h"
#include "TempDirU.h"

namespace {

namespace fs = std::filesystem;

// Each entry as "path:mark", marks left out for unchanged entries; renamed ones say from where.
std::vector<std::string> Shown(const TArchiveEdits& edits) {
  std::vector<std::string> lines;
  for (const TEditedEntry& entry : edits.Listing()) {
    std::string line = entry.Path + (entry.IsFolder ? "/" : "");
    if (entry.Mark != TEntryMark::Unchanged) line += std::string(":") + EntryMarkName(entry.Mark);
    if (!entry.OldPath.empty()) line += "<" + entry.OldPath;
    lines.push_back(line);
  }
  return lines;
}

class ArchiveEditsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    THpiBuilder builder;
    builder.AddFile("units/a.quv", std::vector<uint8_t>(10, 1));
    builder.AddFile("units/b.quv", std::vector<uint8_t>(20, 2));
    builder.AddFile("units/sub/c.quv", std::vector<uint8_t>(30, 3));
    builder.AddFile("unit.txt", std::vector<uint8_t>(5, 4));
    builder.WriteFile(Dir.File("a.hpi"));
  }
  TTempDir Dir;
};

TEST_F(ArchiveEditsTest, TheListingShowsTheArchiveAsItWillBeWithEachChangeMarked) {
  TArchiveEdits edits(Dir.File("a.hpi"));
  // A folder's content follows it directly, before names that sort after its own.
  EXPECT_EQ(Shown(edits),
            (std::vector<std::string>{"unit.txt", "units/", "units/a.quv", "units/b.quv",
                                      "units/sub/", "units/sub/c.quv"}));
  EXPECT_FALSE(edits.Modified());
  edits.Put("units/a.quv", std::vector<uint8_t>(99, 5));
  edits.Put("new/deep/n.bin", {1, 2, 3});
  edits.Rename("units/sub", "moved");
  edits.Delete("units/b.quv");
  edits.MakeFolder("units/blank");
  edits.Put("units/b.quv", {7});   // a new file where a deleted one was
  edits.Delete("new/deep/n.bin");  // never saved: it just goes
  EXPECT_TRUE(edits.Modified());
  EXPECT_EQ(Shown(edits), (std::vector<std::string>{
                              "moved/:renamed<units/sub", "moved/c.quv:renamed<units/sub/c.quv",
                              "new/:added", "new/deep/:added", "unit.txt", "units/",
                              "units/a.quv:replaced", "units/b.quv:added", "units/blank/:added"}));
  EXPECT_EQ(edits.Find("UNITS\\A.QUV")->Size, 99);
  edits.Delete("moved");
  EXPECT_EQ(Shown(edits)[0], "new/:added");
  EXPECT_EQ(Shown(edits)[7], "units/sub/:deleted");
  EXPECT_EQ(Shown(edits)[8], "units/sub/c.quv:deleted");
}

TEST_F(ArchiveEditsTest, RefusedChangesChangeNothingAndAFailedSaveKeepsThePendingOnes) {
  TArchiveEdits edits(Dir.File("a.hpi"));
  edits.Put("units/a.quv", {1});
  const std::vector<std::string> before = Shown(edits);
  const auto refused = [&](auto change, const std::string& reason) {
    try {
      change();
      ADD_FAILURE() << "not refused: " << reason;
    } catch (const std::exception& error) {
      EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
    }
    EXPECT_EQ(Shown(edits), before);
  };
  refused([&] { edits.Put("../x", {1}); }, "the name \"../x\" would leave the archive");
  refused([&] { edits.Put("unit.txt/x", {1}); }, "\"unit.txt\" is a file, not a folder");
  refused([&] { edits.Put("units", {1}); }, "\"units\" is a folder");
  refused([&] { edits.Rename("units/a.quv", "unit.txt"); }, "\"unit.txt\" already exists");
  refused([&] { edits.Delete("nothing"); }, "\"nothing\" is not in the archive");
  refused([&] { edits.MakeFolder("units"); }, "\"units\" already exists");
  refused([&] { edits.AddFromDisk(Dir.File("missing"), ""); }, "missing");
  // A folder with a file the archive cannot take: nothing of it is added.
  fs::create_directories(Dir.Path() / "src/in");
  WriteFileBytes(Dir.File("src/in/ok.bin"), {1});
  WriteFileBytes(Dir.File("src/bad\\name"), {1});
  refused([&] { edits.AddFromDisk(Dir.File("src"), "units"); }, "bad\\name");

  // The archive went away: the save fails, saying so, and the changes stay.
  fs::rename(Dir.File("a.hpi"), Dir.File("gone.hpi"));
  EXPECT_THROW(edits.Save(), std::exception);
  EXPECT_TRUE(edits.Modified());
  fs::rename(Dir.File("gone.hpi"), Dir.File("a.hpi"));
  edits.Save();
  EXPECT_FALSE(edits.Modified());
  EXPECT_EQ(edits.Find("units/a.quv")->Size, 1);
  EXPECT_EQ(edits.Find("units/a.quv")->Mark, TEntryMark::Unchanged);
}

}  // namespace
