// The PNG, indexed PNG, GIF, APNG and sprite-sheet exports and the batch conversion, run as a
// user runs vellicor-cli and read back with independent decoders (Pillow, ImageMagick).
// Skipped when the tool or a decoder is missing.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>

#include "FrameExportU.h"
#include "FrontendTestUtilsU.h"
#include "HpiBuilderU.h"
#include "ImageLoaderU.h"
#include "QuvSamplesU.h"

namespace {

namespace fs = std::filesystem;

// A sample frame (no sub-frames) placed at (x, y) on a width x height picture, as indices,
// scaled by n.
std::vector<uint8_t> Placed(const TSampleFrame& frame, int32_t width, int32_t height, int32_t x,
                            int32_t y, int32_t n = 1) {
  std::vector<uint8_t> out(size_t(width) * height * n * n, SampleTransparentIndex);
  for (int32_t fy = 0; fy < frame.Height; ++fy)
    for (int32_t fx = 0; fx < frame.Width; ++fx)
      for (int32_t k = 0; k < n * n; ++k) {
        const int32_t px = (x + fx) * n + k % n, py = (y + fy) * n + k / n;
        out[size_t(py) * width * n + px] = frame.Pixels[size_t(fy) * frame.Width + fx];
      }
  return out;
}

struct TCanvas {
  int32_t HotX = 0, HotY = 0, Width = 0, Height = 0;
};
TCanvas CanvasOf(const TSampleImage& image) {
  TCanvas canvas;
  for (const TSampleFrame& f : image.Frames) {
    canvas.HotX = std::max(canvas.HotX, f.XOffset);
    canvas.HotY = std::max(canvas.HotY, f.YOffset);
  }
  for (const TSampleFrame& f : image.Frames) {
    canvas.Width = std::max(canvas.Width, canvas.HotX - f.XOffset + f.Width);
    canvas.Height = std::max(canvas.Height, canvas.HotY - f.YOffset + f.Height);
  }
  return canvas;
}

class ImageFormats : public ::testing::Test {
 protected:
  void SetUp() override {
    std::error_code error;
    Cli = fs::read_symlink("/proc/self/exe", error).parent_path().parent_path() / "tools" /
          "vellicor-cli";
    if (!fs::exists(Cli)) GTEST_SKIP() << "vellicor-cli not built";
    if (PillowPython().empty()) GTEST_SKIP() << "Pillow (python3-pil) not installed";
    WriteSampleFiles(Dir.Path().string());
  }
  int Run(const std::string& arguments, std::string* err = nullptr) {
    int code = -1;
    Out = RunShell("cd '" + Dir.Path().string() + "' && '" + Cli.string() + "' " + arguments +
                       " 2>stderr.txt </dev/null",
                   &code);
    const std::vector<uint8_t> bytes = ReadFileBytes(Dir.File("stderr.txt"));
    if (err) err->assign(bytes.begin(), bytes.end());
    return code;
  }

  fs::path Cli;
  TTempDir Dir;
  std::string Out;
};

}  // namespace

TEST_F(ImageFormats, PngFramesAreExactRgbaPaddedOnTheHotSpotAndScaled) {
  std::string err;
  ASSERT_EQ(Run("export sample.quv --out png --image light --format png", &err), 0) << err;
  const TSampleImage& light = Sprite("light");
  const TCanvas canvas = CanvasOf(light);
  for (size_t i = 0; i < light.Frames.size(); ++i) {
    const TSampleFrame& f = light.Frames[i];
    const std::string name = "png/light_" + PadNumber(int32_t(i), int32_t(light.Frames.size()));
    const TPillowImage png = DecodeWithPillow(Dir.File(name + ".png"));
    EXPECT_EQ(png.Format, "PNG");
    EXPECT_EQ(png.Mode, "RGBA");
    // Only left and top are padded, as for BMP.
    const int32_t w = f.Width + canvas.HotX - f.XOffset, h = f.Height + canvas.HotY - f.YOffset;
    ASSERT_EQ(png.Width, w);
    ASSERT_EQ(png.Height, h);
    ASSERT_EQ(png.Rgba.size(), 1u);
    EXPECT_EQ(ClearTransparent(png.Rgba[0]),
              ToRgba(Placed(f, w, h, canvas.HotX - f.XOffset, canvas.HotY - f.YOffset)))
        << name;
    // A second decoder agrees on the colours.
    const TDecodedImage magick = DecodeWithMagick(Dir.File(name + ".png"));
    EXPECT_EQ(magick.Width, w);
  }

  ASSERT_EQ(Run("export sample.quv --out big --image light --frames 0 --format png --scale 3 "
                "--no-autopad",
                &err),
            0)
      << err;
  const TSampleFrame& f = light.Frames[0];
  const TPillowImage big = DecodeWithPillow(Dir.File("big/light_0.png"));
  EXPECT_EQ(big.Width, f.Width * 3);
  EXPECT_EQ(big.Height, f.Height * 3);
  ASSERT_EQ(big.Rgba.size(), 1u);
  EXPECT_EQ(ClearTransparent(big.Rgba[0]), ToRgba(Placed(f, f.Width, f.Height, 0, 0, 3)));
}

