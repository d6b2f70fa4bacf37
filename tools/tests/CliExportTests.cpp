// vellicor-cli export and framedata, run as a user runs them. Skipped when the tool has not
// been built next to the tests.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "FrontendTestUtilsU.h"
#include "HpiBuilderU.h"
#include "PictureReaderU.h"
#include "QuvSamplesU.h"

namespace {

namespace fs = std::filesystem;

struct TRun {
  int ExitCode = -1;
  std::string Out;
  std::string Err;
};

class CliExport : public ::testing::Test {
 protected:
  void SetUp() override {
    Cli = CliPath();
    if (!fs::exists(Cli)) GTEST_SKIP() << "vellicor-cli not built";
    WriteSampleFiles(Dir.Path().string());
  }
  // Runs the tool in the scratch folder with output piped (never a terminal).
  TRun Run(const std::string& arguments) {
    const std::string command = "cd '" + Dir.Path().string() + "' && '" + Cli.string() + "' " +
                                arguments + " 2>stderr.txt </dev/null";
    TRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.Out.append(buffer, got);
    const int status = pclose(pipe);
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const std::vector<uint8_t> err = ReadFileBytes(Dir.File("stderr.txt"));
    run.Err.assign(err.begin(), err.end());
    fs::remove(Dir.File("stderr.txt"));
    return run;
  }

  fs::path Cli;
  TTempDir Dir;
};

}  // namespace

TEST_F(CliExport, ExportWritesTheChosenFramesQuietlyWhenPiped) {
  TRun run = Run("export sample.quv --out out");
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "28 files written to out\n");
  EXPECT_EQ(run.Err, "");
  EXPECT_TRUE(fs::exists(Dir.File("out/ball_7.bmp")));

  run =
      Run("export sample.quv --out sub --image tank --image LIGHT --frames 1-1 --subframes "
          "--bits 16");
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "2 files written to sub\n");
  const std::vector<uint8_t> bytes = ReadFileBytes(Dir.File("sub/tank_1_0.bmp"));
  ASSERT_GT(bytes.size(), 54u);
  EXPECT_EQ(Le16(bytes, 28), 16);

  run = Run("export sample.quv --out some --image light --frames 1 --no-autopad");
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(DecodeWithMagick(Dir.File("some/light_1.bmp")).Width, 8);
  run = Run("export sample.quv --out some --image light --frames 1");
  EXPECT_EQ(DecodeWithMagick(Dir.File("some/light_1.bmp")).Width, 8);
  run = Run("export sample.quv --out some --image light --frames 1 --selected-origin");
  EXPECT_EQ(DecodeWithMagick(Dir.File("some/light_1.bmp")).Width, 12);
}

TEST_F(CliExport, BadRequestsFailWithAMessageAndWriteNothing) {
  TRun run = Run("export sample.quv --out out --image ball --image wing");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Err, "Image \"wing\" does not exist in sample.quv\n");
  EXPECT_FALSE(fs::exists(Dir.File("out")));

  run = Run("export sample.quv --out out --frames 4-2");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("Invalid frame range \"4-2\""), std::string::npos) << run.Err;
  EXPECT_FALSE(fs::exists(Dir.File("out")));

  run = Run("export sample.quv --out out --bits 12");
  EXPECT_NE(run.ExitCode, 0);
  EXPECT_FALSE(fs::exists(Dir.File("out")));

  run = Run("export missing.quv --out out");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("missing.quv"), std::string::npos) << run.Err;

  WriteFileBytes(Dir.File("blocker"), {'x'});
  run = Run("export sample.quv --out blocker/out");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("blocker/out"), std::string::npos) << run.Err;
}

