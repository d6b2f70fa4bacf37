// vellicor-cli edit, run as a user runs it: what list and a fresh reader show afterwards, and
// that a refused edit leaves the file byte for byte as it was. Skipped when the tool has not
// been built.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../../DataLoaders/tests/hpi/HpiOutsideReader.h"
#include "FrontendTestUtilsU.h"
#include "HpiBuilderU.h"
#include "ImageLoaderU.h"
#include "PackTestSupportU.h"
#include "QuvDocumentU.h"
#include "QuvEditU.h"
#include "QuvSamplesU.h"
#include "TempDirU.h"

namespace {

namespace fs = std::filesystem;

class CliEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    if (PackCliPath().empty()) GTEST_SKIP() << "vellicor-cli not built";
    WriteSampleFiles(Dir.Path().string());
    Original = ReadFileBytes(Dir.File("sample.quv"));
  }
  TCliRun Run(const std::string& arguments) { return RunPackCli(Dir.Path(), arguments); }
  // The offsets and sizes list --json shows: image name -> frames.
  std::map<std::string, nlohmann::json> Frames(const std::string& file) {
    const TCliRun run = Run("list --json " + file);
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    std::map<std::string, nlohmann::json> frames;
    const nlohmann::json doc = nlohmann::json::parse(run.Out, nullptr, false);
    if (doc.is_discarded()) return frames;
    for (const auto& image : doc["images"]) frames[image["name"]] = image["frames"];
    return frames;
  }
  // The file as a fresh reader gives it (built-in palette, as the tool uses here).
  TQuvContent Content(const std::string& file) {
    TQuvDocumentOptions options;
    options.Palette = BuiltInPalette();
    options.TransparentIndex = 9;
    TQuvDocumentResult opened = OpenQuvDocument(Dir.File(file), options);
    EXPECT_TRUE(opened.Document) << opened.Error;
    if (!opened.Document) return {};
    return ReadQuvContent(*opened.Document->Images, 9);
  }
  // The run failed with exit 1 and a message holding what, and left sample.quv as it was.
  ::testing::AssertionResult Refused(const std::string& arguments, const std::string& what) {
    const TCliRun run = Run(arguments);
    if (run.ExitCode != 1) return ::testing::AssertionFailure() << "exit " << run.ExitCode;
    if (run.Err.find(what) == std::string::npos) return ::testing::AssertionFailure() << run.Err;
    if (ReadFileBytes(Dir.File("sample.quv")) != Original)
      return ::testing::AssertionFailure() << "sample.quv changed";
    return ::testing::AssertionSuccess();
  }
  TTempDir Dir;
  std::vector<uint8_t> Original;
};

const char* const Quoted = "\xE2\x80\x98";

TEST_F(CliEdit, SetOffsetOfAFrameRangeShowsInListAndLeavesThePixels) {
  const auto before = Frames("sample.quv");
  const TCliRun run = Run("edit sample.quv --image ball --frames 1-2 --set-offset -3,4");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "Set Offsets (ball) written to sample.quv\n");
  auto after = Frames("sample.quv");
  for (int i : {1, 2}) {
    EXPECT_EQ(after["ball"][i]["xoffset"], -3) << i;
    EXPECT_EQ(after["ball"][i]["yoffset"], 4) << i;
    after["ball"][i]["xoffset"] = before.at("ball")[i]["xoffset"];
    after["ball"][i]["yoffset"] = before.at("ball")[i]["yoffset"];
  }
  EXPECT_EQ(after, before);  // nothing else moved
  const TQuvContent now = Content("sample.quv");
  WriteFileBytes(Dir.File("original.quv"), Original);
  const TQuvContent original = Content("original.quv");
  ASSERT_EQ(now.Images.size(), original.Images.size());
  for (size_t i = 0; i < now.Images.size(); ++i)
    for (size_t f = 0; f < now.Images[i].Frames.size(); ++f)
      EXPECT_EQ(now.Images[i].Frames[f].Pixels, original.Images[i].Frames[f].Pixels) << i << f;
}

