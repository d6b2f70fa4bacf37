// Thumbnails: fitting a picture into a square, which frame a collection shows, and
// vellicor-cli thumbnail run as the desktop runs it, on the built samples and on broken files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <chrono>
#include <cstring>
#include <filesystem>

#include "FrontendTestUtilsU.h"
#include "HpiBuilderU.h"
#include "ImageLoaderU.h"
#include "MemoryImagesU.h"
#include "PictureU.h"
#include "QuvManagerU.h"
#include "QuvSamplesU.h"
#include "ThumbnailU.h"

namespace {

namespace fs = std::filesystem;

TPicture Numbered(int32_t width, int32_t height, int32_t bytesPerPixel = 1) {
  TPicture picture(width, height, bytesPerPixel);
  for (size_t i = 0; i < picture.Pixels.size(); ++i) picture.Pixels[i] = uint8_t(i);
  return picture;
}

}  // namespace

TEST(FitIntoSquare, EnlargesByWholeFactorsAndShrinksInProportion) {
  EXPECT_EQ(FitIntoSquare(28, 16, 128), (TPictureSize{112, 64}));  // 4 x, 4.57 would not fit
  EXPECT_EQ(FitIntoSquare(28, 16, 16), (TPictureSize{16, 9}));     // 9.14 rounded
  EXPECT_EQ(FitIntoSquare(40, 32, 40), (TPictureSize{40, 32}));    // fits exactly
  EXPECT_EQ(FitIntoSquare(41, 32, 40), (TPictureSize{40, 31}));
  EXPECT_EQ(FitIntoSquare(1, 1, 1024), (TPictureSize{1024, 1024}));
  EXPECT_EQ(FitIntoSquare(3, 65535, 16), (TPictureSize{1, 16}));  // never below one pixel
  EXPECT_EQ(FitIntoSquare(65535, 65535, 1), (TPictureSize{1, 1}));
  EXPECT_EQ(FitIntoSquare(0, 5, 16), (TPictureSize{}));
}

TEST(ResizePicture, TakesThePixelUnderEachCentre) {
  const TPicture source = Numbered(4, 3, 4);  // pixel (x, y) starts at byte 4 * (4y + x)
  const TPicture half = ResizePicture(source, 2, 1);
  ASSERT_EQ(half.Pixels.size(), 8u);
  // Centres 1 and 3 of row 1.
  EXPECT_EQ(half.Pixels[0], 4 * 5);
  EXPECT_EQ(half.Pixels[3], 4 * 5 + 3);
  EXPECT_EQ(half.Pixels[4], 4 * 7);
  // Whole factors give the same blocks as ScalePicture.
  const TPicture indices = Numbered(3, 2);
  EXPECT_EQ(ResizePicture(indices, 9, 6).Pixels, ScalePicture(indices, 3).Pixels);
  EXPECT_EQ(FitPicture(indices, 10).Pixels, ScalePicture(indices, 3).Pixels);
}

class Thumbnail : public ::testing::Test {
 protected:
  void SetUp() override {
    Palette = BuiltInPalette();
    TransparentIndex = SampleTransparentIndex;
  }
};

TEST_F(Thumbnail, ShowsFrameZeroOfTheFirstImageByNameAndFetchesNoOtherFrame) {
  TMemoryFile file;
  TFrameDesc corrupt(2, 2);
  corrupt.Corrupt = true;  // fetching it fails
  file.AddImage("Zulu", {corrupt});
  TFrameDesc first(2, 1);
  first.Index = [](int32_t x, int32_t) { return uint8_t(x == 0 ? 7 : SampleTransparentIndex); };
  file.AddImage("alpha", {first, corrupt});
  const TPicture indices = ThumbnailIndices(*file.Images, 4);
  EXPECT_EQ(indices.Width, 4);
  EXPECT_EQ(indices.Height, 2);
  EXPECT_EQ(indices.Pixels, (std::vector<uint8_t>{7, 7, 9, 9, 7, 7, 9, 9}));
  // Sizes beyond the largest are capped.
  EXPECT_EQ(ThumbnailIndices(*file.Images, 100000).Width, MaxThumbnailSize);
}

TEST_F(Thumbnail, RefusesEmptyCollectionsAndEmptyOrHugeFramesBeforeReadingThem) {
  TMemoryFile empty("empty.quv");
  EXPECT_THROW(ThumbnailIndices(*empty.Images, 64), EImageFileError);

  for (const auto& [width, height] : {std::pair{0, 5}, std::pair{4097, 4096}}) {
    TMemoryFile file("big.quv");
    TFrameDesc frame(width, height);
    frame.Corrupt = true;  // a fetch would say "corrupt"
    file.AddImage("big", {frame});
    try {
      ThumbnailIndices(*file.Images, 64);
      ADD_FAILURE() << "no error";
    } catch (const EImageFileError& e) {
      EXPECT_EQ(std::strstr(e.what(), "corrupt"), nullptr) << e.what();
      EXPECT_NE(std::strstr(e.what(), "\"big\" in big.quv"), nullptr) << e.what();
    }
  }
}

