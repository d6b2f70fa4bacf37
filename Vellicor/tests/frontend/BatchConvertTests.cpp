// A batch conversion run through the data-side routine the command line and the viewer share:
// its progress as it goes, an abort that leaves the items not started, and the palette the
// batch is given rather than the process's.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "FrontendTestUtilsU.h"
#include "QuvConvertU.h"
#include "QuvSamplesU.h"

namespace {

namespace fs = std::filesystem;

constexpr int Count = 12;

class BatchConvert : public testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < Count; ++i)
      Write("d/f" + std::to_string(100 + i) + ".quv",
            BuildQuvFile(SyntheticImages(1, 2, 8, 8, 1, i)));
    Settings.Format.Format = efPng;
    Settings.Palette = BuiltInPalette();
  }
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    Dir.Write(name, std::string(bytes.begin(), bytes.end()));
  }
  // The output folders that hold at least one file.
  int FilledFolders() {
    int filled = 0;
    std::error_code error;
    for (const auto& folder : fs::directory_iterator(Dir.File("out/d"), error))
      filled += fs::is_empty(folder.path()) ? 0 : 1;
    return filled;
  }

  TTempDir Dir;
  TConvertSettings Settings;
};

TEST_F(BatchConvert, ProgressCountsEachItemAndAnAbortLeavesTheItemsNotStarted) {
  // Without an abort: a call per item, done counting up to the total.
  std::vector<size_t> seen;
  TConvertControl control;
  control.Jobs = 2;
  control.OnProgress = [&](size_t done, size_t total, const std::string&) {
    EXPECT_EQ(total, size_t(Count));
    seen.push_back(done);
  };
  TConvertReport report =
      ConvertQuvFiles({Dir.File("d")}, false, Settings, Dir.File("out"), control);
  EXPECT_EQ(report.Converted, Count);
  EXPECT_EQ(report.FilesWritten, 2 * Count);
  EXPECT_EQ(report.NotDone, 0);
  ASSERT_EQ(seen.size(), size_t(Count));
  for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], i + 1);
  fs::remove_all(Dir.File("out"));

  // Aborted once the first item is done, on one thread: nothing more starts.
  std::atomic<bool> abort{false};
  std::vector<std::string> names;
  control.Jobs = 1;
  control.Abort = &abort;
  control.OnProgress = [&](size_t, size_t, const std::string& name) {
    names.push_back(name);
    abort = true;
  };
  report = ConvertQuvFiles({Dir.File("d")}, false, Settings, Dir.File("out"), control);
  EXPECT_EQ(report.Converted, 1);
  EXPECT_EQ(report.NotDone, Count - 1);
  EXPECT_TRUE(report.Failures.empty());
  EXPECT_EQ(names, std::vector<std::string>{(fs::path(Dir.File("d")) / "f100.quv").string()});
  EXPECT_EQ(FilledFolders(), 1);
  EXPECT_EQ(report.FilesWritten, 2);

  // On two threads at most the item running beside the first one still finishes.
  fs::remove_all(Dir.File("out"));
  abort = false;
  control.Jobs = 2;
  report = ConvertQuvFiles({Dir.File("d")}, false, Settings, Dir.File("out"), control);
  EXPECT_GE(report.NotDone, Count - 2);
  EXPECT_EQ(report.Converted + report.NotDone, Count);
  EXPECT_EQ(FilledFolders(), int(report.Converted));
}

TEST_F(BatchConvert, FramesAreDrawnWithTheBatchsPaletteAndADamagedFileIsNamed) {
  // One pixel of index 200: the batch's palette makes it pure green, the process's does not.
  Write("p/dot.quv", BuildQuvFile({{"dot", {SolidFrame(1, 1, 0, 0, 200)}}}));
  Dir.Write("p/bad.quv", "not quv");
  Palette = BuiltInPalette();
  Settings.Palette[200] = {0, 255, 0, 255};
  ASSERT_NE(Palette[200][1], 255);
  Settings.Format.Format = efBmp;
  Settings.BmpFormat = pf24bit;
  const TConvertReport report =
      ConvertQuvFiles({Dir.File("p")}, false, Settings, Dir.File("out"), {});
  EXPECT_EQ(report.Converted, 1);
  ASSERT_EQ(report.Failures.size(), 1u);
  EXPECT_EQ(report.Failures[0].Name, (fs::path(Dir.File("p")) / "bad.quv").string());
  EXPECT_FALSE(report.Failures[0].Reason.empty());
  // A 24-bit BMP of one pixel: blue, green, red at the pixel data's offset.
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(Dir.File("out/p/dot")))
    files.push_back(entry.path());
  ASSERT_EQ(files.size(), 1u);
  const std::vector<uint8_t> bmp = ReadFileBytes(files[0].string());
  ASSERT_GE(bmp.size(), 57u);
  const uint32_t at = Le32(bmp, 10);
  ASSERT_LE(at + 3, bmp.size());
  EXPECT_EQ(bmp[at], 0);
  EXPECT_EQ(bmp[at + 1], 255);
  EXPECT_EQ(bmp[at + 2], 0);
}

}  // namespace
