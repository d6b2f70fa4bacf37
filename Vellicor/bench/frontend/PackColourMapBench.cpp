// pack's turning of a truecolour picture back into palette indices, beside decoding the same
// picture's PNG (what reading a picture costs before any mapping). The picture has 4 million
// pixels of about 49,000 colours, changing from pixel to pixel as shaded art does: the mapping
// should cost by its colours, a small part of the decoding, not a search per pixel.
#include <benchmark/benchmark.h>

#include "ColourMapU.h"
#include "ImageLoaderU.h"
#include "PictureReaderU.h"
#include "PictureU.h"
#include "PngWriterU.h"

namespace {

constexpr int32_t Side = 2048;

struct TBenchPicture {
  TBenchPicture() {
    TPicture rgba(Side, Side, 4);
    for (int32_t y = 0; y < Side; ++y) {
      uint8_t* p = rgba.Row(y);
      for (int32_t x = 0; x < Side; ++x, p += 4) {
        p[0] = uint8_t(x / 16 * 2), p[1] = uint8_t(y / 16 * 2);
        p[2] = uint8_t((x + 2 * y) % 3 * 100), p[3] = 255;
      }
    }
    Png = EncodePng(rgba);
    Picture = DecodePng(Png, "bench.png");
  }
  std::vector<uint8_t> Png;
  TSourcePicture Picture;
};

const TBenchPicture& Bench() {
  static const TBenchPicture bench;
  return bench;
}

void BM_DecodeTruecolourPng(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(DecodePng(Bench().Png, "bench.png"));
  state.SetItemsProcessed(state.iterations() * int64_t(Side) * Side);
}

// A fresh mapper each time, as for a pack of this one picture: every colour is searched once.
void BM_MapTruecolourPicture(benchmark::State& state) {
  const TPalette& palette = BuiltInPalette();
  std::vector<uint8_t> out;
  for (auto _ : state) {
    TColourMapper mapper(palette, 9);
    benchmark::DoNotOptimize(mapper.Map(Bench().Picture, 0, 0, Side, Side, out));
  }
  state.SetItemsProcessed(state.iterations() * int64_t(Side) * Side);
}

BENCHMARK(BM_DecodeTruecolourPng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapTruecolourPicture)->Unit(benchmark::kMillisecond);

}  // namespace
