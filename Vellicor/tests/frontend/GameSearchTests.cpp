// A game folder as the game sees it: which archive or folder each file of the merged tree comes
// from and which copies it hides; the image names read from Quv headers, and refused with the
// file named when a file lies; the index of a whole folder built on worker threads; and the
// search by file name and image name over the merged tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <set>

#include "ExceptionsU.h"
#include "FileMaskU.h"
#include "FrontendTestUtilsU.h"
#include "GameFolderU.h"
#include "GameSamplesU.h"
#include "GameSearchU.h"
#include "ImageNameIndexU.h"
#include "QuvImageNamesU.h"
#include "QuvManagerU.h"

namespace {

namespace fs = std::filesystem;

// The origins of a file and of the copies it hides, in the order they stand.
std::vector<std::string> Origins(TGameFolder& game, const std::string& path) {
  const TFileEntry* file = game.FileSystem().FindFile(path);
  if (!file) return {};
  std::vector<std::string> origins{game.OriginName(*file)};
  for (const TFileEntry* copy : TGameFolder::HiddenCopies(*file))
    origins.push_back(game.OriginName(*copy));
  return origins;
}

std::vector<std::string> Paths(const std::vector<TGameSearchResult>& results) {
  std::vector<std::string> paths;
  for (const TGameSearchResult& result : results) paths.push_back(result.Path);
  return paths;
}

class GameFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteSampleGame(Dir.File("game")); }
  TTempDir Dir{"game"};
};

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::string NamesError(const std::vector<uint8_t>& bytes) {
  try {
    QuvImageNames(bytes.data(), bytes.size(), "units/x.quv");
  } catch (const EQuvFileError& error) {
    return error.what();
  }
  return "(no error)";
}

}  // namespace

TEST_F(GameFolderTest, EachFileNamesItsOriginAndTheCopiesItHidesInTheOrderTheyStand) {
  TGameFolder game(Dir.File("game"));
  // Disk files are met before any archive's; the game folder's own archives before those of
  // its sub-folders.
  EXPECT_EQ(Origins(game, "readme.txt"), (std::vector<std::string>{"./", "base.hpi"}));
  EXPECT_EQ(Origins(game, "units/tank.quv"),
            (std::vector<std::string>{"units/", "base.hpi", "mods/extra.ufo"}));
  EXPECT_EQ(Origins(game, "units/armcom.quv"),
            (std::vector<std::string>{"base.hpi", "mods/extra.ufo"}));
  EXPECT_EQ(Origins(game, "sounds/boom.wav"),
            (std::vector<std::string>{"base.hpi", "mods/patch.hpi"}));
  EXPECT_EQ(Origins(game, "units/broken.quv"), (std::vector<std::string>{"mods/extra.ufo"}));
  EXPECT_EQ(Origins(game, "units/plane.quv"), (std::vector<std::string>{"mods/extra.ufo"}));
  EXPECT_EQ(Origins(game, "mods/patch.hpi"), (std::vector<std::string>{"mods/"}));
  EXPECT_EQ(Origins(game, "base.hpi"), (std::vector<std::string>{"./"}));
  // Archives of one folder are mounted in name order, whatever order the disk lists them in.
  EXPECT_EQ(Origins(game, "units/scout.quv"),
            (std::vector<std::string>{"mods/extra.ufo", "mods/patch.hpi"}));

  // What the viewer opens, and the bytes of the standing copy.
  const TFileEntry* boom = game.FileSystem().FindFile("sounds/boom.wav");
  ASSERT_NE(boom, nullptr);
  EXPECT_EQ(
      TGameFolder::OpenPathOf(*boom),
      (fs::absolute(Dir.Path() / "game/base.hpi") / "sounds/boom.wav").lexically_normal().string());
  TGameReadCache cache;
  EXPECT_EQ(TGameFolder::ReadFile(*boom, cache), Bytes("RIFF base boom"));
  EXPECT_EQ(TGameFolder::ReadFile(*TGameFolder::HiddenCopies(*boom).at(0), cache),
            Bytes("RIFF patched boom"));
}