namespace {

constexpr int32_t CliTimeLimitSeconds = 20;

// A Quv file of one image "huge" with one frame: its 24-byte header from the fields given, its
// data right behind it (at 88).
std::vector<uint8_t> OneFrameQuv(uint16_t width, uint16_t height, uint8_t compression,
                                 uint16_t subFrames, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> file;
  const auto u16 = [&](uint32_t v) { file.insert(file.end(), {uint8_t(v), uint8_t(v >> 8)}); };
  const auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  u32(0x00010100), u32(1), u32(0), u32(16);  // header, entry table
  u16(1), u16(0), u32(0);                    // entry at 16
  const char name[QuvNameSize] = "huge";
  file.insert(file.end(), name, name + sizeof name);
  u32(64), u32(0);                                             // frame table at 56
  u16(width), u16(height), u16(0), u16(0), file.push_back(9);  // frame header at 64
  file.push_back(compression), u16(subFrames), u32(0), u32(88), u32(0);
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

// The picture of a sample frame: its own pixels, or its sub-frames laid over one another on
// their common hot spot (the samples' sub-frames all lie inside their frame).
std::vector<uint8_t> SamplePixels(const TSampleFrame& frame) {
  if (frame.SubFrames.empty()) return frame.Pixels;
  std::vector<uint8_t> pixels(size_t(frame.Width) * frame.Height, SampleTransparentIndex);
  for (const TSampleFrame& part : frame.SubFrames)
    for (int32_t y = 0; y < part.Height; ++y)
      for (int32_t x = 0; x < part.Width; ++x) {
        const uint8_t index = part.Pixels[size_t(y) * part.Width + x];
        const int32_t fx = frame.XOffset - part.XOffset + x, fy = frame.YOffset - part.YOffset + y;
        if (index != SampleTransparentIndex) pixels[size_t(fy) * frame.Width + fx] = index;
      }
  return pixels;
}

// The frame at width x height, each pixel the frame's pixel under its centre.
std::vector<uint8_t> NearestNeighbour(const TSampleFrame& frame, int32_t width, int32_t height) {
  const std::vector<uint8_t> pixels = SamplePixels(frame);
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const int64_t sx = (2 * int64_t(x) + 1) * frame.Width / (2 * width);
      const int64_t sy = (2 * int64_t(y) + 1) * frame.Height / (2 * height);
      out.push_back(pixels[size_t(sy) * frame.Width + size_t(sx)]);
    }
  return out;
}

class CliThumbnail : public Thumbnail {
 protected:
  void SetUp() override {
    Thumbnail::SetUp();
    std::error_code error;
    const fs::path build = fs::read_symlink("/proc/self/exe", error).parent_path().parent_path();
    Cli = build / "tools" / "vellicor-cli";
    Samples = build / "samples";
    if (!fs::exists(Cli)) GTEST_SKIP() << "vellicor-cli not built";
  }
  // Runs the tool as the thumbnailer entry does, bounded in time.
  int RunThumbnail(const std::string& input, const std::string& output, const std::string& size) {
    const auto start = std::chrono::steady_clock::now();
    int code = -1;
    RunShell("timeout -s KILL " + std::to_string(CliTimeLimitSeconds) + " '" + Cli.string() +
                 "' thumbnail '" + input + "' '" + output + "' --size " + size + " 2>'" +
                 Dir.File("stderr.txt") + "' </dev/null",
             &code);
    Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::vector<uint8_t> err = ReadFileBytes(Dir.File("stderr.txt"));
    Err.assign(err.begin(), err.end());
    fs::remove(Dir.File("stderr.txt"));
    return code;
  }
  void ExpectFailure(const std::string& input, const std::string& what) {
    const std::string output = Dir.File("out.png");
    EXPECT_EQ(RunThumbnail(input, output, "128"), 1) << what << ": " << Err;
    EXPECT_LT(Seconds, CliTimeLimitSeconds) << what;
    EXPECT_NE(Err.find("No thumbnail of"), std::string::npos) << what << ": " << Err;
    EXPECT_FALSE(fs::exists(output)) << what;
    // Nor a temporary file.
    for (const std::string& name : Dir.List())
      EXPECT_EQ(name.find(".part"), std::string::npos) << what << ": " << name;
  }

