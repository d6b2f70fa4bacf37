// vellicor-cli pack and hpi pack, run as a user runs them: round trips through the exports and
// through hpi extract, and the refusals of bad input. Skipped when the tool has not been built.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "FrontendTestUtilsU.h"
#include "HpiBuilderU.h"
#include "ImageLoaderU.h"
#include "PackTestSupportU.h"
#include "QuvSamplesU.h"
#include "SmallDiskU.h"

namespace {

namespace fs = std::filesystem;

class CliPack : public ::testing::Test {
 protected:
  void SetUp() override {
    if (PackCliPath().empty()) GTEST_SKIP() << "vellicor-cli not built";
    WriteSampleFiles(Dir.Path().string());
    // Sub-frames, odd sizes, negative offsets and many frames beside the drawn samples.
    std::vector<TSampleImage> images = SyntheticImages(2, 41, 7, 5);
    images[1].Frames[3].XOffset = -6;
    images[1].Frames[4].YOffset = -2;
    WriteFileBytes(Dir.File("many.quv"), BuildQuvFile(images, 1));
  }
  TCliRun Run(const std::string& arguments) { return RunPackCli(Dir.Path(), arguments); }
  // The images of list --json with their frames' sizes and hot spots (sub-frames left out: a
  // packed frame is the composed one).
  nlohmann::json Frames(const std::string& file) {
    const TCliRun run = Run("list --json " + file);
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    nlohmann::json doc = nlohmann::json::parse(run.Out, nullptr, false);
    if (doc.is_discarded()) return {};
    for (auto& image : doc["images"])
      for (auto& frame : image["frames"]) frame.erase("subframes");
    return doc["images"];
  }
  std::vector<std::string> Images(const std::string& file) {
    std::vector<std::string> names;
    for (const auto& image : Frames(file)) names.push_back(image["name"]);
    return names;
  }
  // Every file of a folder with its bytes.
  std::map<std::string, std::vector<uint8_t>> Tree(const std::string& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& item : fs::recursive_directory_iterator(Dir.Path() / folder))
      if (item.is_regular_file())
        files[fs::relative(item.path(), Dir.Path() / folder).string()] =
            ReadFileBytes(item.path().string());
    return files;
  }
  TTempDir Dir;
};

}  // namespace

TEST_F(CliPack, BmpExportAndFrameDataPackBackToTheSameFramesAndByteIdenticalExports) {
  for (const std::string file : {"sample.quv", "many.quv"}) {
    for (const std::string bits : {"24", "8"}) {
      SCOPED_TRACE(file + " at " + bits + " bits");
      const fs::path out = "bmp" + bits + file;
      std::string sources;
      for (const std::string& image : Images(file)) {
        ASSERT_EQ(Run("export " + file + " --no-autopad --bits " + bits + " --image " + image +
                      " --out " + out.string())
                      .ExitCode,
                  0);
        const TCliRun data = Run("framedata " + file + " --no-autopad --type 2 --image " + image +
                                 " --out " + (out / (image + "_Data.txt")).string());
        ASSERT_EQ(data.ExitCode, 0) << data.Err;
        sources += " " + (out / (image + "_Data.txt")).string();
      }
      const TCliRun pack = Run("pack packed.quv" + sources + " --force");
      ASSERT_EQ(pack.ExitCode, 0) << pack.Err;
      EXPECT_EQ(pack.Err, "");
      EXPECT_EQ(Frames("packed.quv"), Frames(file));
      ASSERT_EQ(Run("export packed.quv --no-autopad --bits " + bits + " --out again" + out.string())
                    .ExitCode,
                0);
      std::map<std::string, std::vector<uint8_t>> first = Tree(out.string());
      std::erase_if(first, [](const auto& item) { return item.first.ends_with(".txt"); });
      EXPECT_EQ(Tree("again" + out.string()), first);
    }
  }
}

TEST_F(CliPack, PaddedExportsPackBackToByteIdenticalPaddedExports) {
  ASSERT_EQ(Run("export sample.quv --out padded").ExitCode, 0);
  std::string sources;
  for (const std::string& image : Images("sample.quv")) {
    ASSERT_EQ(Run("framedata sample.quv --type 1 --image " + image + " --out padded/" + image +
                  "_Data.txt")
                  .ExitCode,
              0);
    sources += " " + image + "=padded/" + image + "_Data.txt";
  }
  const TCliRun pack = Run("pack packed.quv" + sources);
  ASSERT_EQ(pack.ExitCode, 0) << pack.Err;
  EXPECT_NE(pack.Err.find("the frames are padded"), std::string::npos);
  ASSERT_EQ(Run("export packed.quv --out again").ExitCode, 0);
  std::map<std::string, std::vector<uint8_t>> first = Tree("padded");
  std::erase_if(first, [](const auto& item) { return item.first.ends_with(".txt"); });
  EXPECT_EQ(Tree("again"), first);
}

