// Parsing and lookup cost of the INI file per section: equal rates at 1k and 16k sections show
// that loading stays linear in the file's size.
#include <benchmark/benchmark.h>

#include <string>

#include "IniFileU.h"

namespace {

std::string MakeText(int sections) {
  std::string text;
  for (int i = 0; i < sections; ++i) {
    text += "[Section" + std::to_string(i) + "]\n";
    for (int k = 0; k < 4; ++k) text += "Key" + std::to_string(k) + "=" + std::to_string(i) + "\n";
  }
  return text;
}

void BM_IniParse(benchmark::State& state) {
  const int sections = static_cast<int>(state.range(0));
  const std::string text = MakeText(sections);
  for (auto _ : state) {
    TIniFile ini("");
    ini.SetText(text);
    benchmark::DoNotOptimize(ini.ReadInteger("Section0", "Key3", -1));
  }
  state.SetItemsProcessed(state.iterations() * sections);
}
BENCHMARK(BM_IniParse)->Arg(1000)->Arg(16000);

void BM_IniLookup(benchmark::State& state) {
  const int sections = static_cast<int>(state.range(0));
  TIniFile ini("");
  ini.SetText(MakeText(sections));
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ini.ReadInteger("section" + std::to_string(i), "KEY2", -1));
    i = (i + 1) % sections;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_IniLookup)->Arg(1000)->Arg(16000);

}  // namespace