TEST_F(ImageFormats, IndexedPngKeepsEveryIndexThePaletteAndOnlyTheTransparentIndexInTrns) {
  std::string err;
  ASSERT_EQ(Run("export sample.quv --out p8 --image ball --format png8 --no-autopad", &err), 0)
      << err;
  const TSampleImage& ball = Sprite("ball");
  const TPillowImage png = DecodeWithPillow(Dir.File("p8/ball_0.png"));
  EXPECT_EQ(png.Mode, "P");
  const TSampleFrame& f = ball.Frames[0];
  EXPECT_EQ(png.Indices, f.Pixels);
  ASSERT_EQ(png.Palette.size(), 768u);
  for (int i = 0; i < 256; ++i)
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(png.Palette[size_t(i) * 3 + c], BuiltInPalette()[i][c]) << i;
  // Pillow reports a tRNS chunk with one transparent entry as that index.
  EXPECT_EQ(png.Transparency, std::vector<uint8_t>{SampleTransparentIndex});
  const std::vector<uint8_t> file = ReadFileBytes(Dir.File("p8/ball_0.png"));
  const std::string text(file.begin(), file.end());
  const size_t trns = text.find("tRNS");
  ASSERT_NE(trns, std::string::npos);
  std::vector<uint8_t> alpha(size_t(SampleTransparentIndex) + 1, 255);
  alpha[SampleTransparentIndex] = 0;
  EXPECT_EQ(file[trns - 1], alpha.size());
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + std::ptrdiff_t(trns) + 4,
                                 file.begin() + std::ptrdiff_t(trns + 4 + alpha.size())),
            alpha);

  // Sub-frames as for BMP, named IMAGE_FRAME_SUBFRAME.png.
  ASSERT_EQ(Run("export sample.quv --out sub --image tank --format png8 --subframes", &err), 0)
      << err;
  EXPECT_TRUE(fs::exists(Dir.File("sub/tank_0_0.png")));
  EXPECT_EQ(Run("export sample.quv --out x --format gif --subframes", &err), 1);
  EXPECT_NE(err.find("--subframes"), std::string::npos) << err;
}

TEST_F(ImageFormats, GifAndApngAnimateEveryFrameOnTheCommonCanvasForever) {
  std::string err;
  ASSERT_EQ(Run("export sample.quv --out anim --image light --format gif", &err), 0) << err;
  ASSERT_EQ(
      Run("export sample.quv --out anim --image light --format apng --speed 120 --scale 2", &err),
      0)
      << err;
  const TSampleImage& light = Sprite("light");
  const TCanvas canvas = CanvasOf(light);
  const int32_t frames = int32_t(light.Frames.size());

  const TPillowImage gif = DecodeWithPillow(Dir.File("anim/light.gif"));
  EXPECT_EQ(gif.Format, "GIF");
  EXPECT_EQ(gif.Frames, frames);
  EXPECT_EQ(gif.Loop, 0);
  EXPECT_EQ(gif.Width, canvas.Width);
  EXPECT_EQ(gif.Height, canvas.Height);
  // 67 ms in GIF's 10 ms steps.
  EXPECT_EQ(gif.Durations, std::vector<int32_t>(size_t(frames), 70));
  ASSERT_EQ(gif.Transparency.size(), 1u);
  EXPECT_EQ(gif.Transparency[0], SampleTransparentIndex);

  const TPillowImage apng = DecodeWithPillow(Dir.File("anim/light.apng"));
  EXPECT_EQ(apng.Format, "PNG");
  EXPECT_EQ(apng.Frames, frames);
  EXPECT_EQ(apng.Loop, 0);
  EXPECT_EQ(apng.Width, canvas.Width * 2);
  EXPECT_EQ(apng.Durations, std::vector<int32_t>(size_t(frames), 120));
  ASSERT_EQ(apng.Rgba.size(), size_t(frames));
  ASSERT_EQ(gif.Rgba.size(), size_t(frames));
  for (int32_t i = 0; i < frames; ++i) {
    const TSampleFrame& f = light.Frames[size_t(i)];
    const int32_t x = canvas.HotX - f.XOffset, y = canvas.HotY - f.YOffset;
    EXPECT_EQ(ClearTransparent(apng.Rgba[size_t(i)]),
              ToRgba(Placed(f, canvas.Width, canvas.Height, x, y, 2)))
        << i;
    // Each GIF frame replaces the last: nothing of the previous one shows through.
    EXPECT_EQ(ClearTransparent(gif.Rgba[size_t(i)]),
              ToRgba(Placed(f, canvas.Width, canvas.Height, x, y)))
        << i;
  }
}