TEST_F(CliPack, Png8ExportPacksBackToTheSameFrames) {
  const TCliRun probe = Run("export sample.quv --format png8 --no-autopad --out png8");
  if (probe.ExitCode != 0) GTEST_SKIP() << "export --format png8 is not available: " << probe.Err;
  for (const std::string file : {"sample.quv", "many.quv"}) {
    ASSERT_EQ(Run("export " + file + " --format png8 --no-autopad --out p" + file).ExitCode, 0);
    std::string sources;
    for (const std::string& image : Images(file)) {
      ASSERT_EQ(Run("framedata " + file + " --no-autopad --type 1 --image " + image + " --out p" +
                    file + "/" + image + "_Data.txt")
                    .ExitCode,
                0);
      sources += " p" + file + "/" + image + "_Data.txt";
    }
    const TCliRun pack = Run("pack --force packed.quv" + sources);
    ASSERT_EQ(pack.ExitCode, 0) << pack.Err;
    EXPECT_EQ(pack.Err, "");
    EXPECT_EQ(Frames("packed.quv"), Frames(file)) << file;
  }
}

TEST_F(CliPack, ASheetAndItsAtlasPackBackToTheirFrames) {
  // A two-frame sheet in the atlas layout, cells on the common hot-spot canvas at scale 2.
  const TPalette& palette = BuiltInPalette();
  const int32_t scale = 2, cellW = 6, cellH = 4;
  std::vector<uint8_t> rgba(size_t(2 * cellW * scale) * cellH * scale * 4, 0);
  const auto put = [&](int32_t x, int32_t y, uint8_t index) {
    for (int32_t dy = 0; dy < scale; ++dy)
      for (int32_t dx = 0; dx < scale; ++dx) {
        uint8_t* p = &rgba[(size_t(y * scale + dy) * 2 * cellW * scale + x * scale + dx) * 4];
        p[0] = palette[index][0], p[1] = palette[index][1], p[2] = palette[index][2], p[3] = 255;
      }
  };
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) put(1 + x, y, uint8_t(20 + x));  // frame 0: 4 x 3 at 1, 0
  put(cellW + 5, 3, 200);                                            // frame 1: 1 x 1 at 5, 3
  WriteFileBytes(Dir.File("arm_sheet.png"), EncodeRgbaPng(2 * cellW * scale, cellH * scale, rgba));
  const std::string atlas = R"({"frames": [
    {"filename": "arm_0", "frame": {"x": 0, "y": 0, "w": 12, "h": 8}, "rotated": false,
     "trimmed": false, "spriteSourceSize": {"x": 2, "y": 0, "w": 8, "h": 6},
     "sourceSize": {"w": 12, "h": 8}, "hotspot": {"x": 6, "y": 6}, "duration": 67},
    {"filename": "arm_1", "frame": {"x": 12, "y": 0, "w": 12, "h": 8}, "rotated": false,
     "trimmed": false, "spriteSourceSize": {"x": 10, "y": 6, "w": 2, "h": 2},
     "sourceSize": {"w": 12, "h": 8}, "hotspot": {"x": 6, "y": 6}, "duration": 67}],
    "meta": {"app": "Vellicor", "image": "arm_sheet.png", "size": {"w": 24, "h": 8},
     "format": "RGBA8888", "scale": 2}})";
  WriteFileBytes(Dir.File("arm_sheet.json"), std::vector<uint8_t>(atlas.begin(), atlas.end()));
  const TCliRun pack = Run("pack arm.quv arm_sheet.json");
  ASSERT_EQ(pack.ExitCode, 0) << pack.Err;
  EXPECT_EQ(pack.Out, "1 image, 2 frames written to arm.quv\n");
  EXPECT_EQ(Frames("arm.quv"), nlohmann::json::parse(R"([{"name": "arm", "frames": [
    {"width": 4, "height": 3, "xoffset": 2, "yoffset": 3},
    {"width": 1, "height": 1, "xoffset": -2, "yoffset": 0}]}])"));
}