TEST_F(CliEdit, EveryImageGivenIsEditedAndOutLeavesTheInputAlone) {
  const auto before = Frames("sample.quv");
  const TCliRun run =
      Run("edit sample.quv --image tank --image LIGHT --shift-offset 2,-1 --out moved.quv");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(ReadFileBytes(Dir.File("sample.quv")), Original);
  auto after = Frames("moved.quv");
  for (const char* name : {"tank", "light"}) {
    ASSERT_EQ(after[name].size(), before.at(name).size()) << name;
    for (size_t i = 0; i < after[name].size(); ++i) {
      EXPECT_EQ(after[name][i]["xoffset"], before.at(name)[i]["xoffset"].get<int>() + 2);
      EXPECT_EQ(after[name][i]["yoffset"], before.at(name)[i]["yoffset"].get<int>() - 1);
      after[name][i]["xoffset"] = before.at(name)[i]["xoffset"];
      after[name][i]["yoffset"] = before.at(name)[i]["yoffset"];
      // The tank's sub-frames moved along with it.
      for (auto& sub : after[name][i]["subframes"]) {
        sub["xoffset"] = sub["xoffset"].get<int>() - 2;
        sub["yoffset"] = sub["yoffset"].get<int>() + 1;
      }
    }
  }
  EXPECT_EQ(after, before);
}

TEST_F(CliEdit, CropThenBottomCentrePutsTheHotSpotUnderTheMiddle) {
  ASSERT_EQ(Run("edit sample.quv --image walker --image ball --crop").ExitCode, 0);
  const TCliRun run = Run("edit sample.quv --image ball --offset-preset bottom-centre");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const auto before = Frames("sample_raw.quv");  // the same sprites, untouched
  const auto after = Frames("sample.quv");
  ASSERT_EQ(after.at("ball").size(), 8u);
  for (const auto& frame : after.at("ball")) {
    EXPECT_EQ(frame["xoffset"], frame["width"].get<int>() / 2);
    EXPECT_EQ(frame["yoffset"], frame["height"].get<int>() - 1);
  }
  EXPECT_LT(after.at("walker")[0]["width"].get<int>(), before.at("walker")[0]["width"].get<int>());
  EXPECT_EQ(after.at("windmill"), before.at("windmill"));
}

TEST_F(CliEdit, FrameReplacedByItsOwnExportGivesTheSameFile) {
  // A palette of 256 different colours: the built-in one has black more than once, and a
  // picture's black can only come back as the first of them.
  std::vector<uint8_t> palette;
  for (int i = 0; i < 256; ++i) palette.insert(palette.end(), {uint8_t(i), uint8_t(255 - i), 0, 0});
  WriteFileBytes(Dir.File("distinct.pal"), palette);
  const std::string colours = " --palette distinct.pal --transparent-index 9";
  for (const std::string format : {"png", "png8"}) {
    SCOPED_TRACE(format);
    const std::string out = "export_" + format;
    const TCliRun exported =
        Run("export sample.quv --image ball --frames 3 --no-autopad --format " + format +
            " --out " + out + colours);
    ASSERT_EQ(exported.ExitCode, 0) << exported.Err;
    ASSERT_TRUE(fs::exists(Dir.Path() / out / "ball_3.png"));
    const TCliRun run = Run("edit sample.quv --image ball --frames 3-3 --replace " + out +
                            "/ball_3.png --out replaced.quv" + colours);
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(ReadFileBytes(Dir.File("replaced.quv")), Original);
  }
  // A frame of another picture: its pixels, the hot spot kept.
  ASSERT_EQ(
      Run("export sample.quv --image light --frames 0 --no-autopad --format png --out l" + colours)
          .ExitCode,
      0);
  const auto before = Frames("sample.quv");
  ASSERT_EQ(
      Run("edit sample.quv --image ball --frames 5 --replace l/light_0.png" + colours).ExitCode, 0);
  const TQuvContent now = Content("sample.quv");
  const TQuvFrameModel& frame = now.Images[0].Frames[5];
  EXPECT_EQ(frame.Pixels, now.Images[3].Frames[0].Pixels);
  EXPECT_EQ(frame.XOffset, before.at("ball")[5]["xoffset"].get<int>());
  EXPECT_EQ(frame.YOffset, before.at("ball")[5]["yoffset"].get<int>());
}