TEST_F(GameFolderTest, AFileWhoseArchiveWentSinceTheMountSaysSoEachTime) {
  TGameFolder game(Dir.File("game"));
  const TFileEntry* scout = game.FileSystem().FindFile("units/scout.quv");
  ASSERT_NE(scout, nullptr);
  fs::remove(Dir.Path() / "game/mods/extra.ufo");
  TGameReadCache cache;
  for (int time = 0; time < 2; ++time) {
    try {
      TGameFolder::ReadFile(*scout, cache);
      ADD_FAILURE() << "read a file of an archive that is gone";
    } catch (const Exception& error) {
      EXPECT_NE(std::string(error.what()).find("extra.ufo"), std::string::npos) << error.what();
    }
  }
  // The standing copies of the archives still there are read through the same cache.
  EXPECT_EQ(TGameFolder::ReadFile(*game.FileSystem().FindFile("sounds/boom.wav"), cache),
            Bytes("RIFF base boom"));
}

TEST(QuvImageNames, AreTheNamesTheReaderLoadsInFileOrderFromTheHeaderAlone) {
  std::vector<TSampleImage> images = {{"tank", {SolidFrame(2, 2, 0, 0, 20)}},
                                      {"Turret", {SolidFrame(3, 2, 1, 0, 21)}},
                                      {"tanx", {SolidFrame(2, 2, 0, 0, 22)}}};
  std::vector<uint8_t> bytes = BuildQuvFile(images, 1);
  bytes[Le32(bytes, 20) + 8 + 3] = 'k';  // the third image named as the first
  // A repeated name is left out, as the reader leaves the image out.
  EXPECT_EQ(QuvImageNames(bytes.data(), bytes.size(), "x.quv"),
            (std::vector<std::string>{"tank", "Turret"}));
  // Frame data are never looked at: a file whose pixels are cut away still names its image.
  std::vector<uint8_t> cut = BuildQuvFile({images[1]}, 1);
  cut.resize(Le32(cut, Le32(cut, Le32(cut, 12) + 40) + 16));
  EXPECT_EQ(QuvImageNames(cut.data(), cut.size(), "x.quv"), (std::vector<std::string>{"Turret"}));
  // An entry of zero frames is skipped as the reader skips it.
  std::vector<uint8_t> zero = bytes;
  zero[Le32(zero, 12)] = 0;
  zero[Le32(zero, 12) + 1] = 0;
  EXPECT_EQ(QuvImageNames(zero.data(), zero.size(), "x.quv"),
            (std::vector<std::string>{"Turret", "tank"}));
}

TEST(QuvImageNames, RefuseAFileThatLiesNamingIt) {
  const std::vector<uint8_t> good = BuildQuvFile({{"x", {SolidFrame(2, 2, 0, 0, 20)}}}, 1);
  EXPECT_EQ(NamesError({}), "File \"units/x.quv\" has a zero length");
  EXPECT_EQ(NamesError({0x00, 0x01, 0x01}), "In file \"units/x.quv\" : Stream read error");
  std::vector<uint8_t> many = good;
  many[7] = 0x10;  // 268 million entries in a file of a hundred bytes
  EXPECT_EQ(NamesError(many),
            "In file \"units/x.quv\" : Number Of entries( 268435457 ) in Quv header is invalid ");
  std::vector<uint8_t> outside = good;
  outside[12] = 0xF0;
  EXPECT_EQ(NamesError(outside),
            "In file \"units/x.quv\" : Assertion failure: Quv entry offset 240 is invalid");
  std::vector<uint8_t> shortEntry(good.begin(), good.begin() + Le32(good, 12) + 20);
  EXPECT_EQ(NamesError(shortEntry), "In file \"units/x.quv\" : Stream read error");
  EXPECT_EQ(NamesError(Bytes("this is not a sprite file")), "\"units/x.quv\" is not a Quv file");
  std::vector<uint8_t> frames = good;
  frames[Le32(good, 12)] = 0xFF;  // 255 frame rows do not fit in the file
  frames[Le32(good, 12) + 1] = 0xFF;
  EXPECT_EQ(NamesError(frames),
            "In file \"units/x.quv\" : Quv entry \"x\" has more frames than the file can hold");
}