// Players show a GIF delay of 1 hundredth as 100 ms: fast animations get 2 hundredths, with a
// note; APNG keeps the milliseconds asked for.
TEST_F(ImageFormats, FastGifsPlayAtTheShortestDelayPlayersHonourAndSaySo) {
  const std::string note = "GIF frames last at least 20 ms; --speed 10 is written as 20 ms";
  const int32_t frames = int32_t(Sprite("light").Frames.size());
  std::string err;
  ASSERT_EQ(Run("export sample.quv --out fast --image light --format gif --speed 10", &err), 0)
      << err;
  EXPECT_NE(err.find(note), std::string::npos) << err;
  EXPECT_EQ(DecodeWithPillow(Dir.File("fast/light.gif")).Durations,
            std::vector<int32_t>(size_t(frames), 20));
  // ImageMagick reads the delays in hundredths.
  std::string hundredths;
  for (int32_t i = 0; i < frames; ++i) hundredths += "2 ";
  EXPECT_EQ(RunShell("identify -format '%T ' '" + Dir.File("fast/light.gif") + "'"), hundredths);

  ASSERT_EQ(Run("convert sample.quv --out batch --image light --format gif --speed 10", &err), 0)
      << err;
  EXPECT_NE(err.find(note), std::string::npos) << err;
  EXPECT_EQ(err.find(note), err.rfind(note)) << err;
  EXPECT_EQ(DecodeWithPillow(Dir.File("batch/sample/light.gif")).Durations,
            std::vector<int32_t>(size_t(frames), 20));

  // At 20 ms and above nothing is said; 25 ms rounds to the nearer step.
  for (const auto& [speed, played] : {std::pair{20, 20}, std::pair{25, 30}}) {
    const std::string out = "gif" + std::to_string(speed);
    ASSERT_EQ(Run("export sample.quv --out " + out + " --image light --format gif --speed " +
                      std::to_string(speed),
                  &err),
              0)
        << err;
    EXPECT_EQ(err.find("Note"), std::string::npos) << err;
    EXPECT_EQ(DecodeWithPillow(Dir.File(out + "/light.gif")).Durations,
              std::vector<int32_t>(size_t(frames), played));
  }
  ASSERT_EQ(Run("export sample.quv --out apng --image light --format apng --speed 10", &err), 0)
      << err;
  EXPECT_EQ(err.find("Note"), std::string::npos) << err;
  EXPECT_EQ(DecodeWithPillow(Dir.File("apng/light.apng")).Durations,
            std::vector<int32_t>(size_t(frames), 10));
}

TEST_F(ImageFormats, SheetCellsAndAtlasMatchTheFramesAndTheirHotSpots) {
  std::string err;
  ASSERT_EQ(
      Run("export sample.quv --out sheet --image ball --format sheet --scale 2 --columns 3", &err),
      0)
      << err;
  const TSampleImage& ball = Sprite("ball");
  const TCanvas canvas = CanvasOf(ball);
  const int32_t count = int32_t(ball.Frames.size());
  const int32_t rows = (count + 2) / 3;
  const int32_t cellW = canvas.Width * 2, cellH = canvas.Height * 2;

  const TPillowImage sheet = DecodeWithPillow(Dir.File("sheet/ball_sheet.png"));
  ASSERT_EQ(sheet.Width, 3 * cellW);
  ASSERT_EQ(sheet.Height, rows * cellH);
  ASSERT_EQ(sheet.Rgba.size(), 1u);
  const std::vector<uint8_t> bytes = ReadFileBytes(Dir.File("sheet/ball_sheet.json"));
  const nlohmann::json atlas = nlohmann::json::parse(std::string(bytes.begin(), bytes.end()));
  ASSERT_EQ(atlas["frames"].size(), size_t(count));
  EXPECT_EQ(atlas["meta"]["image"], "ball_sheet.png");
  EXPECT_EQ(atlas["meta"]["app"], "Vellicor");
  EXPECT_EQ(atlas["meta"]["format"], "RGBA8888");
  EXPECT_EQ(atlas["meta"]["scale"], 2);
  EXPECT_EQ(atlas["meta"]["size"]["w"], sheet.Width);

  for (int32_t i = 0; i < count; ++i) {
    const TSampleFrame& f = ball.Frames[size_t(i)];
    const nlohmann::json& entry = atlas["frames"][size_t(i)];
    EXPECT_EQ(entry["filename"], "ball_" + PadNumber(i, count));
    const int32_t cellX = (i % 3) * cellW, cellY = (i / 3) * cellH;
    EXPECT_EQ(entry["frame"],
              (nlohmann::json{{"x", cellX}, {"y", cellY}, {"w", cellW}, {"h", cellH}}));
    EXPECT_EQ(entry["spriteSourceSize"], (nlohmann::json{{"x", (canvas.HotX - f.XOffset) * 2},
                                                         {"y", (canvas.HotY - f.YOffset) * 2},
                                                         {"w", f.Width * 2},
                                                         {"h", f.Height * 2}}));
    EXPECT_EQ(entry["hotspot"], (nlohmann::json{{"x", canvas.HotX * 2}, {"y", canvas.HotY * 2}}));
    EXPECT_DOUBLE_EQ(entry["pivot"]["x"].get<double>(), double(canvas.HotX) / canvas.Width);
    EXPECT_EQ(entry["duration"], 67);
    EXPECT_EQ(entry["rotated"], false);
    // The cell's pixels are the frame on the hot-spot canvas.
    const std::vector<uint8_t> expected = ToRgba(Placed(
        f, canvas.Width, canvas.Height, canvas.HotX - f.XOffset, canvas.HotY - f.YOffset, 2));
    std::vector<uint8_t> cell;
    for (int32_t y = 0; y < cellH; ++y) {
      const auto row = sheet.Rgba[0].begin() + (size_t(cellY + y) * sheet.Width + cellX) * 4;
      cell.insert(cell.end(), row, row + cellW * 4);
    }
    EXPECT_EQ(ClearTransparent(cell), expected) << i;
  }
}

