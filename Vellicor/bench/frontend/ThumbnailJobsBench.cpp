// The thumbnails of 1,000 Quv files in 10 archives of a game folder made by the jobs with a cold
// cache (read, decoded, written to the cache folder), against the same 1,000 made one after
// another in one thread the way `vellicor-cli thumbnail` makes one (the file opened through its
// archive path, its PNG written atomically). Goal: the jobs within 4 x that time; with both
// cores working they should take less.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "GameFolderU.h"
#include "HpiBuilderU.h"
#include "ImageLoaderU.h"
#include "QuvDocumentU.h"
#include "QuvSamplesU.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"
#include "TempDirU.h"
#include "ThumbnailJobsU.h"
#include "ThumbnailU.h"

namespace {

using TClock = std::chrono::steady_clock;

constexpr int ArchiveCount = 10;
constexpr int FilesPerArchive = 100;
constexpr int32_t Side = 96;

// A game folder of ArchiveCount archives of FilesPerArchive Quv files (4 images of 4 frames of
// 48 x 48 pixels each, every file different), mounted once.
struct TBenchGame {
  TBenchGame() {
    Palette = BuiltInPalette();
    TransparentIndex = SampleTransparentIndex;
    std::filesystem::create_directories(Temp.Path() / "game");
    for (int archive = 0; archive < ArchiveCount; ++archive) {
      THpiBuilder builder;
      for (int file = 0; file < FilesPerArchive; ++file) {
        const int number = archive * FilesPerArchive + file;
        builder.AddFile(Format("anims/unit%04d.quv", number),
                        BuildQuvFile(SyntheticImages(4, 4, 48, 48, 1, number * 4)));
      }
      builder.WriteFile(Temp / Format("game/part%02d.hpi", archive));
    }
    Folder = std::make_unique<TGameFolder>(Temp / "game");
    for (int number = 0; number < ArchiveCount * FilesPerArchive; ++number) {
      const TFileEntry* file = Folder->FileSystem().FindFile(Format("anims\\unit%04d.quv", number));
      Items.push_back({file, {}, size_t(number)});
      OpenPaths.push_back(TGameFolder::OpenPathOf(*file));
    }
    Look.Side = Side;
    Look.Palette = Palette;
    Look.TransparentIndex = TransparentIndex;
  }

  TTempDir Temp{"thumbnail-bench"};
  std::unique_ptr<TGameFolder> Folder;
  std::vector<TThumbnailItem> Items;
  std::vector<std::string> OpenPaths;
  TThumbnailLook Look;
};

TBenchGame& BenchGame() {
  static TBenchGame game;
  return game;
}

// As `vellicor-cli thumbnail PATH OUT --size 96` makes each: open, draw, write.
double SequentialSeconds(const TBenchGame& game, const std::string& outFolder) {
  const auto start = TClock::now();
  const TOutputFolder out = TOutputFolder::Open(outFolder);
  TQuvDocumentOptions options;
  options.Palette = Palette;
  options.TransparentIndex = TransparentIndex;
  for (size_t i = 0; i < game.OpenPaths.size(); ++i) {
    TQuvDocumentResult opened = OpenQuvDocument(game.OpenPaths[i], options);
    if (!opened.Document) continue;
    const std::vector<uint8_t> png = ThumbnailPng(*opened.Document->Images, Side);
    WriteFileAtomically(out, Format("%zu.png", i),
                        std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
  }
  return std::chrono::duration<double>(TClock::now() - start).count();
}

void BM_ThousandThumbnailsColdVsOneByOne(benchmark::State& state) {
  TBenchGame& game = BenchGame();
  double jobsSeconds = 0, sequentialSeconds = 0;
  size_t made = 0, round = 0;
  for (auto _ : state) {
    ++round;
    // A cache folder never used before: nothing is found, everything is made and written.
    TThumbnailCache cache(game.Temp / Format("cache%zu", round));
    TThumbnailJobs jobs(cache);
    std::atomic<size_t> results{0};
    const auto start = TClock::now();
    jobs.Request(game.Items, game.Look,
                 [&](TThumbnailResult result) { results += result.Thumbnail.Failure.empty(); });
    jobs.Wait();
    jobsSeconds += std::chrono::duration<double>(TClock::now() - start).count();
    made = results;
    state.PauseTiming();
    sequentialSeconds += SequentialSeconds(game, game.Temp / Format("out%zu", round));
    state.ResumeTiming();
  }
  state.counters["thumbnails"] = double(made);
  state.counters["jobs_ms"] = jobsSeconds * 1000 / double(state.iterations());
  state.counters["one_by_one_ms"] = sequentialSeconds * 1000 / double(state.iterations());
  state.counters["ratio_to_one_by_one"] = jobsSeconds / sequentialSeconds;
}

// A second visit: every thumbnail from the cache folder.
void BM_ThousandThumbnailsFromTheCache(benchmark::State& state) {
  TBenchGame& game = BenchGame();
  TThumbnailCache cache(game.Temp / "warm");
  {
    TThumbnailJobs jobs(cache);
    jobs.Request(game.Items, game.Look, [](TThumbnailResult) {});
    jobs.Wait();
  }
  size_t decoded = 0;
  for (auto _ : state) {
    TThumbnailCache again(game.Temp / "warm");
    TThumbnailJobs jobs(again);
    jobs.Request(game.Items, game.Look, [](TThumbnailResult) {});
    jobs.Wait();
    decoded += jobs.DecodedCount();
  }
  state.counters["decoded"] = double(decoded);
}

BENCHMARK(BM_ThousandThumbnailsColdVsOneByOne)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ThousandThumbnailsFromTheCache)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