TEST_F(CliExport, PaletteComesFromTheOptionThenTheCurrentFolderThenTheBuiltInOne) {
  // Padding shows the transparent colour: entry 9 of the palette in use.
  const std::string request = "export sample.quv --out out --image light --frames 1 ";
  ASSERT_EQ(Run(request).ExitCode, 0);
  EXPECT_EQ(DecodeWithMagick(Dir.File("out/light_1.bmp")).At(0, 0), (TRGBColor{0x54, 0x54, 0xFC}));

  std::vector<uint8_t> palette(1024, 0);
  palette[9 * 4 + 0] = 1;
  palette[9 * 4 + 1] = 2;
  palette[9 * 4 + 2] = 3;
  WriteFileBytes(Dir.File("palette.pal"), palette);
  ASSERT_EQ(Run(request).ExitCode, 0);
  EXPECT_EQ(DecodeWithMagick(Dir.File("out/light_1.bmp")).At(0, 0), (TRGBColor{1, 2, 3}));

  palette[9 * 4 + 0] = 200;
  WriteFileBytes(Dir.File("other.pal"), palette);
  ASSERT_EQ(Run(request + "--palette other.pal").ExitCode, 0);
  EXPECT_EQ(DecodeWithMagick(Dir.File("out/light_1.bmp")).At(0, 0), (TRGBColor{200, 2, 3}));

  palette.pop_back();
  WriteFileBytes(Dir.File("short.pal"), palette);
  const TRun run = Run(request + "--palette short.pal");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Err.rfind("\"short.pal\": Not a palette: 1023 bytes.", 0), 0u) << run.Err;
  EXPECT_EQ(Run(request + "--palette none.pal").ExitCode, 1);
}

// Long: every palette form the viewer reads, each exported and checked pixel by pixel in turn.
TEST_F(CliExport, EveryPaletteFileTheViewerReadsAndTheTransparentIndexDecideThePixels) {
  // A repeat of index 16, an empty run, index 200.
  TSampleFrame dot{4, 1, 0, 0, 1, {16, 16, SampleTransparentIndex, 200}, {}};
  WriteFileBytes(Dir.File("dot.quv"), BuildQuvFile({{"dot", {dot}}}));
  // Entry i is (i, 255 - i, 77) in each of the viewer's forms.
  std::string jasc = "JASC-PAL\r\n0100\r\n256\r\n", gimp = "GIMP Palette\nName: ramp\n#\n";
  std::vector<uint8_t> raw3;
  for (int i = 0; i < 256; ++i) {
    const std::string line = std::to_string(i) + " " + std::to_string(255 - i) + " 77";
    jasc += line + "\r\n";
    gimp += line + "\tcolour\n";
    raw3.insert(raw3.end(), {uint8_t(i), uint8_t(255 - i), 77});
  }
  WriteFileBytes(Dir.File("ramp.pal"), {jasc.begin(), jasc.end()});
  WriteFileBytes(Dir.File("ramp.gpl"), {gimp.begin(), gimp.end()});
  WriteFileBytes(Dir.File("ramp.act"), raw3);
  const auto png = [&](const std::string& options) {
    fs::remove_all(Dir.File("out"));
    const TRun run = Run("export dot.quv --out out --format png --no-autopad " + options);
    EXPECT_EQ(run.ExitCode, 0) << options << ": " << run.Err;
    return ReadPicture(Dir.File("out/dot_0.png"));
  };
  for (const std::string file : {"ramp.pal", "ramp.gpl", "ramp.act"}) {
    // A palette file's own empty index is 0: the empty run is decoded as 0.
    const TSourcePicture picture = png("--palette " + file);
    EXPECT_EQ(picture.At(0, 0), (TPictureColour{16, 239, 77, 255})) << file;
    EXPECT_EQ(picture.At(2, 0).A, 0) << file;
    EXPECT_EQ(picture.At(3, 0), (TPictureColour{200, 55, 77, 255})) << file;
  }
  TSourcePicture picture = png("--palette ramp.gpl --transparent-index 200");
  EXPECT_EQ(picture.At(0, 0).A, 255);
  EXPECT_EQ(picture.At(2, 0).A, 0);
  EXPECT_EQ(picture.At(3, 0).A, 0);
  // The built-in palette's index is 9 unless given.
  picture = png("");
  EXPECT_EQ(picture.At(0, 0).A, 255);
  EXPECT_EQ(picture.At(2, 0).A, 0);
  picture = png("--transparent-index 16");
  EXPECT_EQ(picture.At(0, 0).A, 0);
  EXPECT_EQ(picture.At(2, 0).A, 0);
  EXPECT_EQ(picture.At(3, 0).A, 255);

  // The other commands that draw or map colours take it too.
  TRun run = Run("thumbnail dot.quv thumb.png --size 4 --transparent-index 16");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(ReadPicture(Dir.File("thumb.png")).At(0, 0).A, 0);
  run = Run("framedata dot.quv --image dot --out dot.txt --palette ramp.act --transparent-index 3");
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  // Packed with index 5 for its clear pixel, as raw rows: the pixel holds index 5.
  png("--palette ramp.act");
  run = Run("pack five.quv dot=out/dot_0.png --palette ramp.act --transparent-index 5 --raw");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  fs::rename(Dir.File("five.quv"), Dir.File("dot.quv"));
  EXPECT_EQ(png("--palette ramp.act --transparent-index 5").At(2, 0).A, 0);
  EXPECT_EQ(png("--palette ramp.act").At(2, 0), (TPictureColour{5, 250, 77, 255}));

  // Refusals name what is wrong.
  run = Run("export dot.quv --out out --transparent-index 256");
  EXPECT_NE(run.ExitCode, 0);
  EXPECT_NE(run.Err.find("--transparent-index"), std::string::npos) << run.Err;
  jasc.resize(jasc.rfind("255 0 77"));
  WriteFileBytes(Dir.File("short.gpl"), {jasc.begin(), jasc.end()});
  run = Run("export dot.quv --out out --palette short.gpl");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("\"short.gpl\": The palette has 255 colours"), std::string::npos)
      << run.Err;
}

