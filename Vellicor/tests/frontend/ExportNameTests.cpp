// Images whose names give the same file name ("sub/x" and "sub_x", or names that differ only in
// letter case once made file names) keep files of their own in every export: run as a user runs
// vellicor-cli and read back with Pillow, and through the dry run the viewer asks with.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "FrameExportU.h"
#include "FrontendTestUtilsU.h"
#include "ImageExportU.h"
#include "ImageLoaderU.h"
#include "MemoryImagesU.h"
#include "QuvSamplesU.h"
#include "StringUtilsU.h"

namespace {

namespace fs = std::filesystem;

// Frame 0 of one colour, frame 1 composed of two sub-frames of that colour.
TSampleImage OneColourImage(const std::string& name, uint8_t colour) {
  TSampleFrame composed = SolidFrame(3, 2, 0, 0, colour);
  composed.SubFrames = {SolidFrame(3, 2, 0, 0, colour), SolidFrame(2, 1, 0, 0, colour)};
  return {name, {SolidFrame(3, 2, 0, 0, colour), composed}};
}

// In file order; all three give the file name "sub_x", two of them only with letter case
// ignored.
struct TNamed {
  const char* Name;
  const char* Stem;  // what its files are called
  uint8_t Colour;
};
constexpr TNamed Colliding[] = {
    {"sub/x", "sub_x", 100}, {"sub_x", "sub_x~2", 101}, {"Sub\\X", "Sub_X~3", 102}};

std::vector<TSampleImage> CollidingImages() {
  std::vector<TSampleImage> images;
  for (const TNamed& named : Colliding) images.push_back(OneColourImage(named.Name, named.Colour));
  return images;
}

std::vector<std::string> Listed(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class CollidingNames : public ::testing::Test {
 protected:
  void SetUp() override {
    Cli = CliPath();
    if (!fs::exists(Cli)) GTEST_SKIP() << "vellicor-cli not built";
    if (PillowPython().empty()) GTEST_SKIP() << "Pillow (python3-pil) not installed";
    WriteFileBytes(Dir.File("names.quv"), BuildQuvFile(CollidingImages()));
  }
  // Runs the tool in the scratch folder; its standard output.
  std::string Run(const std::string& arguments) {
    int code = -1;
    const std::string out = RunShell("cd '" + Dir.Path().string() + "' && '" + Cli.string() + "' " +
                                         arguments + " 2>stderr.txt </dev/null",
                                     &code);
    const std::vector<uint8_t> err = ReadFileBytes(Dir.File("stderr.txt"));
    EXPECT_EQ(code, 0) << arguments << ": " << std::string(err.begin(), err.end());
    return out;
  }
  // Every picture of the file shows the colour and nothing else.
  void ExpectColour(const std::string& file, uint8_t colour) {
    SCOPED_TRACE(file);
    const TPillowImage decoded = DecodeWithPillow(Dir.File(file));
    ASSERT_FALSE(decoded.Rgba.empty());
    const std::vector<uint8_t> expected = ToRgba({colour});
    for (const std::vector<uint8_t>& picture : decoded.Rgba) {
      ASSERT_EQ(picture.size(), size_t(decoded.Width) * decoded.Height * 4);
      for (size_t i = 0; i < picture.size(); i += 4)
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), picture.begin() + i)) << i / 4;
    }
  }

  fs::path Cli;
  TTempDir Dir;
};

}  // namespace

TEST_F(CollidingNames, EveryFormatWritesAFileForEachImageAndReportsTheFilesOnDisk) {
  struct TCase {
    const char* Options;
    std::vector<std::string> Suffixes;  // of one image's files
  };
  const TCase cases[] = {
      {"--format bmp", {"_0.bmp", "_1.bmp"}},
      {"--format bmp --subframes", {"_1_0.bmp", "_1_1.bmp"}},
      {"--format png", {"_0.png", "_1.png"}},
      {"--format png --subframes", {"_1_0.png", "_1_1.png"}},
      {"--format png8", {"_0.png", "_1.png"}},
      {"--format png8 --subframes", {"_1_0.png", "_1_1.png"}},
      {"--format gif", {".gif"}},
      {"--format apng", {".apng"}},
      {"--format sheet", {"_sheet.png", "_sheet.json"}},
  };
  int run = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Options);
    const std::string out = "out" + std::to_string(run++);
    const std::string said = Run("export names.quv --out " + out + " " + c.Options);
    std::vector<std::string> expected;
    for (const TNamed& named : Colliding)
      for (const std::string& suffix : c.Suffixes) expected.push_back(named.Stem + suffix);
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(Listed(Dir.Path() / out), expected);
    EXPECT_EQ(said, std::to_string(expected.size()) + " files written to " + out + "\n");
    for (const TNamed& named : Colliding)
      for (const std::string& suffix : c.Suffixes) {
        const std::string file = out + "/" + named.Stem + suffix;
        if (suffix != "_sheet.json") {
          ExpectColour(file, named.Colour);
          continue;
        }
        const std::vector<uint8_t> bytes = ReadFileBytes(Dir.File(file));
        const nlohmann::json atlas = nlohmann::json::parse(std::string(bytes.begin(), bytes.end()));
        EXPECT_EQ(atlas["meta"]["image"], std::string(named.Stem) + "_sheet.png");
        EXPECT_EQ(atlas["frames"][1]["filename"], std::string(named.Stem) + "_1");
      }
  }
}