  fs::path Cli, Samples;
  TTempDir Dir;
  std::string Err;
  double Seconds = 0;
};

}  // namespace

TEST_F(CliThumbnail, EverySampleGivesItsFirstFrameFittedWithATransparentBackground) {
  if (PillowPython().empty()) GTEST_SKIP() << "Pillow (python3-pil) not installed";
  const TSampleFrame& ball = Sprite("ball").Frames[0];
  const TSampleFrame& tank = Sprite("tank").Frames[0];
  struct TCase {
    std::string File, Size;
    const TSampleFrame* Frame;
    int32_t Width, Height;
  };
  // "ball" comes first by name; the archive's first Quv file by name is anims/sample_raw.quv.
  const TCase cases[] = {
      {"sample.quv", "128", &ball, 112, 64},    {"sample.quv", "16", &ball, 16, 9},
      {"sample_raw.quv", "100", &ball, 84, 48}, {"tank.quv", "128", &tank, 120, 96},
      {"tank.quv", "20", &tank, 20, 16},        {"sample.hpi", "64", &ball, 56, 32},
      {"sample.hpi", "5000", &ball, 1008, 576},  // capped at 1024
  };
  for (const TCase& c : cases) {
    const std::string what = c.File + " --size " + c.Size;
    const std::string output = Dir.File("thumb.png");
    ASSERT_EQ(RunThumbnail((Samples / c.File).string(), output, c.Size), 0) << what << ": " << Err;
    EXPECT_EQ(Err, "");
    const TPillowImage png = DecodeWithPillow(output);
    EXPECT_EQ(png.Format, "PNG") << what;
    EXPECT_EQ(png.Mode, "RGBA") << what;
    ASSERT_EQ(png.Width, c.Width) << what;
    ASSERT_EQ(png.Height, c.Height) << what;
    ASSERT_EQ(png.Rgba.size(), 1u);
    const std::vector<uint8_t> expected = ToRgba(NearestNeighbour(*c.Frame, c.Width, c.Height));
    EXPECT_EQ(ClearTransparent(png.Rgba[0]), expected) << what;
    EXPECT_EQ(png.Rgba[0][3], 0) << what << ": the corner is background";
    EXPECT_EQ(Dir.List(), std::vector<std::string>{"thumb.png"});
    fs::remove(output);
  }
}

