// One 64 x 64 frame as a PNG (RGBA and indexed) against the same frame as a BMP, both as the
// encoder alone and as the whole export of a file's frames to disk; the PNG's deflate level is
// chosen so that a frame's PNG export costs at most 3x its BMP export.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

#include "BmpWriterU.h"
#include "FileSystemU.h"
#include "ImageExportU.h"
#include "ImageLoaderU.h"
#include "MemoryFileReaderU.h"
#include "PngWriterU.h"
#include "QuvManagerU.h"
#include "QuvSamplesU.h"
#include "TempDirU.h"

namespace {

// One frame of the synthetic pattern as palette indices, and as the 24-bit bitmap the BMP
// export writes.
struct TBenchFrame {
  TBenchFrame() {
    Palette = BuiltInPalette();
    const TSampleFrame frame = SyntheticImages(1, 1, 64, 64)[0].Frames[0];
    Indices = TPicture(frame.Width, frame.Height, 1);
    Indices.Pixels = frame.Pixels;
    Bitmap.SetSize(frame.Width, frame.Height);
    for (int32_t y = 0; y < frame.Height; ++y)
      for (int32_t x = 0; x < frame.Width; ++x) {
        const TPaletteEntry& c = Palette[Indices.Row(y)[x]];
        Bitmap.SetPixel(x, y, {c[0], c[1], c[2]});
      }
  }
  TPicture Indices;
  TBitmap Bitmap;
};

const TBenchFrame& Frame() {
  static const TBenchFrame frame;
  return frame;
}

void BM_EncodeFrameBmp24(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(EncodeBmp(Frame().Bitmap));
}

// The whole PNG path of a frame: indices to colours, then the file.
void BM_EncodeFramePng(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(
        EncodePng(IndicesToRgba(Frame().Indices, Palette, SampleTransparentIndex)));
}

void BM_EncodeFramePng8(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(EncodePng8(Frame().Indices, Palette, SampleTransparentIndex));
}

// Every frame of 50 images x 8 frames exported into an empty folder; the counter is the time
// per frame (the bitmap or index picture is built on the way, as a user's export does).
void ExportEveryFrame(benchmark::State& state, TExportFormat format) {
  namespace fs = std::filesystem;
  static TFileSystem fileSystem;
  static const bool mounted = [] {
    fileSystem.Initialize();
    AddMemoryFile(fileSystem, "png-bench.quv",
                  std::make_shared<const std::vector<uint8_t>>(MakeSyntheticQuv(50, 8, 64, 64)));
    return true;
  }();
  (void)mounted;
  Palette = BuiltInPalette();
  TransparentIndex = SampleTransparentIndex;
  const TTempDir temp("png-bench");
  const fs::path folder = temp.Path() / "out";
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(folder);
    fs::create_directories(folder);
    TQuvManager manager;
    manager.FileSystem = &fileSystem;
    manager.Palette = Palette;
    manager.TransparentIndex = TransparentIndex;
    manager.Initialize();
    std::unique_ptr<TImageClass> images = manager.LoadFile("png-bench.quv");
    TFrontEndImages frontEnd(images.get());
    frontEnd.AutoPad = true;
    // Frames decoded beforehand: only the picture, the encoding and the write are timed.
    for (int32_t i = 0; i < frontEnd.ImageCount; ++i)
      if (TFrontEndImage* image = frontEnd.GetImage(i))
        for (int32_t f = 0; f < image->FrameCount; ++f) image->GetFrame(f);
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    TExportPlan plan;
    for (int32_t i = 0; i < frontEnd.ImageCount; ++i)
      ExportImageFiles(plan, *frontEnd.GetImage(i), format, 0, INT32_MAX, false, folder.string());
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  fs::remove_all(folder);
  state.counters["us_per_frame"] = seconds * 1e6 / (400.0 * double(state.iterations()));
}

void BM_ExportFramesBmp(benchmark::State& state) {
  ExportEveryFrame(state, efBmp);
}
void BM_ExportFramesPng(benchmark::State& state) {
  ExportEveryFrame(state, efPng);
}
void BM_ExportFramesPng8(benchmark::State& state) {
  ExportEveryFrame(state, efPng8);
}

BENCHMARK(BM_ExportFramesBmp)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ExportFramesPng)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ExportFramesPng8)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_EncodeFrameBmp24);
BENCHMARK(BM_EncodeFramePng);
BENCHMARK(BM_EncodeFramePng8);

}  // namespace
