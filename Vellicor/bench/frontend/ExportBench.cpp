// Exporting every frame of a generated file (200 images x 8 frames of 64 x 64) as BMP files, at
// 24 and at 8 bits, against writing files of the same sizes with plain writes in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "FileSystemU.h"
#include "FrameExportU.h"
#include "ImageLoaderU.h"
#include "MemoryFileReaderU.h"
#include "QuvManagerU.h"
#include "QuvSamplesU.h"
#include "TempDirU.h"

namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

constexpr int32_t ImageCount = 200;
constexpr int32_t FrameCount = 8;

struct TBenchFile {
  TBenchFile() {
    Palette = BuiltInPalette();
    TransparentIndex = SampleTransparentIndex;
    FileSystem.Initialize();
    AddMemoryFile(FileSystem, "bench.quv",
                  std::make_shared<const std::vector<uint8_t>>(
                      MakeSyntheticQuv(ImageCount, FrameCount, 64, 64)));
  }
  ~TBenchFile() { FileSystem.Finalize(); }

  // A fresh manager and collection, as a newly opened view has them: nothing decoded yet.
  std::unique_ptr<TQuvManager> OpenManager() {
    auto manager = std::make_unique<TQuvManager>();
    manager->FileSystem = &FileSystem;
    manager->TrueColour = true;
    manager->Palette = Palette;
    manager->TransparentIndex = TransparentIndex;
    manager->Initialize();
    return manager;
  }

  // Both sides write into an empty folder, as a user's export usually does: replacing files
  // costs the file system more than creating them, and that cost is not ours.
  void EmptyFolder() {
    for (const auto& entry : fs::directory_iterator(Folder)) fs::remove(entry.path());
  }

  TFileSystem FileSystem;
  TTempDir Temp{"frontend-bench"};
  const fs::path Folder = Temp.Path();
};

TBenchFile& BenchFile() {
  static TBenchFile file;
  return file;
}

// The same number of files with the same sizes, written with plain stdio writes.
double PlainWriteSeconds(const std::vector<std::pair<std::string, size_t>>& files) {
  static std::vector<char> bytes;
  const auto start = TClock::now();
  for (const auto& [name, size] : files) {
    if (bytes.size() < size) bytes.resize(size, 'x');
    FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) continue;
    std::fwrite(bytes.data(), 1, size, f);
    std::fclose(f);
  }
  return std::chrono::duration<double>(TClock::now() - start).count();
}

void ExportEveryFrame(benchmark::State& state, TPixelFormat format) {
  TBenchFile& file = BenchFile();
  double exportSeconds = 0, plainSeconds = 0;
  std::vector<std::pair<std::string, size_t>> written;
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<TQuvManager> manager = file.OpenManager();
    std::unique_ptr<TImageClass> images = manager->LoadFile("bench.quv");
    TFrontEndImages frontEnd(images.get());
    frontEnd.ExportPixelFormat = format;
    frontEnd.AutoPad = true;
    written.clear();
    frontEnd.OnFileWritten = [&](const std::string& name) { written.emplace_back(name, 0); };
    file.EmptyFolder();
    state.ResumeTiming();

    const auto start = TClock::now();
    TExportPlan plan;
    frontEnd.ExportAllImages(plan, efBmp, file.Folder.string(), FrameNameFormat);
    exportSeconds += std::chrono::duration<double>(TClock::now() - start).count();

    state.PauseTiming();
    for (auto& [name, size] : written) size = fs::file_size(name);
    file.EmptyFolder();
    plainSeconds += PlainWriteSeconds(written);
    state.ResumeTiming();
  }
  const double frames = double(ImageCount) * FrameCount * state.iterations();
  state.counters["frames_per_second"] = frames / exportSeconds;
  state.counters["plain_files_per_second"] = frames / plainSeconds;
  state.counters["ratio_to_plain_writes"] = exportSeconds / plainSeconds;
  state.counters["files"] = double(written.size());
}

void BM_ExportEveryFrame24(benchmark::State& state) {
  ExportEveryFrame(state, pf24bit);
}
void BM_ExportEveryFrame8(benchmark::State& state) {
  ExportEveryFrame(state, pf8bit);
}

BENCHMARK(BM_ExportEveryFrame24)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ExportEveryFrame8)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