TEST_F(CliPack, RefusesBadInputNamingTheFileAndWritesNothing) {
  ASSERT_EQ(Run("export sample.quv --image ball --out f --no-autopad").ExitCode, 0);
  // A frame-data file that names more frames than there are files.
  std::string text = "Extended=0\r\nXOffset,YOffset\r\n";
  for (int i = 0; i < 9; ++i) text += "1,1\r\n";
  WriteFileBytes(Dir.File("f/ball_Data.txt"), std::vector<uint8_t>(text.begin(), text.end()));
  TCliRun run = Run("pack out.quv f");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("ball_Data.txt\" names 9 frames"), std::string::npos) << run.Err;
  // An atlas that points outside its sheet.
  WriteFileBytes(Dir.File("s_sheet.png"), EncodeRgbaPng(2, 2, std::vector<uint8_t>(16, 255)));
  const std::string atlas = R"({"frames": [{"frame": {"x": 1, "y": 0, "w": 2, "h": 2}}]})";
  WriteFileBytes(Dir.File("s_sheet.json"), std::vector<uint8_t>(atlas.begin(), atlas.end()));
  run = Run("pack out.quv s_sheet.json");
  EXPECT_NE(run.Err.find("Atlas \"s_sheet.json\", frame 0: the cell 1,0 2x2 lies outside"),
            std::string::npos)
      << run.Err;
  // A PNG that is not a PNG, a name too long, a name twice.
  WriteFileBytes(Dir.File("fake.png"), {'n', 'o', 't', ' ', 'p', 'n', 'g', '!'});
  run = Run("pack out.quv x=fake.png");
  EXPECT_NE(run.Err.find("\"fake.png\" is not a PNG or BMP file"), std::string::npos) << run.Err;
  run = Run("pack out.quv " + std::string(32, 'n') + "=f/ball_0.bmp");
  EXPECT_NE(run.Err.find("has 32 bytes; a Quv image name has at most 31"), std::string::npos);
  run = Run("pack out.quv a=f/ball_0.bmp A=f/ball_1.bmp");
  EXPECT_NE(run.Err.find("Image \"A\" (from \"f/ball_1.bmp\") is given twice"), std::string::npos);
  EXPECT_FALSE(fs::exists(Dir.File("out.quv")));

  // An existing file stays unless --force.
  run = Run("pack sample.quv one=f/ball_0.bmp");
  EXPECT_NE(run.Err.find("exists; --force replaces it"), std::string::npos);
  run = Run("pack sample.quv one=f/ball_0.bmp --force --strict");
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(Images("sample.quv"), std::vector<std::string>{"one"});
}

TEST_F(CliPack, RefusesAnAtlasAskingForMorePixelsThanAPackBuilds) {
  // A blank 1024 x 1024 sheet and an atlas of a few kilobytes whose 65 frames each cover all of
  // it: 68 million pixels to build.
  WriteFileBytes(Dir.File("big_sheet.png"),
                 EncodeRgbaPng(1024, 1024, std::vector<uint8_t>(size_t(1024) * 1024 * 4, 0)));
  std::string atlas = R"({"frames": [)";
  for (int i = 0; i < 65; ++i)
    atlas += std::string(i ? ", " : "") +
             R"({"frame": {"x": 0, "y": 0, "w": 1024, "h": 1024},
                 "spriteSourceSize": {"x": 0, "y": 0, "w": 1024, "h": 1024}})";
  atlas += "]}";
  WriteFileBytes(Dir.File("big_sheet.json"), std::vector<uint8_t>(atlas.begin(), atlas.end()));
  TCliRun run = Run("pack big.quv big_sheet.json");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Err,
            "Image \"big\" (big_sheet.json): its frames need more than the 67108864 pixels one "
            "pack builds\n");
  // The limit holds for all the images of a pack together.
  run = Run("pack big.quv one=big_sheet.png big_sheet.json");
  EXPECT_NE(run.Err.find("pixels one pack builds (the images before it take 1048576)\n"),
            std::string::npos)
      << run.Err;
  EXPECT_FALSE(fs::exists(Dir.File("big.quv")));
}

