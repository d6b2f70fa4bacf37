// Thumbnails of a game folder made by the workers and kept in the cache folder: a second visit
// decodes nothing, a rewritten archive is seen as changed, a cache file of another key or a
// broken one is no entry, a broken Quv file is told with its reason (and that, too, is kept),
// a newer request drops the older one, and the folder stays within its bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "GameFolderU.h"
#include "HpiBuilderU.h"
#include "ImageLoaderU.h"
#include "QuvSamplesU.h"
#include "SafeFileU.h"
#include "TempDirU.h"
#include "ThumbnailCacheU.h"
#include "ThumbnailJobsU.h"

namespace {

namespace fs = std::filesystem;

constexpr uint8_t Red = 40;
constexpr uint8_t Blue = 80;

// A Quv file of one image whose first frame is width x height pixels of one colour.
std::vector<uint8_t> SolidQuv(int32_t width, int32_t height, uint8_t colour) {
  return BuildQuvFile({TSampleImage{"solid", {SolidFrame(width, height, 0, 0, colour)}}});
}

TThumbnailLook Look(int32_t side = 32) {
  TThumbnailLook look;
  look.Side = side;
  look.Palette = BuiltInPalette();
  look.TransparentIndex = SampleTransparentIndex;
  return look;
}

// The RGBA of palette entry index, opaque.
std::vector<uint8_t> Colour(uint8_t index) {
  const TPaletteEntry& entry = BuiltInPalette()[index];
  return {entry[0], entry[1], entry[2], 255};
}

std::vector<uint8_t> PixelAt(const TPicture& rgba, int32_t x, int32_t y) {
  const uint8_t* pixel = rgba.Row(y) + size_t(x) * 4;
  return {pixel, pixel + 4};
}

class ThumbnailJobsTest : public ::testing::Test {
 protected:
  // base.hpi: units/a.quv (red 8 x 8), units/b.quv (blue 8 x 4), units/broken.quv (not a Quv
  // file); beside it on disk loose.quv (blue 4 x 4).
  void SetUp() override {
    WriteArchive(Red);
    const std::vector<uint8_t> loose = SolidQuv(4, 4, Blue);
    Dir.Write("game/loose.quv", std::string(loose.begin(), loose.end()));
  }
  void WriteArchive(uint8_t firstColour) {
    THpiBuilder builder;
    builder.AddFile("units/a.quv", SolidQuv(8, 8, firstColour));
    builder.AddFile("units/b.quv", SolidQuv(8, 4, Blue));
    builder.AddFile("units/broken.quv", {'n', 'o', 't', ' ', 'q', 'u', 'v', 0, 0, 0, 0, 0, 0});
    fs::create_directories(Dir.Path() / "game");
    builder.WriteFile(Dir / "game/base.hpi");
  }

  // Every thumbnail of the four files through fresh jobs over a fresh cache object (as a new
  // run of the program would), by file name; decoded receives how many were decoded.
  std::map<std::string, TThumbnailResult> Visit(size_t* decoded = nullptr) {
    TGameFolder folder(Dir / "game");
    std::vector<TThumbnailItem> items;
    for (const char* path : {"units\\a.quv", "units\\b.quv", "units\\broken.quv", "loose.quv"}) {
      const TFileEntry* file = folder.FileSystem().FindFile(path);
      EXPECT_NE(file, nullptr) << path;
      if (file) items.push_back({file, {}, items.size()});
    }
    TThumbnailCache cache(CacheFolder());
    TThumbnailJobs jobs(cache);
    std::mutex lock;
    std::map<std::string, TThumbnailResult> results;
    jobs.Request(items, Look(), [&](TThumbnailResult result) {
      const std::lock_guard guard(lock);
      results[items[result.Tag].File->Name] = std::move(result);
    });
    jobs.Wait();
    if (decoded) *decoded = jobs.DecodedCount();
    return results;
  }
  std::string CacheFolder() const { return Dir / "cache/vellicor/thumbnails"; }

  TTempDir Dir{"thumbnails"};
};

}  // namespace