TEST_F(CliEdit, RefusedEditsExitWithOneAndLeaveTheFileAsItWas) {
  EXPECT_TRUE(Refused("edit sample.quv --image ball --image walker --frames 2 --set-offset 0,40000",
                      "Frame 2 of " + std::string(Quoted) + "ball"));
  EXPECT_TRUE(Refused("edit sample.quv --image walker --delete-frames",
                      std::string(Quoted) + "walker\xE2\x80\x99 cannot be left without frames"));
  EXPECT_TRUE(Refused("edit sample.quv --image light --frames 1-5 --delete-frames",
                      std::string(Quoted) + "light\xE2\x80\x99 has no frame 2"));
  EXPECT_TRUE(Refused("edit sample.quv --image ball --rename Tank", "There is already an image"));
  EXPECT_TRUE(Refused("edit sample.quv --image ball --replace sample.quv", "--frames N"));
  EXPECT_TRUE(
      Refused("edit sample.quv --image ball --frames 0 --replace missing.png", "missing.png"));
  EXPECT_TRUE(Refused("edit sample.quv --image wing --crop", "wing"));
  // Found under another letter case: changed in place, it would become a second file.
  EXPECT_TRUE(Refused("edit SAMPLE.QUV --image ball --crop", "give its exact name"));
  EXPECT_FALSE(fs::exists(Dir.Path() / "SAMPLE.QUV"));
  // Wrong arguments: another exit status, and nothing written either.
  for (const std::string arguments :
       {"edit sample.quv --image ball", "edit sample.quv --image ball --crop --rename b",
        "edit sample.quv --image ball --offset-preset middle"}) {
    const TCliRun run = Run(arguments);
    EXPECT_NE(run.ExitCode, 0) << arguments;
    EXPECT_NE(run.ExitCode, 1) << arguments;
    EXPECT_EQ(ReadFileBytes(Dir.File("sample.quv")), Original) << arguments;
  }
}

}  // namespace

namespace {

// An edit through an archive path rewrites the archive: the edited entry keeps its storage, and
// every other entry keeps its stored bytes and so extracts as before.
TEST_F(CliEdit, AnEditInsideAnArchiveKeepsEveryOtherEntryByteForByte) {
  THpiBuilder builder;
  builder.HeaderKey = 0x2f6b3c1d;
  builder.AddFile("anims/sample.quv", Original,
                  {1, {THpiChunkKind::ZLib}, /*EncryptPayload=*/true});
  builder.AddFile("anims/tank.quv", ReadFileBytes(Dir.File("tank.quv")),
                  {1, {THpiChunkKind::LZ77}});
  builder.AddFile("readme.txt", std::vector<uint8_t>(70000, 'x'), {0});
  builder.WriteFile(Dir.File("units.hpi"));
  const hpitest::TOutsideArchive before =
      hpitest::ReadOutside(ReadFileBytes(Dir.File("units.hpi")));

  const TCliRun run = Run("edit units.hpi/anims/sample.quv --image ball --shift-offset 2,0");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const hpitest::TOutsideArchive after = hpitest::ReadOutside(ReadFileBytes(Dir.File("units.hpi")));
  EXPECT_EQ(after.HeaderKey, before.HeaderKey);
  ASSERT_EQ(after.Files.size(), before.Files.size());
  for (const auto& [path, file] : before.Files) {
    if (path == "anims/sample.quv") continue;
    EXPECT_EQ(after.Files.at(path).Block, file.Block) << path;
    EXPECT_EQ(after.Files.at(path).Content, file.Content) << path;
  }
  const hpitest::TOutsideFile& edited = after.Files.at("anims/sample.quv");
  EXPECT_EQ(edited.FirstChunk, "zlib");
  EXPECT_TRUE(edited.Encrypted);
  WriteFileBytes(Dir.File("edited.quv"), edited.Content);
  const auto frames = Frames("edited.quv");
  const auto was = Frames("sample.quv");
  for (size_t i = 0; i < was.at("ball").size(); ++i)
    EXPECT_EQ(frames.at("ball")[i]["xoffset"], was.at("ball")[i]["xoffset"].get<int>() + 2) << i;
}

}  // namespace