TEST_F(CliExport, FrameDataWritesTheTextAndOptionallyTheSubFrames) {
  TRun run =
      Run("framedata tank.quv --image tank --out tank.txt --type 2 --frames 0-1 "
          "--no-autopad --write-subframes parts");
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  const std::vector<uint8_t> text = ReadFileBytes(Dir.File("tank.txt"));
  EXPECT_EQ(std::string(text.begin(), text.end()),
            "Extended=2\r\nXOffset,YOffset,Width,Height,ImageName\r\n"
            "20,16,40,32,tank_0.bmp,18,11,36,22,tank_0_0.bmp,15,15,30,30,tank_0_1.bmp\r\n"
            "20,16,40,32,tank_1.bmp,18,11,36,22,tank_1_0.bmp,15,15,30,30,tank_1_1.bmp\r\n");
  std::vector<std::string> parts;
  for (const auto& entry : fs::directory_iterator(Dir.File("parts")))
    parts.push_back(entry.path().filename());
  std::sort(parts.begin(), parts.end());
  EXPECT_EQ(parts, (std::vector<std::string>{"tank_0_0.bmp", "tank_0_1.bmp", "tank_1_0.bmp",
                                             "tank_1_1.bmp"}));

  run = Run("framedata tank.quv --image tank --out t0.txt --frames 7-100");
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  const std::vector<uint8_t> last = ReadFileBytes(Dir.File("t0.txt"));
  EXPECT_EQ(std::string(last.begin(), last.end()),
            "Extended=0\r\nXOffset,YOffset\r\n0,0,2,5,5,1\r\n");
}

TEST_F(CliExport, QuvInsideAnArchiveExportsLikeTheFileOnDisk) {
  THpiBuilder builder;
  builder.AddFile("sprites/sample.quv", ReadFileBytes(Dir.File("sample.quv")));
  builder.WriteFile(Dir.File("pack.hpi"));
  TRun run = Run("export pack.hpi/sprites/sample.quv --out packed --bits 8");
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "28 files written to packed\n");
  ASSERT_EQ(Run("export sample.quv --out plain --bits 8").ExitCode, 0);
  for (const auto& entry : fs::directory_iterator(Dir.File("plain")))
    EXPECT_EQ(ReadFileBytes(Dir.File("packed/" + entry.path().filename().string())),
              ReadFileBytes(entry.path().string()))
        << entry.path();
}