TEST_F(CollidingNames, FrameDataOfEachImageNamesItsOwnBitmapsAlsoInRunsOfTheirOwn) {
  // One image at a time into one folder, as a user would do it for two images.
  for (const TNamed& named : Colliding) {
    SCOPED_TRACE(named.Name);
    const std::string text = std::string(named.Stem) + ".txt";
    Run("framedata names.quv --image '" + std::string(named.Name) + "' --out '" + text +
        "' --type 2 --write-subframes parts");
    const std::string stem = named.Stem;
    EXPECT_EQ(Dir.Read(text), "Extended=2\r\nXOffset,YOffset,Width,Height,ImageName\r\n0,0,3,2," +
                                  stem + "_0.bmp\r\n0,0,3,2," + stem + "_1.bmp,0,0,3,2," + stem +
                                  "_1_0.bmp,0,0,2,1," + stem + "_1_1.bmp\r\n");
  }
  std::vector<std::string> expected;
  for (const TNamed& named : Colliding)
    for (const char* suffix : {"_1_0.bmp", "_1_1.bmp"}) {
      expected.push_back(named.Stem + std::string(suffix));
      ExpectColour("parts/" + expected.back(), named.Colour);
    }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Listed(Dir.Path() / "parts"), expected);
}

namespace {

// The dry run must name exactly what the routine then writes, each output once, and write
// nothing itself; the names written.
std::vector<std::string> PlannedAndWritten(const std::function<void(TExportPlan&)>& routine,
                                           const TTempDir& dir) {
  const std::vector<std::string> planned = PlannedExportFiles(routine);
  EXPECT_TRUE(dir.List().empty());
  TExportPlan plan;
  routine(plan);
  EXPECT_EQ(plan.Files(), planned);
  std::vector<std::string> names;
  for (const std::string& name : planned) names.push_back(fs::path(name).filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(dir.List(), names);
  for (const std::string& name : planned) fs::remove(name);
  return names;
}

}  // namespace

// The viewer's exports of all images, in every format and for the frame data.
TEST(CollidingNamesPlan, ThePlanNamesEveryFileThatIsThenWritten) {
  Palette = BuiltInPalette();
  TransparentIndex = 9;
  TMemoryFile file;
  TFrameDesc composed{3, 2};
  composed.SubFrames = {TFrameDesc{3, 2}, TFrameDesc{2, 1}};
  // "sub_x~2" is an image's own name: the second "sub_x" cannot take it.
  for (const char* name : {"sub/x", "sub_x~2", "SUB_X", "sub\\x"})
    file.AddImage(name, {TFrameDesc{3, 2}, composed});
  TFrontEndImages frontEnd(file.Images.get());
  TTempDir dir;
  const std::string folder = dir.Path().string();
  for (TExportFormat format : {efBmp, efPng, efPng8, efGif, efApng, efSheet}) {
    for (const bool subFrames : {false, true}) {
      SCOPED_TRACE(std::string(ExportFormatName(format)) + (subFrames ? " sub-frames" : ""));
      // Last to first, as the viewer's all-images export goes.
      const std::vector<std::string> names = PlannedAndWritten(
          [&](TExportPlan& plan) {
            for (int32_t i = frontEnd.ImageCount - 1; i >= 0; --i)
              ExportImageFiles(plan, *frontEnd.GetImage(i), format, 0, INT32_MAX, subFrames,
                               folder);
          },
          dir);
      EXPECT_EQ(names.size(), format == efGif || format == efApng ? 4u : 8u);
    }
  }
  frontEnd.FrameDataExportType = 2;
  frontEnd.ExportFrameWhenExportFrameData = true;
  const std::vector<std::string> data = PlannedAndWritten(
      [&](TExportPlan& plan) {
        for (int32_t i = 0; i < frontEnd.ImageCount; ++i) {
          TFrontEndImage& image = *frontEnd.GetImage(i);
          image.WriteFramesData(plan, 0, INT32_MAX, image.DefaultNameSource(), folder,
                                JoinPath(folder, image.DataFileName(), PathDelim));
        }
      },
      dir);
  EXPECT_EQ(data, (std::vector<std::string>{"SUB_X~3.txt", "SUB_X~3_1_0.bmp", "SUB_X~3_1_1.bmp",
                                            "sub_x.txt", "sub_x_1_0.bmp", "sub_x_1_1.bmp",
                                            "sub_x~2.txt", "sub_x~2_1_0.bmp", "sub_x~2_1_1.bmp",
                                            "sub_x~4.txt", "sub_x~4_1_0.bmp", "sub_x~4_1_1.bmp"}));

  // An export of some images names them as one of all images does.
  TExportPlan plan;
  ExportImageFiles(plan, *frontEnd.GetImage("SUB_X"), efBmp, 0, 0, false, folder);
  ExportImageFiles(plan, *frontEnd.GetImage("sub_x~2"), efBmp, 0, 0, false, folder);
  EXPECT_EQ(dir.List(), (std::vector<std::string>{"SUB_X~3_0.bmp", "sub_x~2_0.bmp"}));
}

// The data files of the viewer's several-image data exports lose the name's extension, so
// names that differ in it alone would share one.
TEST(CollidingNamesPlan, DataFilesOfNamesThatDifferInTheirExtensionAloneStayApart) {
  TMemoryFile file;
  for (const char* name : {"arm.fire", "arm.ice", "arm", "arm.fire.txt"})
    file.AddImage(name, {TFrameDesc{}});
  TFrontEndImages frontEnd(file.Images.get());
  std::vector<std::string> stems, data;
  for (const char* name : {"arm.fire", "arm.ice", "arm", "arm.fire.txt"}) {
    stems.push_back(frontEnd.GetImage(name)->ExportName());
    data.push_back(frontEnd.GetImage(name)->DataFileName());
  }
  EXPECT_EQ(stems, (std::vector<std::string>{"arm.fire", "arm.ice", "arm", "arm.fire.txt"}));
  EXPECT_EQ(data, (std::vector<std::string>{"arm.txt", "arm~2.txt", "arm~3.txt", "arm.fire.txt"}));
}
