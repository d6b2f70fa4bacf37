// The search of a game folder of 20 archives with 100,000 entries in all, as a keystroke runs
// it (a part of a name, a mask, a query that finds thousands); and the index of the image names
// of 5,000 small Quv files against reading the same files whole, as cat does, in the same run.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "GameFolderU.h"
#include "GameSamplesU.h"
#include "GameSearchU.h"
#include "ImageNameIndexU.h"
#include "QuvSamplesU.h"
#include "SafeFileU.h"
#include "TempDirU.h"

namespace {

namespace fs = std::filesystem;

constexpr int Archives = 20;
constexpr int EntriesPerArchive = 5000;
constexpr int QuvFiles = 5000;

struct TBigGame {
  TBigGame() {
    WriteManyEntryGame(Temp.File("game"), Archives, EntriesPerArchive);
    Game = std::make_unique<TGameFolder>(Temp.File("game"));
    Search = std::make_unique<TGameSearch>(*Game);
    Index = TImageNameIndex::Build(*Game);
  }
  TTempDir Temp{"search-bench"};
  std::unique_ptr<TGameFolder> Game;
  std::unique_ptr<TGameSearch> Search;
  std::shared_ptr<TImageNameIndex> Index;
};

TBigGame& BigGame() {
  static TBigGame game;
  return game;
}

// 5,000 small Quv files of two images each, 50 to a folder.
struct TQuvFolder {
  TQuvFolder() {
    for (int i = 0; i < QuvFiles; ++i) {
      const std::vector<uint8_t> bytes = BuildQuvFile(SyntheticImages(2, 2, 16, 16, 1, 2 * i), 1);
      const fs::path path = Temp.Path() / "game" / ("dir" + std::to_string(i / 50)) /
                            ("unit" + std::to_string(i) + ".quv");
      fs::create_directories(path.parent_path());
      WriteFileAtomically(path.string(), std::string(bytes.begin(), bytes.end()));
      Paths.push_back(path.string());
    }
    Game = std::make_unique<TGameFolder>(Temp.File("game"));
  }
  TTempDir Temp{"index-bench"};
  std::vector<std::string> Paths;
  std::unique_ptr<TGameFolder> Game;
};

TQuvFolder& QuvFolder() {
  static TQuvFolder folder;
  return folder;
}

void Keystroke(benchmark::State& state, const std::string& pattern) {
  TBigGame& game = BigGame();
  size_t total = 0;
  for (auto _ : state) {
    auto results = game.Search->Find(pattern, game.Index.get(), 5000, &total);
    benchmark::DoNotOptimize(results);
  }
  state.counters["entries"] = double(game.Search->FileCount());
  state.counters["found"] = double(total);
}

void BM_SearchPartOfName(benchmark::State& state) {
  Keystroke(state, "file1234");
}
BENCHMARK(BM_SearchPartOfName)->Unit(benchmark::kMillisecond);

void BM_SearchMask(benchmark::State& state) {
  Keystroke(state, "unit*0.quv");
}
BENCHMARK(BM_SearchMask)->Unit(benchmark::kMillisecond);

// The first letter typed: nearly every entry matches, the first 5,000 are listed.
void BM_SearchFindsThousands(benchmark::State& state) {
  Keystroke(state, "d");
}
BENCHMARK(BM_SearchFindsThousands)->Unit(benchmark::kMillisecond);

// What the browser does on the window's thread after every mount before the first keystroke.
void BM_SearchListOf100kEntries(benchmark::State& state) {
  TBigGame& game = BigGame();
  for (auto _ : state) {
    TGameSearch search(*game.Game);
    benchmark::DoNotOptimize(search);
  }
}
BENCHMARK(BM_SearchListOf100kEntries)->Unit(benchmark::kMillisecond);

void BM_IndexOf5000QuvFiles(benchmark::State& state) {
  TQuvFolder& folder = QuvFolder();
  for (auto _ : state) {
    auto index = TImageNameIndex::Build(*folder.Game);
    benchmark::DoNotOptimize(index);
  }
}
BENCHMARK(BM_IndexOf5000QuvFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

// The baseline: each file read whole, one after another, as cat reads them.
void BM_ReadThe5000QuvFiles(benchmark::State& state) {
  TQuvFolder& folder = QuvFolder();
  for (auto _ : state) {
    size_t bytes = 0;
    for (const std::string& path : folder.Paths) bytes += ReadRegularFile(path, 1 << 20).size();
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_ReadThe5000QuvFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