TEST_F(CliThumbnail, AnOutputHeldOpenByTheServiceGetsThePictureThroughItsDescriptor) {
  if (PillowPython().empty()) GTEST_SKIP() << "Pillow (python3-pil) not installed";
  // As the desktop's thumbnail service does it: the output is created and kept open, and the
  // picture is read back through that descriptor once the thumbnailer has finished.
  const std::string output = Dir.File("held.png");
  const int held = ::open(output.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  ASSERT_GE(held, 0);
  ASSERT_EQ(RunThumbnail((Samples / "sample.quv").string(), output, "16"), 0) << Err;
  struct stat info {};
  ASSERT_EQ(::fstat(held, &info), 0);
  EXPECT_EQ(info.st_nlink, 1u) << "another file was renamed over the held one";
  std::vector<uint8_t> bytes(1 << 16);
  const ssize_t got = ::pread(held, bytes.data(), bytes.size(), 0);
  bytes.resize(size_t(std::max<ssize_t>(got, 0)));
  ASSERT_GT(bytes.size(), 8u) << "the held file is empty";
  WriteFileBytes(Dir.File("read.png"), bytes);
  const TPillowImage png = DecodeWithPillow(Dir.File("read.png"));
  ASSERT_EQ(png.Width, 16);
  ASSERT_EQ(png.Height, 9);
  ASSERT_EQ(png.Rgba.size(), 1u);
  EXPECT_EQ(ClearTransparent(png.Rgba[0]),
            ToRgba(NearestNeighbour(Sprite("ball").Frames[0], 16, 9)));

  // A broken input leaves the held file as the service made it, and no other file.
  ASSERT_EQ(::ftruncate(held, 0), 0);
  WriteFileBytes(Dir.File("broken.quv"), {1, 2, 3});
  EXPECT_EQ(RunThumbnail(Dir.File("broken.quv"), output, "16"), 1) << Err;
  ASSERT_EQ(::fstat(held, &info), 0);
  EXPECT_EQ(info.st_size, 0);
  ::close(held);
  EXPECT_EQ(Dir.List(), (std::vector<std::string>{"broken.quv", "held.png", "read.png"}));
}

TEST_F(CliThumbnail, ArchivesAreKnownByTheirFirstBytesAndGiveTheirFirstQuvFileByName) {
  if (PillowPython().empty()) GTEST_SKIP() << "Pillow (python3-pil) not installed";
  THpiBuilder builder;
  builder.AddFile("zeta.quv", BuildQuvFile({Sprite("ball")}));
  builder.AddFile("aaa.txt", {'n', 'o'});
  builder.AddFile("units/tank.quv", BuildQuvFile({Sprite("tank")}));
  builder.WriteFile(Dir.File("pack.dat"));
  ASSERT_EQ(RunThumbnail(Dir.File("pack.dat"), Dir.File("a.png"), "40"), 0) << Err;
  EXPECT_EQ(DecodeWithPillow(Dir.File("a.png")).Width, 40);  // the tank, 40 x 32
  // A Quv file named like an archive is a Quv file.
  WriteFileBytes(Dir.File("sprite.hpi"), BuildQuvFile({Sprite("light")}));
  ASSERT_EQ(RunThumbnail(Dir.File("sprite.hpi"), Dir.File("b.png"), "48"), 0) << Err;
  EXPECT_EQ(DecodeWithPillow(Dir.File("b.png")).Width, 48);  // the light, 16 x 16
}

TEST_F(CliThumbnail, BrokenInputsFailQuicklyWithAMessageAndWriteNothing) {
  const std::vector<uint8_t> sample = ReadFileBytes((Samples / "sample.quv").string());
  const std::vector<uint8_t> archive = ReadFileBytes((Samples / "sample.hpi").string());
  ASSERT_GT(sample.size(), 1000u);
  ASSERT_GT(archive.size(), 5000u);
  const auto write = [&](const std::string& name, std::vector<uint8_t> bytes) {
    WriteFileBytes(Dir.File(name), bytes);
    return Dir.File(name);
  };
  ExpectFailure(write("empty.quv", {}), "empty file");
  // Image entries lie between the frame data, so each cut loses entries the header names.
  for (const size_t cut : {size_t(3), size_t(12), size_t(100), sample.size() / 2})
    ExpectFailure(write("cut.quv", {sample.begin(), sample.begin() + ptrdiff_t(cut)}),
                  "Quv cut at " + std::to_string(cut));
  std::vector<uint8_t> garbage(4096);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 2654435761u >> 13);
  ExpectFailure(write("garbage", garbage), "garbage");
  // The directory and the first Quv file's data lie in the archive's first 5000 bytes.
  for (const size_t cut : {size_t(4), size_t(8), size_t(20), size_t(1000), size_t(5000)})
    ExpectFailure(write("cut.hpi", {archive.begin(), archive.begin() + ptrdiff_t(cut)}),
                  "archive cut at " + std::to_string(cut));
  THpiBuilder noQuv;
  noQuv.AddFile("readme.txt", {'h', 'i'});
  noQuv.WriteFile(Dir.File("text.hpi"));
  ExpectFailure(Dir.File("text.hpi"), "archive without Quv files");
  ExpectFailure(write("none.quv", {0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}), "no image");

  // Frames that claim more than the file could honestly hold.
  ExpectFailure(write("huge.quv", OneFrameQuv(65535, 65535, 0, 0, std::vector<uint8_t>(64))),
                "65535 x 65535 raw frame");
  ExpectFailure(write("huge.quv", OneFrameQuv(8192, 8192, 1, 0, std::vector<uint8_t>(16384))),
                "8192 x 8192 frame of empty rows");
  // One 1 x 1 sub-frame far from the hot spot grows the canvas to 16001 x 16001.
  std::vector<uint8_t> grow = {92, 0, 0, 0, 1, 0, 1, 0, 0x80, 0x3E, 0x80, 0x3E, 9, 0, 0, 0};
  grow.insert(grow.end(), {0, 0, 0, 0, 116, 0, 0, 0, 0, 0, 0, 0, 5});
  ExpectFailure(write("grow.quv", OneFrameQuv(1, 1, 0, 1, grow)), "sub-frame growth");
  ExpectFailure(write("zero.quv", OneFrameQuv(0, 4, 0, 0, {})), "frame without pixels");

  fs::create_directory(Dir.File("folder.quv"));
  ExpectFailure(Dir.File("folder.quv"), "a folder");
  ExpectFailure(Dir.File("missing.quv"), "a missing file");
  ExpectFailure("/dev/zero", "a device");

  // Absurd sizes are refused before anything is read.
  const std::string samplePath = (Samples / "sample.quv").string();
  for (const char* size : {"0", "-5", "65536", "99999999999", "x"}) {
    EXPECT_NE(RunThumbnail(samplePath, Dir.File("out.png"), size), 0) << size;
    EXPECT_FALSE(fs::exists(Dir.File("out.png"))) << size;
  }
}