TEST_F(ImageFormats, ConvertMirrorsAFolderWritesTheGoodFilesAndNamesTheBadOne) {
  fs::create_directories(Dir.Path() / "art" / "units");
  fs::copy_file(Dir.Path() / "tank.quv", Dir.Path() / "art" / "units" / "tank.quv");
  fs::copy_file(Dir.Path() / "sample.quv", Dir.Path() / "art" / "sample.quv");
  WriteFileBytes(Dir.File("art/broken.quv"), {'n', 'o', 't', ' ', 'q', 'u', 'v'});
  std::string err;
  EXPECT_EQ(Run("convert art --recursive --out out --format png --jobs 2", &err), 1);
  EXPECT_NE(err.find("broken.quv"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_TRUE(fs::exists(Dir.File("out/art/sample/ball_0.png")));
  EXPECT_TRUE(fs::exists(Dir.File("out/art/units/tank/tank_0.png")));
  // Piped: a one-line summary, no progress bar.
  EXPECT_NE(Out.find("2 sources converted"), std::string::npos) << Out;
  EXPECT_NE(Out.find("1 failed"), std::string::npos) << Out;
  EXPECT_EQ(std::count(Out.begin(), Out.end(), '\n'), 1) << Out;

  // Without --recursive the sub-folder is left out; all good means exit 0.
  fs::remove(Dir.File("art/broken.quv"));
  EXPECT_EQ(Run("convert art sample.quv --out flat --format gif", &err), 0) << err;
  EXPECT_TRUE(fs::exists(Dir.File("flat/art/sample/ball.gif")));
  EXPECT_TRUE(fs::exists(Dir.File("flat/sample/ball.gif")));
  EXPECT_FALSE(fs::exists(Dir.File("flat/art/units")));
}

TEST_F(ImageFormats, ConvertTakesWholeArchivesAndArchivePathsAndMirrorsTheirFolders) {
  THpiBuilder builder;
  builder.AddFile("sprites/sample.quv", ReadFileBytes(Dir.File("sample.quv")));
  builder.AddFile("sprites/units/tank.quv", ReadFileBytes(Dir.File("tank.quv")));
  builder.AddFile("readme.txt", {'h', 'i'});
  builder.WriteFile(Dir.File("pack.hpi"));
  std::string err;
  EXPECT_EQ(Run("convert pack.hpi --out all --format sheet --jobs 1", &err), 0) << err;
  EXPECT_TRUE(fs::exists(Dir.File("all/pack.hpi/sprites/sample/ball_sheet.json")));
  EXPECT_TRUE(fs::exists(Dir.File("all/pack.hpi/sprites/units/tank/tank_sheet.png")));
  EXPECT_NE(Out.find("2 sources converted"), std::string::npos) << Out;

  EXPECT_EQ(Run("convert pack.hpi/sprites/units/tank.quv pack.hpi/missing.quv --out one "
                "--format apng",
                &err),
            1);
  EXPECT_TRUE(fs::exists(Dir.File("one/pack.hpi/sprites/units/tank/tank.apng")));
  EXPECT_NE(err.find("pack.hpi/missing.quv"), std::string::npos) << err;
}