TEST_F(ThumbnailJobsTest, SecondVisitDecodesNothingAndARewrittenArchiveShowsItsNewPictures) {
  size_t decoded = 0;
  std::map<std::string, TThumbnailResult> first = Visit(&decoded);
  ASSERT_EQ(first.size(), 4u);
  EXPECT_EQ(decoded, 4u);
  // Each frame fitted into 32 x 32 with whole factors: 8 x 8 -> 32 x 32, 8 x 4 -> 32 x 16.
  const TPicture& a = first["a.quv"].Thumbnail.Rgba;
  ASSERT_EQ(a.Width, 32);
  ASSERT_EQ(a.Height, 32);
  EXPECT_EQ(PixelAt(a, 0, 0), Colour(Red));
  EXPECT_EQ(PixelAt(a, 31, 31), Colour(Red));
  EXPECT_EQ(first["b.quv"].Thumbnail.Rgba.Height, 16);
  EXPECT_EQ(PixelAt(first["loose.quv"].Thumbnail.Rgba, 5, 5), Colour(Blue));
  EXPECT_FALSE(first["broken.quv"].Thumbnail.Failure.empty());
  EXPECT_TRUE(first["broken.quv"].Thumbnail.Rgba.Pixels.empty());

  std::map<std::string, TThumbnailResult> second = Visit(&decoded);
  EXPECT_EQ(decoded, 0u);
  for (const auto& [name, result] : second) {
    EXPECT_TRUE(result.FromCache) << name;
    EXPECT_EQ(result.Thumbnail.Rgba.Pixels, first[name].Thumbnail.Rgba.Pixels) << name;
    EXPECT_EQ(result.Thumbnail.Failure, first[name].Thumbnail.Failure) << name;
  }

  WriteArchive(Blue);  // a.quv is blue now
  std::map<std::string, TThumbnailResult> third = Visit(&decoded);
  EXPECT_EQ(decoded, 3u);  // the archive's three files; the loose file is unchanged
  EXPECT_TRUE(third["loose.quv"].FromCache);
  EXPECT_EQ(PixelAt(third["a.quv"].Thumbnail.Rgba, 16, 16), Colour(Blue));
}

TEST_F(ThumbnailJobsTest, ABrokenFileIsToldWithItsReasonAndNotDecodedAgain) {
  const std::string reason = Visit()["broken.quv"].Thumbnail.Failure;
  EXPECT_NE(reason.find("broken.quv"), std::string::npos) << reason;
  // Also told again from the cache, word for word, without reading the file.
  size_t decoded = 1;
  EXPECT_EQ(Visit(&decoded)["broken.quv"].Thumbnail.Failure, reason);
  EXPECT_EQ(decoded, 0u);
}

TEST_F(ThumbnailJobsTest, PathsOnDiskAndThroughAnArchiveAreShownToo) {
  TThumbnailCache cache(CacheFolder());
  TGameReadCache reads;
  bool decoded = false;
  const TThumbnailItem inArchive{nullptr, Dir / "game/base.hpi/units/b.quv", 0};
  const TCachedThumbnail b = MakeThumbnail(inArchive, Look(), cache, reads, decoded);
  EXPECT_TRUE(decoded);
  EXPECT_EQ(b.Rgba.Height, 16);
  EXPECT_EQ(PixelAt(b.Rgba, 1, 1), Colour(Blue));
  MakeThumbnail(inArchive, Look(), cache, reads, decoded);
  EXPECT_FALSE(decoded);
  const TCachedThumbnail missing =
      MakeThumbnail({nullptr, Dir / "game/none.quv", 0}, Look(), cache, reads, decoded);
  EXPECT_NE(missing.Failure.find("none.quv"), std::string::npos) << missing.Failure;
}