TEST_F(CliPack, RefusesAFifoWhereAFileIsReadWithoutWaitingForIt) {
  ASSERT_EQ(Run("export sample.quv --image ball --out f --no-autopad").ExitCode, 0);
  const auto fifo = [&](const std::string& name) {
    ASSERT_EQ(::mkfifo(Dir.File(name).c_str(), 0600), 0) << name;
  };
  const auto refusal = [&](const std::string& arguments, const std::string& file) {
    const TCliRun run = Run("pack out.quv " + arguments);
    EXPECT_EQ(run.ExitCode, 1) << arguments;
    EXPECT_NE(run.Err.find("Cannot read \"" + file + "\": it is a fifo, not a file"),
              std::string::npos)
        << arguments << ": " << run.Err;
  };
  // The frame data beside the frames, found in the folder or named.
  fifo("f/ball_Data.txt");
  refusal("f", "f/ball_Data.txt");
  refusal("f/ball_Data.txt", "f/ball_Data.txt");
  fs::remove(Dir.File("f/ball_Data.txt"));
  // A frame picture in the folder, a picture named as a source, an atlas, an atlas's sheet.
  fifo("f/ball_99.png");
  refusal("f", "f/ball_99.png");
  fifo("pipe.png");
  refusal("x=pipe.png", "pipe.png");
  fifo("pipe_sheet.json");
  refusal("pipe_sheet.json", "pipe_sheet.json");
  const std::string atlas =
      R"({"frames": [{"frame": {"x": 0, "y": 0, "w": 1, "h": 1}}], "meta": {"image": "pipe.png"}})";
  WriteFileBytes(Dir.File("s_sheet.json"), std::vector<uint8_t>(atlas.begin(), atlas.end()));
  refusal("s_sheet.json", "pipe.png");
  EXPECT_FALSE(fs::exists(Dir.File("out.quv")));
}

TEST_F(CliPack, SaysWhyAFileCannotBeRead) {
  ASSERT_EQ(Run("export sample.quv --image ball --out f --no-autopad").ExitCode, 0);
  const auto error = [&](const std::string& arguments) {
    const TCliRun run = Run("pack out.quv " + arguments);
    EXPECT_EQ(run.ExitCode, 1) << arguments;
    return run.Err;
  };
  // A folder where a frame picture is expected.
  fs::create_directory(Dir.Path() / "f/ball_50.png");
  EXPECT_EQ(error("f"), "Cannot read \"f/ball_50.png\": it is a folder, not a file\n");
  fs::remove(Dir.Path() / "f/ball_50.png");
  // Dangling links: a frame picture, a picture named as a source, frame data named as one.
  fs::create_symlink("gone.png", Dir.Path() / "f/ball_50.png");
  EXPECT_EQ(error("f"), "Cannot read \"f/ball_50.png\": it is a dangling symbolic link\n");
  fs::create_symlink("gone.png", Dir.Path() / "lost.png");
  EXPECT_EQ(error("x=lost.png"), "Cannot read \"lost.png\": it is a dangling symbolic link\n");
  fs::create_symlink("gone.txt", Dir.Path() / "lost_Data.txt");
  EXPECT_EQ(error("lost_Data.txt"),
            "Cannot read \"lost_Data.txt\": it is a dangling symbolic link\n");
  EXPECT_EQ(error("x=none.png"), "Cannot read \"none.png\": it does not exist\n");
  // Permissions bind everyone but the superuser.
  if (::geteuid() != 0) {
    fs::permissions(Dir.Path() / "f/ball_0.bmp", fs::perms::none);
    EXPECT_EQ(error("x=f/ball_0.bmp"), "Cannot read \"f/ball_0.bmp\": permission denied\n");
  }
  EXPECT_FALSE(fs::exists(Dir.File("out.quv")));
}

TEST_F(CliPack, OutputOnAFullDiskLeavesTheOldFileWhole) {
  TSmallDisk disk;
  if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
  // A picture of 40,000 distinct pixels: a raw frame larger than the room left on the disk.
  std::vector<uint8_t> rgba(200 * 200 * 4, 255);
  for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = uint8_t(i * 13), rgba[i + 1] = uint8_t(i);
  WriteFileBytes(Dir.File("big.png"), EncodeRgbaPng(200, 200, rgba));
  const std::vector<uint8_t> old(100, 7);
  WriteFileBytes(disk / "out.quv", old);
  disk.Fill(8192);
  const TCliRun run = Run("pack --force --raw '" + (disk / "out.quv") + "' big=big.png");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("out.quv\": No space left on device"), std::string::npos) << run.Err;
  EXPECT_EQ(ReadFileBytes(disk / "out.quv"), old);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(disk.Path()))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".filler", "out.quv"}));
}

