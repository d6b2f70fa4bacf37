// Costs of the framework core measured against plain standard-library baselines in the same run.
#include <benchmark/benchmark.h>
#include <strings.h>

#include <string>
#include <vector>

#include "StreamsU.h"
#include "StringUtilsU.h"

namespace {

constexpr int64_t StreamBytes = 4 << 20;
constexpr int64_t SmallWrite = 16;

// Baseline: appending to a vector, the cheapest growable buffer there is.
void BM_VectorAppendSmall(benchmark::State& state) {
  const std::vector<uint8_t> chunk(SmallWrite, 0x5A);
  for (auto _ : state) {
    std::vector<uint8_t> buffer;
    for (int64_t done = 0; done < StreamBytes; done += SmallWrite)
      buffer.insert(buffer.end(), chunk.begin(), chunk.end());
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(state.iterations() * StreamBytes);
}
BENCHMARK(BM_VectorAppendSmall);

void BM_MemoryStreamWriteSmall(benchmark::State& state) {
  const std::vector<uint8_t> chunk(SmallWrite, 0x5A);
  for (auto _ : state) {
    TMemoryStream stream;
    for (int64_t done = 0; done < StreamBytes; done += SmallWrite)
      stream.WriteBuffer(chunk.data(), SmallWrite);
    benchmark::DoNotOptimize(stream.Memory());
  }
  state.SetBytesProcessed(state.iterations() * StreamBytes);
}
BENCHMARK(BM_MemoryStreamWriteSmall);

void BM_MemoryStreamCopyFrom(benchmark::State& state) {
  TMemoryStream source;
  source.SetSize(StreamBytes);
  for (auto _ : state) {
    TMemoryStream target;
    benchmark::DoNotOptimize(target.CopyFrom(source, 0));
  }
  state.SetBytesProcessed(state.iterations() * StreamBytes);
}
BENCHMARK(BM_MemoryStreamCopyFrom);

std::vector<std::string> Names() {
  std::vector<std::string> names;
  for (int i = 0; i < 512; ++i)
    names.push_back("Units\\ArmCom" + std::to_string(i * 7919 % 1000) + ".QUV");
  return names;
}

// Baseline for name comparison: the C library's ASCII case-insensitive compare.
void BM_StrCaseCmp(benchmark::State& state) {
  const auto names = Names();
  for (auto _ : state) {
    int sum = 0;
    for (size_t i = 1; i < names.size(); ++i)
      sum += strcasecmp(names[i - 1].c_str(), names[i].c_str()) < 0;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Names().size() - 1));
}
BENCHMARK(BM_StrCaseCmp);

void BM_AnsiCompareText(benchmark::State& state) {
  const auto names = Names();
  for (auto _ : state) {
    int sum = 0;
    for (size_t i = 1; i < names.size(); ++i) sum += AnsiCompareText(names[i - 1], names[i]) < 0;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Names().size() - 1));
}
BENCHMARK(BM_AnsiCompareText);

}  // namespace