TEST_F(ThumbnailJobsTest, ACacheFileOfAnotherKeyOrBrokenIsNoEntry) {
  TThumbnailCache cache(CacheFolder());
  const TFileStamp stamp{1, 2, 3, 4};
  const TThumbnailKey key = ThumbnailKeyOf({Dir / "x.hpi", true, "a.quv"}, stamp, Look());
  const TThumbnailKey other = ThumbnailKeyOf({Dir / "x.hpi", true, "b.quv"}, stamp, Look());
  ASSERT_NE(key.FileName(), other.FileName());
  TCachedThumbnail entry;
  entry.Rgba = TPicture(2, 2, 4, 200);
  ASSERT_TRUE(cache.Store(key, entry));
  ASSERT_TRUE(cache.Find(key));
  EXPECT_EQ(cache.Find(key)->Rgba.Pixels, entry.Rgba.Pixels);

  // Another key's file under this key's name, as a clash of their hashes would leave it.
  const std::string keyFile = CacheFolder() + "/" + key.FileName();
  const std::string otherFile = CacheFolder() + "/" + other.FileName();
  fs::copy_file(keyFile, otherFile);
  EXPECT_FALSE(cache.Find(other));

  // Cut short, or not a picture at all.
  const std::string whole = ReadRegularFile(keyFile, 1 << 20);
  WriteFileAtomically(keyFile, whole.substr(0, whole.size() / 2));
  EXPECT_FALSE(cache.Find(key));
  WriteFileAtomically(keyFile, "garbage");
  EXPECT_FALSE(cache.Find(key));
  // Made anew, it is found again.
  ASSERT_TRUE(cache.Store(key, entry));
  EXPECT_TRUE(cache.Find(key));

  // Other sizes, colours or file stamps are other keys.
  EXPECT_NE(ThumbnailKeyOf({Dir / "x.hpi", true, "a.quv"}, stamp, Look(33)).Text, key.Text);
  TFileStamp rewritten = stamp;
  rewritten.ModifiedNs += 1;
  EXPECT_NE(ThumbnailKeyOf({Dir / "x.hpi", true, "a.quv"}, rewritten, Look()).Text, key.Text);
}

TEST_F(ThumbnailJobsTest, TheCacheFolderKeepsWithinItsBound) {
  TThumbnailCache cache(CacheFolder(), 10);
  TCachedThumbnail entry;
  entry.Rgba = TPicture(1, 1, 4, 7);
  for (int i = 0; i < 25; ++i)
    ASSERT_TRUE(cache.Store(
        ThumbnailKeyOf({Dir / "x.hpi", true, std::to_string(i)}, TFileStamp{}, Look()), entry));
  size_t files = 0;
  for (const auto& file : fs::directory_iterator(CacheFolder())) files += file.is_regular_file();
  EXPECT_LE(files, 10u);
  EXPECT_GE(files, 5u);
}

TEST_F(ThumbnailJobsTest, ANewerRequestDropsTheOlderOnesWork) {
  TGameFolder folder(Dir / "game");
  const TFileEntry* file = folder.FileSystem().FindFile("units\\a.quv");
  ASSERT_NE(file, nullptr);
  // A cache that cannot be written: every one of the many items is decoded.
  TThumbnailCache cache(Dir / "game/loose.quv/cache");
  TThumbnailJobs jobs(cache);
  std::atomic<int> oldDelivered{0}, lateOld{0}, newDelivered{0};
  std::atomic<bool> replaced{false};
  std::vector<TThumbnailItem> many(400, TThumbnailItem{file, {}, 0});
  TThumbnailLook look = Look(200);
  const uint64_t first = jobs.Request(many, look, [&](TThumbnailResult result) {
    ++oldDelivered;
    if (replaced) ++lateOld;
    EXPECT_EQ(result.Tag, 0u);
  });
  const uint64_t second = jobs.Request({{file, {}, 7}}, Look(), [&](TThumbnailResult result) {
    EXPECT_EQ(result.Tag, 7u);
    ++newDelivered;
  });
  replaced = true;
  EXPECT_NE(first, second);
  jobs.Wait();
  EXPECT_EQ(lateOld, 0);
  EXPECT_LT(oldDelivered, 400);
  EXPECT_EQ(newDelivered, 1);
}