TEST_F(CliPack, HpiPackOfAnExtractedArchiveExtractsByteIdentical) {
  THpiBuilder builder;
  builder.HeaderKey = 0x2f6b3c1d;
  std::vector<uint8_t> big(200000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t((i * i) >> 7);
  builder.AddFile("anims/units/big.bin", big);
  builder.AddFile("anims/exact.bin", std::vector<uint8_t>(65536, 7));
  builder.AddFile("empty.txt", {});
  builder.AddFile("sample.quv", MakeSampleQuv());
  builder.AddDirectory("maps/empty");
  builder.WriteFile(Dir.File("source.hpi"));
  ASSERT_EQ(Run("hpi extract source.hpi --out tree").ExitCode, 0);
  fs::create_directories(Dir.Path() / "tree/maps/empty");
  for (const std::string options : {"", "--compression lz77 --key 0x1234567", "--compression none",
                                    "--compression zlib --level 9"}) {
    SCOPED_TRACE(options);
    const TCliRun pack = Run("hpi pack packed.hpi tree --force " + options);
    ASSERT_EQ(pack.ExitCode, 0) << pack.Err;
    fs::remove_all(Dir.Path() / "again");
    ASSERT_EQ(Run("hpi extract packed.hpi --out again").ExitCode, 0);
    EXPECT_EQ(Tree("again"), Tree("tree"));
    const TCliRun list = Run("hpi list packed.hpi");
    EXPECT_EQ(list.Out,
              "anims/\n65536\tanims/exact.bin\nanims/units/\n200000\tanims/units/big.bin\n"
              "0\tempty.txt\nmaps/\nmaps/empty/\n" +
                  std::to_string(MakeSampleQuv().size()) + "\tsample.quv\n");
  }
  EXPECT_NE(Run("hpi pack packed.hpi tree").Err.find("exists; --force replaces it"),
            std::string::npos);
}

TEST_F(CliPack, HpiPackRefusesWhatAnArchiveCannotHoldBeforeWriting) {
  fs::create_directories(Dir.Path() / "t/sub");
  WriteFileBytes(Dir.File("t/sub/a.txt"), {1});
  fs::create_symlink(Dir.Path() / "sample.quv", Dir.Path() / "t/out-link");
  TCliRun run = Run("hpi pack t.hpi t");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Err.find("out-link\" is a symbolic link that leads out of the folder"),
            std::string::npos)
      << run.Err;
  fs::remove(Dir.Path() / "t/out-link");
  fs::create_directory_symlink(Dir.Path() / "t", Dir.Path() / "t/sub/loop");
  run = Run("hpi pack t.hpi t");
  EXPECT_NE(run.Err.find("loop\" is a symbolic link back into a folder"), std::string::npos);
  fs::remove(Dir.Path() / "t/sub/loop");
  WriteFileBytes(Dir.File("t/sub/A.TXT"), {2});
  run = Run("hpi pack t.hpi t");
  EXPECT_NE(run.Err.find("differ only in case"), std::string::npos) << run.Err;
  fs::remove(Dir.Path() / "t/sub/A.TXT");
  WriteFileBytes(Dir.File("t/back\\slash"), {3});
  run = Run("hpi pack t.hpi t");
  EXPECT_NE(run.Err.find("has a backslash in its name"), std::string::npos) << run.Err;
  fs::remove(Dir.File("t/back\\slash"));
  run = Run("hpi pack t.hpi t --key 0x20000000");
  EXPECT_NE(run.Err.find("--key 0x20000000 is too large"), std::string::npos) << run.Err;
  EXPECT_FALSE(fs::exists(Dir.File("t.hpi")));
  EXPECT_EQ(Run("hpi pack t.hpi t").ExitCode, 0);
}

TEST_F(CliPack, FoldersOfTooManyEntriesAreRefusedByBothCommands) {
  fs::create_directories(Dir.Path() / "crowd");
  for (int i = 0; i <= 65535; ++i) std::ofstream(Dir.Path() / "crowd" / std::to_string(i));
  TCliRun run = Run("hpi pack crowd.hpi crowd");
  EXPECT_NE(run.Err.find("crowd\" holds more than 65535 entries"), std::string::npos) << run.Err;
  run = Run("pack crowd.quv x=crowd");
  EXPECT_NE(run.Err.find("Folder \"crowd\" holds more than 65535 entries"), std::string::npos)
      << run.Err;
  EXPECT_FALSE(fs::exists(Dir.File("crowd.hpi")));
  EXPECT_FALSE(fs::exists(Dir.File("crowd.quv")));
}