TEST_F(GameFolderTest, TheIndexReadsEveryStandingQuvFileAndRecordsTheBrokenOne) {
  TGameFolder game(Dir.File("game"));
  std::mutex lock;
  std::vector<size_t> dones;
  size_t lastTotal = 0;
  const auto index = TImageNameIndex::Build(
      game, nullptr,
      [&](size_t done, size_t total) {
        std::lock_guard<std::mutex> guard(lock);
        dones.push_back(done);
        lastTotal = total;
      },
      2);
  ASSERT_TRUE(index->Complete());
  std::vector<std::string> paths;
  for (const TImageNameRecord& record : index->Records()) paths.push_back(record.Path);
  EXPECT_EQ(paths,
            (std::vector<std::string>{"units/armcom.quv", "units/broken.quv", "units/Plane.QUV",
                                      "units/scout.quv", "units/tank.quv"}));
  EXPECT_EQ(index->Find("UNITS/ARMCOM.QUV")->Images,
            (std::vector<std::string>{"ARMCOM", "armcom_dead"}));
  EXPECT_EQ(index->Find("units/tank.quv")->Images, (std::vector<std::string>{"tank_disk"}));
  EXPECT_EQ(index->Find("units/broken.quv")->Error, "\"units/broken.quv\" is not a Quv file");
  EXPECT_TRUE(index->Find("units/broken.quv")->Images.empty());
  EXPECT_EQ(index->UnreadableCount(), 1u);
  EXPECT_EQ(lastTotal, 5u);
  std::sort(dones.begin(), dones.end());
  EXPECT_EQ(dones, (std::vector<size_t>{1, 2, 3, 4, 5}));

  // Cancelled before it starts: nothing is read, and the index says it is not whole.
  std::atomic<bool> cancel{true};
  const auto cancelled = TImageNameIndex::Build(game, &cancel);
  EXPECT_FALSE(cancelled->Complete());
  EXPECT_TRUE(cancelled->Records().empty());
}

TEST_F(GameFolderTest, SearchFindsFileNamesAndImageNamesWithoutRegardToCase) {
  TGameFolder game(Dir.File("game"));
  const TGameSearch search(game);
  const auto index = TImageNameIndex::Build(game);

  // A part of the path, any case.
  const auto tank = search.Find("TANK");
  ASSERT_EQ(Paths(tank), (std::vector<std::string>{"units/tank.quv"}));
  EXPECT_EQ(tank[0].Origin, "units/");
  EXPECT_EQ(tank[0].OpenPath,
            (fs::absolute(Dir.Path() / "game/units/tank.quv")).lexically_normal().string());
  EXPECT_EQ(Paths(search.Find("sounds/")), (std::vector<std::string>{"sounds/boom.wav"}));
  // A mask matches the file name, or the whole path when it holds a '/'.
  EXPECT_EQ(Paths(search.Find("*.QUV")),
            (std::vector<std::string>{"units/armcom.quv", "units/broken.quv", "units/Plane.QUV",
                                      "units/scout.quv", "units/tank.quv"}));
  EXPECT_EQ(Paths(search.Find("[bp]*")),
            (std::vector<std::string>{"base.hpi", "mods/patch.hpi", "sounds/boom.wav",
                                      "units/broken.quv", "units/Plane.QUV"}));
  EXPECT_EQ(Paths(search.Find("units/?lane.quv")), (std::vector<std::string>{"units/Plane.QUV"}));
  EXPECT_TRUE(search.Find("units").size() == 5u);
  EXPECT_TRUE(search.Find("nothing here").empty());
  EXPECT_TRUE(search.Find("").empty());
  EXPECT_THROW(search.Find("[a"), EMaskException);

  // Image names, found only with the index, and only in the copies that stand.
  EXPECT_TRUE(search.Find("armcom_dead").empty());
  const auto armcom = search.Find("Armcom", index.get());
  ASSERT_EQ(Paths(armcom), (std::vector<std::string>{"units/armcom.quv"}));
  EXPECT_EQ(armcom[0].Origin, "base.hpi");
  EXPECT_EQ(armcom[0].Images, (std::vector<std::string>{"ARMCOM", "armcom_dead"}));
  EXPECT_EQ(armcom[0].OpenPath, (fs::absolute(Dir.Path() / "game/base.hpi") / "units/armcom.quv")
                                    .lexically_normal()
                                    .string());
  const auto shadow = search.Find("*_shadow", index.get());
  ASSERT_EQ(Paths(shadow), (std::vector<std::string>{"units/Plane.QUV"}));
  EXPECT_EQ(shadow[0].Images, (std::vector<std::string>{"plane_shadow"}));
  EXPECT_TRUE(search.Find("tank_mod", index.get()).empty());  // a hidden copy's image
  // A file found by its name and its images alike is listed once, with the images.
  const auto plane = search.Find("plane", index.get());
  ASSERT_EQ(plane.size(), 1u);
  EXPECT_EQ(plane[0].Images, (std::vector<std::string>{"plane", "plane_shadow"}));

  // A limit lists the first results in tree order and counts them all.
  size_t total = 0;
  const auto first = search.Find(".", index.get(), 2, &total);
  EXPECT_EQ(Paths(first), (std::vector<std::string>{"base.hpi", "mods/extra.ufo"}));
  EXPECT_EQ(total, search.FileCount());
}