namespace {

// 40 files in four folders, in every storage form, each with bytes of its own.
std::vector<uint8_t> ArchivedBytes(int i) {
  std::vector<uint8_t> bytes(size_t(1000 + 3000 * (i % 5)) + (i == 7 ? 70000 : 0));
  for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = uint8_t((k / (1 + i % 7)) * 31 + i);
  return bytes;
}

std::string ArchivedPath(int i) {
  return "d" + std::to_string(i % 4) + "/f" + std::to_string(i) + ".bin";
}

void BuildManyFileArchive(const std::string& file, uint32_t key, THpiLayout* layout) {
  const std::vector<THpiFileOptions> forms = {
      {0, {}, false},
      {1, {THpiChunkKind::LZ77}, true},
      {2, {THpiChunkKind::ZLib}, false},
      {1, {THpiChunkKind::Stored, THpiChunkKind::LZ77}, false}};
  THpiBuilder builder;
  builder.HeaderKey = key;
  for (int i = 0; i < 40; ++i) builder.AddFile(ArchivedPath(i), ArchivedBytes(i), forms[i % 4]);
  builder.WriteFile(file, layout);
}

}  // namespace

TEST_F(CliExport, ExtractionOnSeveralThreadsWritesWhatOneThreadWrites) {
  BuildManyFileArchive(Dir.File("many.hpi"), 0x2f6b3c1d, nullptr);
  const TRun one = Run("hpi extract many.hpi --out one --jobs 1");
  const TRun four = Run("hpi extract many.hpi --out four --jobs 4");
  EXPECT_EQ(one.ExitCode, 0) << one.Err;
  EXPECT_EQ(four.ExitCode, 0) << four.Err;
  EXPECT_EQ(one.Out, "40 files written to one\n");
  EXPECT_EQ(four.Out, "40 files written to four\n");
  EXPECT_EQ(four.Err, "");
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(ReadFileBytes(Dir.File("one/" + ArchivedPath(i))), ArchivedBytes(i)) << i;
    EXPECT_EQ(ReadFileBytes(Dir.File("four/" + ArchivedPath(i))), ArchivedBytes(i)) << i;
  }
  EXPECT_NE(Run("hpi extract many.hpi --out none --jobs 0").ExitCode, 0);
}

TEST_F(CliExport, BrokenArchivedFileIsNamedAfterTheOthersAreWritten) {
  THpiLayout layout;
  BuildManyFileArchive(Dir.File("broken.hpi"), 0, &layout);
  // f6 is a zlib file of one chunk: its chunk follows a 4-byte table; give it an unknown method.
  std::vector<uint8_t> bytes = ReadFileBytes(Dir.File("broken.hpi"));
  bytes[layout.DataStarts.at(ArchivedPath(6)) + 4 + 5] = 9;
  {
    std::ofstream out(Dir.File("broken.hpi"), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  for (const char* jobs : {"1", "3"}) {
    const std::string out = std::string("out") + jobs;
    const TRun run = Run("hpi extract broken.hpi --out " + out + " --jobs " + jobs);
    EXPECT_EQ(run.ExitCode, 1) << jobs;
    EXPECT_EQ(run.Out, "39 files written to " + out + "\n");
    EXPECT_EQ(run.Err, "Cannot extract \"" + ArchivedPath(6) +
                           "\": Unknown Chunk compression in Zeta HPI file\n");
    EXPECT_FALSE(fs::exists(Dir.File(out + "/" + ArchivedPath(6))));
    for (int i : {0, 5, 7, 39})
      EXPECT_EQ(ReadFileBytes(Dir.File(out + "/" + ArchivedPath(i))), ArchivedBytes(i)) << i;
  }
}
