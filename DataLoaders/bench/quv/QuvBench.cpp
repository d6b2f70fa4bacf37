// Quv reading speed, each figure next to a plain copy of the same bytes measured in the same run:
// opening a large file (headers only), decoding run-length rows, converting rows to colours.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "FileSystemU.h"
#include "MemoryFileReaderU.h"
#include "QuvManagerU.h"
#include "QuvSamplesU.h"
#include "QuvWriterU.h"

namespace {

const std::shared_ptr<const std::vector<uint8_t>>& LargeFile() {
  static const auto bytes =
      std::make_shared<const std::vector<uint8_t>>(MakeSyntheticQuv(1000, 10, 16, 16, 1));
  return bytes;
}

// Opening reads the header, 1,000 entries, their frame tables and 10,000 frame headers.
void BM_OpenThousandImages(benchmark::State& state) {
  TFileSystem fileSystem;
  AddMemoryFile(fileSystem, "large.quv", LargeFile());
  TQuvManager manager;
  manager.FileSystem = &fileSystem;
  manager.TransparentIndex = SampleTransparentIndex;
  for (auto _ : state) {
    std::unique_ptr<TImageClass> images = manager.LoadFile("large.quv");
    benchmark::DoNotOptimize(images->ImageCount);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(LargeFile()->size()));
}
BENCHMARK(BM_OpenThousandImages)->Unit(benchmark::kMillisecond);

void BM_CopyThousandImagesFile(benchmark::State& state) {
  std::vector<uint8_t> copy(LargeFile()->size());
  for (auto _ : state) {
    std::memcpy(copy.data(), LargeFile()->data(), copy.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(copy.size()));
}
BENCHMARK(BM_CopyThousandImagesFile)->Unit(benchmark::kMillisecond);

// One 320 x 240 frame of drawn-looking rows: transparent runs, repeats and literals.
struct TRowFixture {
  TRowFixture() {
    manager.TransparentIndex = SampleTransparentIndex;
    collection = manager.CreateClass("bench.quv");
    TImage* image = collection->AddImage("bench", 0);
    frame = static_cast<TQuvFrame*>(image->AddFrame());
    const TSampleFrame sample = SyntheticImages(1, 1, Width, Height, 1)[0].Frames[0];
    frame->Width = Width;
    frame->Height = Height;
    for (int32_t y = 0; y < Height; ++y) {
      const uint8_t* row = sample.Pixels.data() + static_cast<size_t>(y) * Width;
      rows.emplace_back(row, row + Width);
      std::vector<uint8_t> code;
      int32_t length = 0;
      CompressScanLine(*frame, row, code, length, false, y);
      codes.push_back(std::move(code));
    }
  }
  static constexpr int32_t Width = 320;
  static constexpr int32_t Height = 240;
  TQuvManager manager;
  std::unique_ptr<TImageClass> collection;
  TQuvFrame* frame = nullptr;
  TPixelRows rows;
  std::vector<std::vector<uint8_t>> codes;
};

TRowFixture& Rows() {
  static TRowFixture fixture;
  return fixture;
}

void BM_DecodeRunLengthRows(benchmark::State& state) {
  TRowFixture& f = Rows();
  TPixelRow out(TRowFixture::Width);
  for (auto _ : state) {
    for (int32_t y = 0; y < TRowFixture::Height; ++y) {
      const auto& code = f.codes[static_cast<size_t>(y)];
      DecompressScanLine(*f.frame, code.data(), out.data(), static_cast<int32_t>(code.size()), y);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * TRowFixture::Width * TRowFixture::Height);
}
BENCHMARK(BM_DecodeRunLengthRows);

void BM_CopyDecodedRows(benchmark::State& state) {
  TRowFixture& f = Rows();
  TPixelRow out(TRowFixture::Width);
  for (auto _ : state) {
    for (int32_t y = 0; y < TRowFixture::Height; ++y) {
      std::memcpy(out.data(), f.rows[static_cast<size_t>(y)].data(), out.size());
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(state.iterations() * TRowFixture::Width * TRowFixture::Height);
}
BENCHMARK(BM_CopyDecodedRows);

void BM_ConvertToColourRows(benchmark::State& state) {
  TRowFixture& f = Rows();
  const auto palette = std::make_shared<TPixelRows>(f.rows);
  TPalette colours{};
  for (int i = 0; i < 256; ++i) colours[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0};
  for (auto _ : state) {
    f.frame->Converted = false;
    f.frame->Pixels = palette;
    f.frame->PalettePixels = palette;
    f.frame->ConvertToTrueColour(colours);
    benchmark::DoNotOptimize(f.frame->Pixels.get());
  }
  state.SetItemsProcessed(state.iterations() * TRowFixture::Width * TRowFixture::Height);
}
BENCHMARK(BM_ConvertToColourRows);

// The same output (4 bytes a pixel, fresh rows) made by plain copies.
void BM_CopyColourRows(benchmark::State& state) {
  TRowFixture& f = Rows();
  const TPixelRow source(4 * TRowFixture::Width, 7);
  for (auto _ : state) {
    auto out = std::make_shared<TPixelRows>(f.rows.size());
    for (auto& row : *out) row.assign(source.begin(), source.end());
    benchmark::DoNotOptimize(out.get());
  }
  state.SetItemsProcessed(state.iterations() * TRowFixture::Width * TRowFixture::Height);
}
BENCHMARK(BM_CopyColourRows);

// Every frame of 200 images x 8 frames of 64 x 64 run-length rows, fetched as `list` fetches
// them (each frame's rows read as one range and decoded), against a copy of the file's bytes.
const std::shared_ptr<const std::vector<uint8_t>>& SpriteFile() {
  static const auto bytes =
      std::make_shared<const std::vector<uint8_t>>(MakeSyntheticQuv(200, 8, 64, 64, 1));
  return bytes;
}

void BM_FetchEveryRunLengthFrame(benchmark::State& state) {
  TFileSystem fileSystem;
  AddMemoryFile(fileSystem, "sprites.quv", SpriteFile());
  TQuvManager manager;
  manager.FileSystem = &fileSystem;
  manager.TransparentIndex = SampleTransparentIndex;
  for (auto _ : state) {
    std::unique_ptr<TImageClass> images = manager.LoadFile("sprites.quv");
    for (auto& image : images->Images)
      for (int32_t i = 0; i < image->FrameCount; ++i)
        benchmark::DoNotOptimize(image->GetFrame(i)->Pixels.get());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(SpriteFile()->size()));
}
BENCHMARK(BM_FetchEveryRunLengthFrame)->Unit(benchmark::kMillisecond);

void BM_CopySpriteFileBaseline(benchmark::State& state) {
  std::vector<uint8_t> copy(SpriteFile()->size());
  for (auto _ : state) {
    std::memcpy(copy.data(), SpriteFile()->data(), copy.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(copy.size()));
}
BENCHMARK(BM_CopySpriteFileBaseline)->Unit(benchmark::kMillisecond);

}  // namespace
